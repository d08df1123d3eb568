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
echo "ovlin_smoke: passed"
