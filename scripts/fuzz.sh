#!/usr/bin/env bash
# Runs every fuzz target for a bounded time (default 5 minutes each), one after the
# other, in the libFuzzer build (the fuzz preset, build/fuzz: ASan, UBSan). Seeds are
# the documents of the tests (recorded afresh by running them) and every input kept
# under tests/fuzz/regressions; the corpus grows in build/fuzz/corpus between runs.
# A fault stops the run with the input saved in build/fuzz/artifacts: keep it under
# tests/fuzz/regressions/<target>/ once mended, and app_tests replays it for good.
# Usage: fuzz.sh [seconds per target, default 300] [targets... default all]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds="${1:-300}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(state preset_file typed_number)

unset BR_BUILD_DIR # the folder is the fuzz preset's own, build/fuzz
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/tests/sanitizers/ubsan.supp"
export ASAN_OPTIONS="detect_leaks=1"

bash scripts/build.sh fuzz --target app_tests $(printf 'fuzz_%s ' "${targets[@]}")

seeds="$root/build/fuzz/seeds"
rm -rf "$seeds"
BR_FUZZ_SEEDS="$seeds" build/fuzz/app_tests --gtest_brief=1 --gtest_filter='Preset*:Processor*:Setups*:SafeXml*:Programs*:ValueText*:Hostile*:Fuzz*' >/dev/null

for target in "${targets[@]}"; do
    echo "== fuzz_$target for $seconds s"
    bash scripts/fuzz-target.sh "$target" "$seconds" "$seeds" \
        | grep -E "^#[0-9]+[[:space:]]+(INITED|DONE)|stat::|ERROR|SUMMARY|runtime error|Test unit written"
done
