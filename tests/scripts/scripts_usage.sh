#!/usr/bin/env bash
# The project's scripts answer --help and an unknown option with their usage and change nothing, and take
# relative paths from the folder they are called from. Tools that would build or install are stand-ins
# here that only note their call, so no case builds, installs or runs anything for real.
#   scripts_usage.sh <checkout> <scratch folder>
set -u
root=$1
work=$2
rm -rf "$work"
mkdir -p "$work/stubs" "$work/elsewhere"
for tool in cmake ctest apt-get sudo dpkg-query clang-format ninja Xvfb weston openbox; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/calls"\n' "$tool" "$work" >"$work/stubs/$tool"
    chmod +x "$work/stubs/$tool"
done
export PATH=$work/stubs:$PATH
unset OVLIN_BENCH_BUILD_DIR OVLIN_TEST_BUILD_DIR OVLIN_TSAN_BUILD_DIR OVLIN_PLAIN_BUILD_DIR OVLIN_RUN_BUILD_DIR OVLIN_SKIP_TSAN

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# What of the checkout a script could change: its top folders and the build folders beside this test's.
snapshot() {
    (cd "$root" && ls -A . build 2>/dev/null)
}
before=$(snapshot)

# script | arguments | expected status | where the usage goes
cases=(
    "scripts/gen-profile|--help|0|out"
    "scripts/gen-profile|-h|0|out"
    "scripts/gen-profile|--frobnicate|2|err"
    "scripts/gen-profile|home --habits|2|err"
    "scripts/gen-profile|home --logs many|2|err"
    "scripts/gen-profile||2|err"
    "scripts/bench|--help|0|out"
    "scripts/bench|--frobnicate|2|err"
    "scripts/install-deps|--help|0|out"
    "scripts/install-deps|--frobnicate|2|err"
    "scripts/install-deps|test extra|2|err"
    "scripts/run|--help|0|out"
    "scripts/run|--frobnicate|2|err"
    "scripts/test|--help|0|out"
    "scripts/test|--frobnicate|2|err"
    "scripts/test|tst_days|2|err"
    "bench/ovlin-with-profile.sh|--help|0|out"
    "bench/ovlin-with-profile.sh|--frobnicate|2|err"
    "bench/ovlin-with-profile.sh|only-one|2|err"
    "tests/with-display|--help|0|out"
    "tests/with-display|--frobnicate true|2|err"
    "tests/with-display|x11|2|err"
)
for entry in "${cases[@]}"; do
    IFS='|' read -r script arguments status stream <<<"$entry"
    rm -f "$work/calls"
    read -r -a argv <<<"$arguments"
    (cd "$work/elsewhere" && "$root/$script" "${argv[@]}" >"$work/out" 2>"$work/err" </dev/null)
    got=$?
    name="$script $arguments"
    [ "$got" = "$status" ] || fail "$name: status $got, expected $status"
    grep -qi '^usage:' "$work/$stream" || fail "$name: no usage on std$stream"
    [ -e "$work/calls" ] && fail "$name: ran $(tr '\n' ';' <"$work/calls" | cut -c1-200)"
    [ -n "$(ls -A "$work/elsewhere")" ] && fail "$name: wrote $(ls -A "$work/elsewhere") where it was called"
done

# A relative home (and build folder) is the caller's: the profile program is a stand-in that notes where
# it was asked to write; the build is already there, so nothing is configured.
mkdir -p "$work/elsewhere/benchbuild/bench"
touch "$work/elsewhere/benchbuild/build.ninja"
printf '#!/bin/sh\necho "$*" >"%s/genprofile"\n' "$work" >"$work/elsewhere/benchbuild/bench/ovlin-genprofile"
chmod +x "$work/elsewhere/benchbuild/bench/ovlin-genprofile"
rm -f "$work/calls"
(cd "$work/elsewhere" && OVLIN_BENCH_BUILD_DIR=benchbuild "$root/scripts/gen-profile" profile --habits 3 >"$work/out" 2>&1)
got=$?
[ "$got" = 0 ] || fail "gen-profile with a relative home: status $got ($(cat "$work/out"))"
[ "$(cat "$work/genprofile" 2>/dev/null)" = "$work/elsewhere/profile --habits 3" ] ||
    fail "gen-profile with a relative home wrote to: $(cat "$work/genprofile" 2>/dev/null)"
grep -q -- "--build $work/elsewhere/benchbuild " "$work/calls" 2>/dev/null ||
    fail "gen-profile built in: $(cat "$work/calls" 2>/dev/null)"

# scripts/test builds in the folders named (relative ones from the caller's), and runs the desktop tests
# again in the build without sanitizers, which builds only what they need.
rm -f "$work/calls"
(cd "$work/elsewhere" && OVLIN_TEST_BUILD_DIR=t OVLIN_PLAIN_BUILD_DIR=p OVLIN_TSAN_BUILD_DIR=s \
    "$root/scripts/test" -R tst_x >"$work/out" 2>&1)
got=$?
[ "$got" = 0 ] || fail "test with relative build folders: status $got ($(cat "$work/out"))"
for call in "cmake -S $root -B $work/elsewhere/t " "ctest --test-dir $work/elsewhere/t .*-R tst_x" \
    "cmake --build $work/elsewhere/p -j [0-9]* --target ovlin_desktop_tests\$" \
    "ctest --test-dir $work/elsewhere/p .*-L desktop -R tst_x" "cmake -S $root -B $work/elsewhere/s "; do
    grep -q -- "^$call" "$work/calls" 2>/dev/null || fail "test made no call like: $call"
