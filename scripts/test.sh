#!/usr/bin/env bash
# Installs what is missing, builds everything (Release) and runs every test under CTest,
# the real-host tests included (they start their own X display and JACK server).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh Release
bash scripts/build.sh Release --target plugin_host_tests
cd build/release
ctest -j"$(nproc)" --output-on-failure --timeout 600 "$@"
