#!/usr/bin/env bash
# Installs what is missing, builds everything (Release) and runs every test under CTest,
# the real-host tests included (they start their own X display and JACK server); then
# the fast tests again under the sanitizers, with a short run of every fuzz target
# (scripts/ci-sanitizers.sh). BR_SANITIZERS=0 leaves that second part out.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh Release
bash scripts/build.sh Release --target plugin_host_tests
ctest --test-dir build/release -j"$(nproc)" --output-on-failure --timeout 600 "$@"
[ "${BR_SANITIZERS:-1}" = 0 ] || bash scripts/ci-sanitizers.sh
