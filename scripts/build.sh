#!/usr/bin/env bash
# Configures and builds one build folder from a preset of CMakePresets.json.
# Usage: build.sh [preset: release (default), debug, asan-ubsan, tsan, fuzz] [cmake --build args...]
# "Release" and "Debug" name the release and debug presets too. The folder is the
# preset's, build/<preset>, or $BR_BUILD_DIR when set.
#
# Every script that builds goes through here, so that they all leave a folder configured
# the same way and any of them can follow any other. A folder is configured only when it
# has no cache or its cache differs from the preset's variables (one configured by hand,
# or by an older script that left out the plug-ins); it then keeps its generator.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
preset=$(echo "${1:-release}" | tr '[:upper:]' '[:lower:]'); shift || true
dir="${BR_BUILD_DIR:-build/$preset}"

# The preset's variables as CMake reads them, NAME=value, one a line.
options=$(cmake --preset "$preset" -N \
    | sed -n '/^Preset CMake variables:/,/^[^ ]/ s/^  \([A-Za-z0-9_]*\)\(:[A-Z]*\)\{0,1\}="\(.*\)"$/\1=\3/p')
[ -n "$options" ] || { echo "build.sh: cannot read the variables of preset $preset" >&2; exit 1; }

configured=yes
if [ ! -f "$dir/CMakeCache.txt" ]; then
    configured=no
else
    while read -r option; do
        grep -q "^${option%%=*}:[A-Z]*=${option#*=}\$" "$dir/CMakeCache.txt" || configured=no
    done <<<"$options"
fi

if [ "$configured" = no ]; then
    generator=()
    [ -f "$dir/CMakeCache.txt" ] && generator=(-G "$(sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' "$dir/CMakeCache.txt")")
    cmake --preset "$preset" -B "$dir" "${generator[@]}" >/dev/null
fi

where=(--preset "$preset")
[ -z "${BR_BUILD_DIR:-}" ] || where=("$dir")
cmake --build "${where[@]}" -j"$(nproc)" "$@"
