#!/usr/bin/env bash
# Starts Ovlin on a prepared profile, for whole-application measurements (give every run a fresh,
# empty HOME):
#   ovlin-with-profile.sh <profile dir> <ovlin binary> [args...]
# The profile dir holds .local/share/Ovlin/ and .config/Ovlin/ as scripts/gen-profile writes them; they
# are copied into $HOME (XDG folders at their default places), then the binary replaces this shell, with
# a new runtime folder (XDG_RUNTIME_DIR) of its own.
# For example:
#   scripts/gen-profile /tmp/p50 --habits 50 --logs 100000
#   HOME=$(mktemp -d) bench/ovlin-with-profile.sh /tmp/p50 build/bench/Ovlin/ovlin
set -eu

usage() {
    cat <<'USAGE'
usage: ovlin-with-profile.sh <profile dir> <ovlin binary> [args...]
  Copies the profile's .local/share/Ovlin and .config/Ovlin into $HOME (or $XDG_DATA_HOME and
  $XDG_CONFIG_HOME) and runs the binary there with the args, with a new runtime folder
  (XDG_RUNTIME_DIR, made by mktemp -d) of its own.
USAGE
}

case ${1:-} in
-h | --help)
    usage
    exit 0
    ;;
-* | '')
    [ -n "${1:-}" ] && echo "ovlin-with-profile.sh: unknown option $1" >&2
    usage >&2
    exit 2
    ;;
esac
if [ $# -lt 2 ]; then
    usage >&2
    exit 2
fi
profile=$1
bin=$2
shift 2
if [ ! -d "$profile" ]; then
    echo "ovlin-with-profile.sh: no profile folder $profile" >&2
    exit 2
fi
# A relative binary is the caller's file, not one to look up in PATH.
case $bin in
*/*) ;;
*) bin=./$bin ;;
esac
data=${XDG_DATA_HOME:-$HOME/.local/share}
config=${XDG_CONFIG_HOME:-$HOME/.config}
mkdir -p "$data" "$config"
[ -d "$profile/.local/share/Ovlin" ] && cp -a "$profile/.local/share/Ovlin" "$data/"
[ -d "$profile/.config/Ovlin" ] && cp -a "$profile/.config/Ovlin" "$config/"
# In the session's runtime folder the start would only hand over to the Ovlin already running there. The
# Wayland socket is named relative to that folder: name it by its full path instead.
if [ -n "${XDG_RUNTIME_DIR:-}" ]; then
    case ${WAYLAND_DISPLAY:-} in
    '' | /*) ;;
    *) export WAYLAND_DISPLAY="$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ;;
    esac
fi
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
exec "$bin" "$@"