done
grep -q -- "-B $work/elsewhere/p .*SANITIZE" "$work/calls" &&
    fail "test built the plain tree with sanitizers"

# A later pass is left out, not even configured, when the selection holds none of its tests. This ctest
# answers a listing (-N) of the label desktop or analytics with the count in DESKTOP_TESTS or ANALYTICS_TESTS.
mkdir -p "$work/listing"
cat >"$work/listing/ctest" <<STUB
#!/bin/sh
echo "ctest \$*" >>"$work/calls"
case " \$* " in
*" -N "*"-L desktop "*) echo "Total Tests: \$DESKTOP_TESTS" ;;
*" -N "*"-L analytics "*) echo "Total Tests: \$ANALYTICS_TESTS" ;;
esac
STUB
chmod +x "$work/listing/ctest"
# desktop tests | analytics tests | the build folder whose pass runs | the one whose pass is left out
for entry in "0|2|s|p" "3|0|p|s"; do
    IFS='|' read -r desktop analytics runs skipped <<<"$entry"
    rm -f "$work/calls"
    (cd "$work/elsewhere" && PATH=$work/listing:$PATH DESKTOP_TESTS=$desktop ANALYTICS_TESTS=$analytics \
        OVLIN_TEST_BUILD_DIR=t OVLIN_PLAIN_BUILD_DIR=p OVLIN_TSAN_BUILD_DIR=s "$root/scripts/test" -R tst_x \
        >"$work/out" 2>&1)
    got=$?
    name="test with $desktop desktop and $analytics analytics tests selected"
    [ "$got" = 0 ] || fail "$name: status $got ($(cat "$work/out"))"
    grep -q -- "^ctest --test-dir $work/elsewhere/t -N .*-R tst_x" "$work/calls" 2>/dev/null ||
        fail "$name: asked for no listing of the selection"
    grep -q -- "^ctest --test-dir $work/elsewhere/$runs " "$work/calls" 2>/dev/null ||
        fail "$name: ran no tests in $runs"
    grep -q -- "$work/elsewhere/$skipped\( \|$\)" "$work/calls" 2>/dev/null &&
        fail "$name: used $skipped: $(grep -- "$work/elsewhere/$skipped" "$work/calls" | tr '\n' ';')"
    # The main run comes after the listings, which would replace its log.
    grep "^ctest --test-dir $work/elsewhere/t " "$work/calls" 2>/dev/null | tail -n 1 | grep -q -- ' -N ' &&
        fail "$name: listed the tests after the main run"
done

# ovlin-with-profile.sh starts the binary with a new private runtime folder, never the caller's (there the
# start would only reach the Ovlin already running), and keeps the Wayland display reachable by its path.
mkdir -p "$work/profile/.local/share/Ovlin" "$work/profilehome" "$work/tmp"
printf '#!/bin/sh\necho "$XDG_RUNTIME_DIR $(stat -c %%a "$XDG_RUNTIME_DIR") $WAYLAND_DISPLAY" >"%s/runtime"\n' \
    "$work" >"$work/elsewhere/ovlin"
chmod +x "$work/elsewhere/ovlin"
(cd "$work/elsewhere" && HOME=$work/profilehome TMPDIR=$work/tmp XDG_RUNTIME_DIR=$work/session \
    WAYLAND_DISPLAY=wayland-0 "$root/bench/ovlin-with-profile.sh" "$work/profile" ovlin >"$work/out" 2>&1)
got=$?
[ "$got" = 0 ] || fail "ovlin-with-profile.sh: status $got ($(cat "$work/out"))"
read -r runtime mode display <"$work/runtime" 2>/dev/null
case ${runtime:-} in
"$work/tmp/"?*) ;;
*) fail "ovlin-with-profile.sh ran the binary with the runtime folder ${runtime:-(none)}" ;;
esac
[ "${mode:-}" = 700 ] || fail "ovlin-with-profile.sh made a runtime folder with mode ${mode:-(none)}"
[ "${display:-}" = "$work/session/wayland-0" ] || fail "ovlin-with-profile.sh gave WAYLAND_DISPLAY=${display:-}"
rm -f "$work/elsewhere/ovlin"

# Without root and without sudo, install-deps says what to run instead of failing on a missing command.
mkdir -p "$work/nosudo"
for tool in bash grep; do ln -sf "$(command -v "$tool")" "$work/nosudo/$tool"; done
printf '#!/bin/sh\necho 1000\n' >"$work/nosudo/id"
printf '#!/bin/sh\nexit 1\n' >"$work/nosudo/dpkg-query"
cp "$work/stubs/apt-get" "$work/nosudo/apt-get"
chmod +x "$work/nosudo/id" "$work/nosudo/dpkg-query"
rm -f "$work/calls"
(cd "$work/elsewhere" && PATH=$work/nosudo "$root/scripts/install-deps" run >"$work/out" 2>"$work/err")
got=$?
[ "$got" = 1 ] || fail "install-deps without sudo: status $got, expected 1"
grep -q 'apt-get install .*qt6-base-dev' "$work/err" || fail "install-deps without sudo said: $(cat "$work/err")"
grep -qi 'not found' "$work/err" && fail "install-deps without sudo: $(cat "$work/err")"
[ -e "$work/calls" ] && fail "install-deps without sudo ran $(cat "$work/calls")"

[ "$(snapshot)" = "$before" ] || fail "the checkout changed: $(diff <(echo "$before") <(snapshot) | tr '\n' ' ')"
[ -e "$root/--help" ] && fail "a folder named --help is in the checkout"

[ "$failures" -eq 0 ] && echo "every script answered as it should"
exit $((failures > 0))
