#!/usr/bin/env bash
# Configures and builds one build folder. Usage: build.sh [Release|Debug] [cmake --build args...]
set -euo pipefail
cd "$(dirname "$0")/.."
type="${1:-Release}"; shift || true
dir="build/$(echo "$type" | tr '[:upper:]' '[:lower:]')"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE="$type" >/dev/null
fi
cmake --build "$dir" -j"$(nproc)" "$@"
