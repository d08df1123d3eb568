#!/usr/bin/env bash
# tests/with-display against stand-ins for its display server and window manager: one that never says it
# has started fails the run within the start limit (10 s) with its log and status 1, one that ends at once
# fails it at once, and one that starts runs the command. The stand-ins come first in PATH; the real Xvfb
# serves where only the window manager is a stand-in. Each run is cut off after 40 s, as a hang would be.
#   with_display_stuck.sh <checkout>
set -u
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# stand-in <case> <tool> <behaviour>: hang says so in its log and sleeps; exit ends at once with an error;
# start runs openbox's --startup program (or weston's autolaunch path), then sleeps.
stand_in() {
    mkdir -p "$work/$1"
    case $3 in
    hang) printf '#!/bin/sh\necho "%s stand-in: still loading"\nexec sleep 1000\n' "$2" ;;
    exit) printf '#!/bin/sh\necho "%s stand-in: cannot start"\nexit 3\n' "$2" ;;
    start) printf '#!/bin/sh\n%s\nexec sleep 1000\n' \
        'for a in "$@"; do case $a in --config=*) "$(sed -n "s/^path=//p" "${a#*=}")" ;; esac; done
while [ $# -gt 1 ]; do [ "$1" = --startup ] && "$2"; shift; done' ;;
    esac >"$work/$1/$2"
    chmod +x "$work/$1/$2"
}

# One run: case, display kind, expected status, text expected on stderr, longest time in seconds. Prints
# a line only when it fails. The command notes that it ran and ends with status 7.
run() {
    local name=$1 kind=$2 status=$3 text=$4 longest=$5 got start took
    start=$(date +%s)
    PATH=$work/$name:$PATH timeout 40 "$root/tests/with-display" "$kind" \
        sh -c "touch '$work/$name.ran'; exit 7" >"$work/$name.out" 2>"$work/$name.err" </dev/null
    got=$?
    took=$(($(date +%s) - start))
    local problems=()
    [ "$got" = "$status" ] || problems+=("status $got, expected $status")
    [ "$took" -le "$longest" ] || problems+=("took $took s, at most $longest s expected")
    [ -z "$text" ] || grep -qF -- "$text" "$work/$name.err" || problems+=("no \"$text\" on stderr")
    if [ "$status" = 7 ]; then
        [ -e "$work/$name.ran" ] || problems+=("the command did not run")
    else
        [ -e "$work/$name.ran" ] && problems+=("the command ran")
    fi
    [ ${#problems[@]} -eq 0 ] || (
        IFS=';'
        echo "$name ($kind): ${problems[*]}; stderr: $(tr '\n' ' ' <"$work/$name.err" | cut -c1-400)"
    )
}

stand_in openbox-hangs openbox hang
stand_in weston-hangs weston hang
stand_in xvfb-hangs Xvfb hang
for i in 1 2 3 4 5; do
    stand_in "openbox-exits-$i" openbox exit
    stand_in "weston-exits-$i" weston exit
done
stand_in openbox-starts openbox start
stand_in weston-starts weston start

# Side by side: the three hangs take the start limit each.
run openbox-hangs x11-wm 1 "openbox stand-in: still loading" 20 >"$work/openbox-hangs.result" &
run weston-hangs wayland 1 "weston stand-in: still loading" 20 >"$work/weston-hangs.result" &
run xvfb-hangs x11 1 "Xvfb stand-in: still loading" 20 >"$work/xvfb-hangs.result" &
# A start that ends at once races the script's own cleanup: these run a few times.
for i in 1 2 3 4 5; do
    run "openbox-exits-$i" x11-wm 1 "openbox stand-in: cannot start" 5 >"$work/openbox-exits-$i.result" &
    run "weston-exits-$i" wayland 1 "weston stand-in: cannot start" 5 >"$work/weston-exits-$i.result" &
done
run openbox-starts x11-wm 7 "" 5 >"$work/openbox-starts.result" &
run weston-starts wayland 7 "" 5 >"$work/weston-starts.result" &
wait

failures=$(cat "$work"/*.result)
if [ -n "$failures" ]; then
    echo "$failures"
    exit 1
fi
echo "with-display ended every stuck or failed start with its log, and ran the command after a start"
