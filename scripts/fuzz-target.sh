#!/usr/bin/env bash
# Runs one fuzz target of the libFuzzer build (build/fuzz) for a bounded time, on its
# growing corpus (build/fuzz/corpus/<target>), the tests' seeds and the inputs kept
# under tests/fuzz/regressions. libFuzzer's output goes to standard output; the exit
# status is non-zero when the target broke a promise, the input then being saved in
# build/fuzz/artifacts. Used by scripts/fuzz.sh and scripts/ci-sanitizers.sh.
# Usage: fuzz-target.sh <target: state, preset_file, typed_number> <seconds> <seeds folder>
set -euo pipefail
cd "$(dirname "$0")/.."
target="$1"; seconds="$2"; seeds="$3"

corpus="build/fuzz/corpus/$target"
mkdir -p "$corpus" build/fuzz/artifacts "$seeds/$target"
# The XML words help the document readers; typed numbers are short plain text. An
# input that takes more than 10 s is a hang, and kept like a crash.
options=(-dict=tests/fuzz/xml.dict -max_len=20000)
[ "$target" != typed_number ] || options=(-max_len=4096)
exec "build/fuzz/fuzz_$target" -max_total_time="$seconds" "${options[@]}" \
    -artifact_prefix=build/fuzz/artifacts/ -print_final_stats=1 -timeout=10 \
    "$corpus" "$seeds/$target" "tests/fuzz/regressions/$target" 2>&1
