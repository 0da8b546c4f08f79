#!/usr/bin/env bash
# Builds our LV2 and the peer benchmark in Release and runs it: Quorvane's defaults,
# every factory program and all stages off, against the Debian-packaged Calf
# Pulsator, Rotary Speaker, Multi Chorus and mda Leslie and a plug-in that copies its
# input (eg-amp, from lv2-examples), through the same LV2 host code, at blocks of 1,
# 16, 64 and 512. Extra arguments go to the benchmark (--help lists them; --seconds
# and --rounds trade time for steadier figures).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh Release --target peer_bench
build/release/peer_bench "$@"
