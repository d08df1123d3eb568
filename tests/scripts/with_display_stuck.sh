#!/usr/bin/env bash
# tests/with-display against stand-ins for its display server and window manager that never say they have
# started, or end at once: either fails the run with the stand-in's log and status 1, within the start
# limit (10 s), instead of hanging. Each run is cut off after 40 s, as a hang would be.
#   with_display_stuck.sh <checkout>
set -u
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run <display kind> <tool> hang|exit <n>: prints a line only when it fails.
run() {
    local kind=$1 tool=$2 how=$3 dir=$work/$1-$2-$3-$4 got start
    mkdir -p "$dir"
    if [ "$how" = hang ]; then
        printf '#!/bin/sh\necho "%s stand-in: %s"\nexec sleep 1000\n' "$tool" "$how"
    else
        printf '#!/bin/sh\necho "%s stand-in: %s"\nexit 3\n' "$tool" "$how"
    fi >"$dir/$tool"
    chmod +x "$dir/$tool"
    start=$(date +%s)
    PATH=$dir:$PATH timeout 40 "$root/tests/with-display" "$kind" touch "$dir/ran" >/dev/null 2>"$dir/err" </dev/null
    got=$?
    [ "$got" = 1 ] && [ $(($(date +%s) - start)) -le 20 ] && [ ! -e "$dir/ran" ] &&
        grep -qF "$tool stand-in: $how" "$dir/err" ||
        echo "$tool that does $how ($kind): status $got; stderr: $(tr '\n' ' ' <"$dir/err" | cut -c1-400)"
}

# Side by side; a start that ends at once races the script's own cleanup, so those run a few times.
n=0
for args in "x11-wm openbox hang" "wayland weston hang" "x11 Xvfb hang" \
    "x11-wm openbox exit" "x11-wm openbox exit" "wayland weston exit" "wayland weston exit"; do
    n=$((n + 1))
    # shellcheck disable=SC2086 # the words are the arguments
    run $args $n >"$work/$n.result" &
done
wait
failures=$(cat "$work"/*.result)
[ -z "$failures" ] || { echo "$failures"; exit 1; }
echo "with-display ended every stuck or failed start with its log"
