#!/usr/bin/env bash
# CI part two: the fast tests (engine, app, file-system faults) built and run under
# AddressSanitizer + UndefinedBehaviorSanitizer and under ThreadSanitizer, and a short
# run of every fuzz target (default 20 s each) so that they keep building and their
# seed corpora keep passing. Needs root for the file-system fault tests (they mount
# things in a private namespace); anything a sanitizer reports fails the run.
# Usage: ci-sanitizers.sh [seconds per fuzz target, default 20]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
smoke="${1:-20}"
bash scripts/setup.sh

# Undefined behaviour is fatal everywhere; the suppressions name framework code only.
unset BR_BUILD_DIR # the folders are the presets' own: build/fuzz, build/tsan
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/tests/sanitizers/ubsan.supp"
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

section() { echo; echo "== $* ($(date +%T))"; }
tests=(dsp_tests app_tests preset_fault_tests)

# AddressSanitizer + UndefinedBehaviorSanitizer, with libFuzzer's coverage so that the
# same build (the fuzz preset) also makes the fuzz targets. The tests' documents become
# the fuzzers' seeds.
section "ASan+UBSan build"
bash scripts/build.sh fuzz --target "${tests[@]}" fuzz_state fuzz_preset_file fuzz_typed_number
seeds="$root/build/fuzz/seeds"
rm -rf "$seeds"
for t in "${tests[@]}"; do
    section "ASan+UBSan $t"
    BR_FUZZ_SEEDS="$seeds" "build/fuzz/$t" --gtest_brief=1
done

for target in state preset_file typed_number; do
    section "fuzz_$target for $smoke s"
    if ! bash scripts/fuzz-target.sh "$target" "$smoke" "$seeds" >"build/fuzz/fuzz_$target.log"; then
        tail -60 "build/fuzz/fuzz_$target.log"
        echo "fuzz_$target broke a promise; the input is in build/fuzz/artifacts"
        exit 1
    fi
    grep -E "^#[0-9]+[[:space:]]+(INITED|DONE)|stat::number_of_executed_units|stat::peak_rss" "build/fuzz/fuzz_$target.log"
done

section "TSan build"
bash scripts/build.sh tsan --target "${tests[@]}"
for t in "${tests[@]}"; do
    section "TSan $t"
    "build/tsan/$t" --gtest_brief=1
done

section "sanitizers and fuzz smoke passed"
