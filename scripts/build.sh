#!/usr/bin/env bash
# Configures and builds one build folder. Usage: build.sh [Release|Debug] [cmake --build args...]
# The folder is build/release or build/debug, or $BR_BUILD_DIR when set.
#
# Every script that builds goes through here, so that they all leave a folder configured
# the same way and any of them can follow any other: a folder configured with other
# options (by hand, or by an older script that left out the plug-ins) is configured
# again with these, keeping its generator.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
type="${1:-Release}"; shift || true
dir="${BR_BUILD_DIR:-build/$(echo "$type" | tr '[:upper:]' '[:lower:]')}"
options=(CMAKE_BUILD_TYPE="$type" BR_BUILD_PLUGINS=ON BR_BUILD_TESTS=ON BR_BUILD_BENCH=ON)

configured=yes
if [ ! -f "$dir/CMakeCache.txt" ]; then
    configured=no
else
    for option in "${options[@]}"; do
        grep -q "^${option%%=*}:[A-Z]*=${option#*=}\$" "$dir/CMakeCache.txt" || configured=no
    done
fi

if [ "$configured" = no ]; then
    generator=()
    [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null && generator=(-G Ninja)
    cmake -S . -B "$dir" "${generator[@]}" "${options[@]/#/-D}" >/dev/null
fi
cmake --build "$dir" -j"$(nproc)" "$@"
