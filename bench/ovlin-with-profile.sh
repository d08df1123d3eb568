#!/usr/bin/env bash
# Starts Ovlin on a prepared profile, for whole-application measurements (peer-bench.sh gives every
# run a fresh, empty HOME):
#   ovlin-with-profile.sh <profile dir> <ovlin binary> [args...]
# The profile dir holds .local/share/Ovlin/ and .config/Ovlin/ as a profile generator writes them;
# they are copied into $HOME (XDG folders at their default places), then the binary replaces this shell.
set -eu
profile=$1
bin=$2
shift 2
data=${XDG_DATA_HOME:-$HOME/.local/share}
config=${XDG_CONFIG_HOME:-$HOME/.config}
mkdir -p "$data" "$config"
[ -d "$profile/.local/share/Ovlin" ] && cp -a "$profile/.local/share/Ovlin" "$data/"
[ -d "$profile/.config/Ovlin" ] && cp -a "$profile/.config/Ovlin" "$config/"
exec "$bin" "$@"
