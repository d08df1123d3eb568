#!/usr/bin/env bash
# tests/with-display started many times, 20 at a time as CTest starts the desktop tests side by side: every
# start gives a display that takes one connection after another, with its window manager running (x11-wm)
# or its shell loaded (wayland) by the time the command runs.
#   with_display_starts.sh <checkout> [starts]
set -u
root=$1
starts=${2:-300}

# What each kind's command checks, run inside tests/with-display.
check_x11() {
    xprop -root -len 0 >/dev/null && xprop -root -len 0 >/dev/null
}
check_x11_wm() {
    local answer
    answer=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>&1) || { echo "no display: $answer"; return 1; }
    case $answer in
    *'window id # 0x'*) ;;
    *) echo "no window manager: $answer"; return 1 ;;
    esac
    # The window manager's own window goes with its connection: present, the window manager still runs.
    xprop -id "${answer##*# }" _NET_WM_NAME 2>&1 | grep -q Openbox || { echo "the window manager is gone"; return 1; }
}
check_wayland() {
    local answer
    answer=$(weston-info 2>&1) || { echo "no compositor: $answer"; return 1; }
    grep -q "'xdg_wm_base'" <<<"$answer" || { echo "no shell: $answer"; return 1; }
}

# One start: x11-wm four times in six, x11 and wayland once each. Prints a line only when it fails.
start() {
    local kind output
    case $(($1 % 6)) in
    0) kind=x11 ;;
    1) kind=wayland ;;
    *) kind=x11-wm ;;
    esac
    if ! output=$("$root/tests/with-display" "$kind" bash -c "check_${kind//-/_}" 2>&1); then
        echo "start $1 ($kind) failed: $(tr '\n' ' ' <<<"$output" | cut -c1-400)"
    fi
}
export root
export -f start check_x11 check_x11_wm check_wayland

failures=$(seq "$starts" | xargs -P 20 -I{} bash -c 'start {}')
if [ -n "$failures" ]; then
    echo "$failures"
    echo "$(wc -l <<<"$failures") of $starts starts failed"
    exit 1
fi
echo "all $starts starts gave a display as asked"
