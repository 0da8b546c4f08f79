#!/usr/bin/env bash
# Builds and runs the benchmarks in Release. Extra arguments go to Google Benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh Release --target br_bench
build/release/br_bench "$@"
