#!/usr/bin/env bash
# The README's commands can follow one another in any order: every script that builds
# goes through scripts/build.sh, and a build folder configured with other options (as
# an older render-gallery.sh left build/release, without the plug-ins) is put back to
# the full set, so the app, the plug-ins and the tests are targets again.
# Usage: build_folder_options.sh <source folder>
set -euo pipefail
root="$1"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-build.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Scripts that configure a folder of their own (sanitizer and fuzzing builds, with
# clang) are the only ones that call cmake to configure.
for script in "$root"/scripts/*.sh; do
    case "$(basename "$script")" in build.sh | ci-sanitizers.sh | fuzz.sh) continue ;; esac
    ! grep -n 'cmake -S' "$script" || fail "$(basename "$script") configures a build folder by itself"
done

cmake -S "$root" -B "$scratch" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBR_BUILD_PLUGINS=OFF >/dev/null
BR_BUILD_DIR="$scratch" bash "$root/scripts/build.sh" Release --target build.ninja >/dev/null
ninja -C "$scratch" -t targets all >"$scratch/targets.txt"
for target in Quorvane_Standalone Quorvane_LV2 Quorvane_VST3 app_tests plugin_host_tests br_gallery; do
    grep -q "^$target:" "$scratch/targets.txt" || fail "no target $target after build.sh"
done
grep -q '^BR_BUILD_PLUGINS:BOOL=ON$' "$scratch/CMakeCache.txt" || fail "the plug-ins are still left out"
echo PASS
