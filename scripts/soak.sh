#!/usr/bin/env bash
# Long offline run of the whole processor: hours of audio time at random block sizes,
# with random automation of every parameter, sample-rate and layout changes, host bypass
# and program changes (tools/soak/SoakMain.cpp). Prints its figures (peak ratio against
# the bound, LFO phase drift, memory) and exits non-zero when a check failed.
# Usage: soak.sh [hours of audio, default 2] [seed, default 1]
set -euo pipefail
cd "$(dirname "$0")/.."
hours="${1:-2}"
seed="${2:-1}"
bash scripts/build.sh Release --target br_soak >/dev/null
build/release/br_soak --hours "$hours" --seed "$seed"
