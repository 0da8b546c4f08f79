#!/usr/bin/env bash
# Builds our LV2 and the peer benchmark in Release and runs it: Quorvane against the
# Debian-packaged Calf Pulsator, Rotary Speaker, Multi Chorus and mda Leslie, through
# the same LV2 host code. Extra arguments go to the benchmark (--help lists them).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh Release --target peer_bench
build/release/peer_bench "$@"
