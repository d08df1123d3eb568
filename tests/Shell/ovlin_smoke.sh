#!/usr/bin/env bash
# Starts Ovlin, launches it a second time, and ends it with SIGTERM; then stops a start with SIGTERM as
# soon as the program is in control (still starting) and expects a clean end.
#   ovlin_smoke.sh <ovlin binary> <scratch home>
set -u
bin=$1
home=$2
rm -rf "$home"
mkdir -p "$home/runtime"
chmod 700 "$home/runtime"
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache \
    XDG_STATE_HOME=$home/state XDG_RUNTIME_DIR=$home/runtime
# No session bus: notifications fail quietly, everything else runs.
unset DBUS_SESSION_BUS_ADDRESS

fail() {
    echo "ovlin_smoke: $*"
    echo "--- first instance"; cat "$home/first.log" 2>/dev/null
    echo "--- second launch"; cat "$home/second.log" 2>/dev/null
    [ -n "${first:-}" ] && kill -KILL "$first" 2>/dev/null
    exit 1
}

store=$XDG_DATA_HOME/Ovlin/Ovlin.store
socket=$XDG_RUNTIME_DIR/org.ovlin.Ovlin.socket

"$bin" >"$home/first.log" 2>&1 &
first=$!
for _ in $(seq 1 600); do
    [ -S "$socket" ] && grep -q "Using store" "$home/first.log" && break
    kill -0 "$first" 2>/dev/null || fail "the first instance ended early"
    sleep 0.1
done
[ -S "$socket" ] || fail "the first instance never listened"
grep -q "Using store at $store" "$home/first.log" || fail "the store was not opened where expected"

timeout 60 "$bin" >"$home/second.log" 2>&1 || fail "the second launch did not end cleanly"
grep -q "Using store" "$home/second.log" && fail "the second launch opened the store"
for _ in $(seq 1 100); do
    grep -q "Launched again: reopening" "$home/first.log" && break
    sleep 0.1
done
grep -q "Launched again: reopening" "$home/first.log" || fail "the first instance was not told"
kill -0 "$first" 2>/dev/null || fail "the first instance ended after the second launch"

# Launched again on the same data with another runtime folder (unset, as after su -, or one set aside as
# not private): the launch reaches the first through the socket it noted beside the store and opens nothing.
mkdir -p "$home/tmp" "$home/open-runtime"
chmod 755 "$home/open-runtime"
told=1
for runtime in unset "$home/open-runtime"; do
    if [ "$runtime" = unset ]; then
        (unset XDG_RUNTIME_DIR; TMPDIR=$home/tmp exec timeout 60 "$bin") >"$home/second.log" 2>&1
    else
        XDG_RUNTIME_DIR=$runtime TMPDIR=$home/tmp timeout 60 "$bin" >"$home/second.log" 2>&1
    fi || fail "the launch with the runtime folder $runtime did not end cleanly"
    grep -q "Using store" "$home/second.log" && fail "the launch with the runtime folder $runtime opened the store"
    told=$((told + 1))
    for _ in $(seq 1 100); do
        [ "$(grep -c "Launched again: reopening" "$home/first.log")" -ge "$told" ] && break
        sleep 0.1
    done
    [ "$(grep -c "Launched again: reopening" "$home/first.log")" -ge "$told" ] ||
        fail "the first instance was not told by the launch with the runtime folder $runtime"
done

# Another home runs beside it on its own store.
other=$home/other
mkdir -p "$other/runtime"
chmod 700 "$other/runtime"
HOME=$other XDG_CONFIG_HOME=$other/config XDG_DATA_HOME=$other/data XDG_CACHE_HOME=$other/cache \
    XDG_STATE_HOME=$other/state XDG_RUNTIME_DIR=$other/runtime "$bin" >"$home/other.log" 2>&1 &
beside=$!
for _ in $(seq 1 600); do
    grep -q "Using store" "$home/other.log" && break
    kill -0 "$beside" 2>/dev/null || break
    sleep 0.1
done
kill -TERM "$beside" 2>/dev/null
wait "$beside"
grep -qF "Using store at $other/data/Ovlin/Ovlin.store" "$home/other.log" ||
    { cat "$home/other.log"; fail "Ovlin with another home did not run beside the first"; }

kill -TERM "$first"
wait "$first"
rc=$?
first=
[ "$rc" -eq 0 ] || fail "the first instance ended with $rc on SIGTERM"

