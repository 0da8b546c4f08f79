#!/usr/bin/env bash
# The README's commands can follow one another in any order: every script that builds
# goes through scripts/build.sh, and a build folder configured with other options than
# its preset's (as an older render-gallery.sh left build/release, without the plug-ins)
# is put back to the full set, so the app, the plug-ins and the tests are targets again.
# Usage: build_folder_options.sh <source folder>
set -euo pipefail
root="$1"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-build.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# scripts/build.sh is the one script that configures (cmake --preset); the others build
# through it.
for script in "$root"/scripts/*.sh; do
    [ "$(basename "$script")" != build.sh ] || continue
    ! grep -nE 'cmake +(-S|-B|-G|--preset)' "$script" || fail "$(basename "$script") configures a build folder by itself"
done

cmake -S "$root" -B "$scratch" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBR_BUILD_PLUGINS=OFF >/dev/null
BR_BUILD_DIR="$scratch" bash "$root/scripts/build.sh" Release --target build.ninja >/dev/null
ninja -C "$scratch" -t targets all >"$scratch/targets.txt"
for target in Quorvane_Standalone Quorvane_LV2 Quorvane_VST3 app_tests plugin_host_tests br_gallery; do
    grep -q "^$target:" "$scratch/targets.txt" || fail "no target $target after build.sh"
done
grep -q '^BR_BUILD_PLUGINS:BOOL=ON$' "$scratch/CMakeCache.txt" || fail "the plug-ins are still left out"

# A folder that already has the preset's options is built without configuring it again.
mkdir "$scratch/bin"
printf '#!/bin/sh\necho "$*" >>"%s"\nexec "%s" "$@"\n' "$scratch/cmake.log" "$(command -v cmake)" >"$scratch/bin/cmake"
chmod +x "$scratch/bin/cmake"
PATH="$scratch/bin:$PATH" BR_BUILD_DIR="$scratch" bash "$root/scripts/build.sh" Release --target build.ninja >/dev/null
! grep -v -- ' -N$' "$scratch/cmake.log" | grep -- '^--preset' || fail "a folder with the full set was configured again"

# A folder keeps the generator it was made with.
cmake -S "$root" -B "$scratch/make" -G "Unix Makefiles" -DBR_BUILD_PLUGINS=OFF >/dev/null
BR_BUILD_DIR="$scratch/make" bash "$root/scripts/build.sh" Release --target help >/dev/null
grep -q '^CMAKE_GENERATOR:INTERNAL=Unix Makefiles$' "$scratch/make/CMakeCache.txt" || fail "the generator was changed"
grep -q '^BR_BUILD_PLUGINS:BOOL=ON$' "$scratch/make/CMakeCache.txt" || fail "the plug-ins are still left out (Makefiles)"
echo PASS
