#!/usr/bin/env bash
# Checks the layering the folders promise (see ARCHITECTURE.md): which folder may include which, no
# globbed sources, every source listed in a build file, no fakes in the product. Prints each breach.
set -uo pipefail
cd "${1:-$(dirname "$0")/..}"
failures=0

breach() {
    echo "$1" >&2
    failures=$((failures + 1))
}

# Includes of Ovlin folders from the files of a folder, as "file: folder".
includes_of() {
    grep -Ho '^#include "[A-Za-z]*/' Ovlin/"$1"/*.h Ovlin/"$1"/*.cpp 2>/dev/null |
        sed -E 's#^([^:]*):\#include "([A-Za-z]*)/#\1: \2#'
}

# The folders each folder may include besides itself.
declare -A allowed=(
    [Base]=""
    [Platform]="Base"
    [Model]="Base Platform"
    [Copy]="Base Model"
    [Engine]="Base Platform Model Copy"
    [DesignSystem]="Base Platform Model"
    [Banners]="Base Platform Model Copy Engine DesignSystem"
    [ScreenParts]="Base Platform Model Copy Engine DesignSystem Banners"
    [Today]="Base Platform Model Copy Engine DesignSystem Banners ScreenParts"
    [Editor]="Base Platform Model Copy Engine DesignSystem Banners ScreenParts Analytics"
    [Rewards]="Base Platform Model Copy Engine DesignSystem Banners ScreenParts Analytics"
    [MenuBar]="Base Platform Model Copy Engine DesignSystem Banners ScreenParts"
)
for folder in "${!allowed[@]}"; do
    [ -d "Ovlin/$folder" ] || breach "Ovlin/$folder is missing"
    while read -r file used; do
        [ -n "$used" ] || continue
        [ "$used" = "$folder" ] && continue
        case " ${allowed[$folder]} " in
        *" $used "*) ;;
        *) breach "${file%:} includes $used/, which $folder/ may not use" ;;
        esac
    done < <(includes_of "$folder")
done

# The store layer knows records only through the table descriptions they give it.
while read -r file; do
    breach "$file names a record; the store reaches records through their tables"
done < <(grep -lE '\b(Reminder|ReminderLog|Milestone|MilestoneLog)\b|RecordType::' Ovlin/Platform/*.h Ovlin/Platform/*.cpp)

# Sources are listed by hand.
if grep -rn --include=CMakeLists.txt --include='*.cmake' 'file *( *GLOB' Ovlin Analytics tests bench cmake CMakeLists.txt 2>/dev/null; then
    breach "a build file globs its sources"
fi

# Every source is named, by its path from the build file's folder, in that build file.
check_listed() {
    local listing=$1
    shift
    local base file
    base=$(dirname "$listing")
    for file in "$@"; do
        [ -e "$file" ] || continue
        grep -qE -- "(^|[[:space:]/])${file#"$base"/}([[:space:]]|\)|$)" "$listing" || breach "$file is not listed in $listing"
    done
}
check_listed Ovlin/CMakeLists.txt Ovlin/*/*.h Ovlin/*/*.cpp
check_listed Analytics/CMakeLists.txt Analytics/*.h Analytics/*.cpp
check_listed tests/Support/CMakeLists.txt tests/Support/*.h tests/Support/*.cpp
check_listed bench/CMakeLists.txt bench/*.h bench/*.cpp
for dir in tests/*/; do
    dir=${dir%/}
    name=$(basename "$dir")
    [ "$name" = Support ] && continue
    if [ ! -f "$dir/CMakeLists.txt" ]; then
        breach "$dir has no CMakeLists.txt"
        continue
    fi
    check_listed "$dir/CMakeLists.txt" "$dir"/tst_*.cpp
    grep -qx "add_subdirectory($name)" tests/CMakeLists.txt || breach "tests/CMakeLists.txt skips $dir"
done

# The analytics client uses nothing of Ovlin but the base library.
grep -Ho '^#include "[A-Za-z]*/' Analytics/*.h Analytics/*.cpp | grep -v '"\(Analytics\|Base\)/$' |
    while read -r line; do echo "$line: the analytics client may use only Base/" >&2; done | grep -q . &&
    breach "the analytics client includes Ovlin folders besides Base/"

# Each test folder is named after the product folder it tests.
for dir in tests/*/; do
    name=$(basename "$dir")
    [ "$name" = Support ] || [ -d "Ovlin/$name" ] || [ -d "$name" ] || breach "tests/$name matches no product folder"
done

# Fakes belong to the tests.
for file in Ovlin/*/Fake*; do
    [ -e "$file" ] && breach "$file is a fake inside the product"
done

[ "$failures" -eq 0 ] && echo "layout holds"
exit $((failures > 0))