# SIGTERM while starting: sent as soon as the process catches it (its SigCgt mask holds SIGTERM, bit 15).
rm -rf "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
"$bin" >"$home/early.log" 2>&1 &
early=$!
caught=
for _ in $(seq 1 2000); do
    mask=$(awk '/^SigCgt:/ {print $2}' "/proc/$early/status" 2>/dev/null) || break
    if [ -n "$mask" ] && (( (16#$mask >> 14) & 1 )); then
        caught=1
        break
    fi
    sleep 0.005
done
[ -n "$caught" ] || { kill -KILL "$early" 2>/dev/null; fail "the early instance never caught SIGTERM"; }
early_store_seen=0
grep -q "Using store" "$home/early.log" && early_store_seen=1
kill -TERM "$early"
wait "$early"
rc=$?
[ "$rc" -eq 0 ] || { cat "$home/early.log"; fail "a start stopped by SIGTERM ended with $rc"; }
echo "ovlin_smoke: SIGTERM caught before the store was opened: $((1 - early_store_seen))"

# Waits up to a minute for a line in a log, while the process lives.
wait_for_line() {
    local pid=$1 log=$2 text=$3
    for _ in $(seq 1 600); do
        grep -qF "$text" "$log" && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# Relative XDG folders are invalid: started from another folder, Ovlin still uses those under HOME.
rm -rf "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
mkdir -p "$home/elsewhere"
mkdir -p "$home/tmp"
(cd "$home/elsewhere" && XDG_CONFIG_HOME=config XDG_DATA_HOME=data XDG_CACHE_HOME=cache XDG_RUNTIME_DIR=runtime \
    TMPDIR=$home/tmp exec "$bin") >"$home/relative.log" 2>&1 &
relative=$!
wait_for_line "$relative" "$home/relative.log" "Using store" || { kill -KILL "$relative"; cat "$home/relative.log"; fail "the start with relative folders did not open a store"; }
kill -TERM "$relative"
wait "$relative"
grep -qF "Using store at $home/.local/share/Ovlin/Ovlin.store" "$home/relative.log" || { cat "$home/relative.log"; fail "relative XDG folders were used"; }
[ -n "$(ls -A "$home/elsewhere")" ] && fail "relative XDG folders were created: $(ls -A "$home/elsewhere")"

# A FIFO in the settings file's place is not waited on: Ovlin starts, quits on SIGTERM and leaves it.
settings=$XDG_CONFIG_HOME/Ovlin/org.ovlin.Ovlin.defaults
mkdir -p "$(dirname "$settings")"
mkfifo "$settings"
"$bin" >"$home/fifo.log" 2>&1 &
fifo=$!
if ! wait_for_line "$fifo" "$home/fifo.log" "Not reading settings"; then
    exec 3<>"$settings" # lets a reader that waits on it go on
    kill -KILL "$fifo"
    cat "$home/fifo.log"
    fail "the start waited on a FIFO as its settings file"
fi
kill -TERM "$fifo"
wait "$fifo"
rc=$?
[ "$rc" -eq 0 ] || { cat "$home/fifo.log"; fail "the start with a FIFO for settings ended with $rc on SIGTERM"; }
[ -p "$settings" ] || fail "the FIFO in the settings file's place was replaced"

# A runtime folder that is not private (a folder of one's own open to others, or one shared like /tmp
# after su) is set aside for Ovlin's own folder, left as it was, and Ovlin starts.
for mode in 755 1777; do
    shared=$home/shared-runtime-$mode
    rm -rf "$shared" "$home/tmp"
    mkdir -p "$shared" "$home/tmp"
    chmod "$mode" "$shared"
    XDG_RUNTIME_DIR=$shared TMPDIR=$home/tmp "$bin" >"$home/shared.log" 2>&1 &
    started=$!
    wait_for_line "$started" "$home/shared.log" "Using store" ||
        { kill -KILL "$started"; cat "$home/shared.log"; fail "a runtime folder of mode $mode stopped the start"; }
    listening=
    for _ in $(seq 1 100); do
        [ -S "$home/tmp/ovlin-$(id -u)/org.ovlin.Ovlin.socket" ] && listening=1 && break
        sleep 0.1
    done
    kill -TERM "$started"
    wait "$started"
    [ -n "$listening" ] || { cat "$home/shared.log"; fail "not listening in Ovlin's own folder (runtime mode $mode)"; }
    [ "$(stat -c %a "$shared")" = "$mode" ] || fail "the runtime folder's mode changed from $mode"
    [ -z "$(ls -A "$shared")" ] || fail "Ovlin wrote into a runtime folder of mode $mode: $(ls -A "$shared")"
    [ "$(grep -c "instead of XDG_RUNTIME_DIR" "$home/shared.log")" = 1 ] ||
        { cat "$home/shared.log"; fail "setting aside a runtime folder of mode $mode was not said once"; }
done

echo "ovlin_smoke: passed"
