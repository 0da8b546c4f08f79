#!/usr/bin/env bash
# Runs validator checks under valgrind and fails on memory errors and on memory the
# plug-in loses (definitely or indirectly lost at exit). The validator replaces malloc
# for its real-time checks; --soname-synonyms lets valgrind take that over.
# Usage: valgrind_leaks.sh <plugin_host_tests> <gtest filter>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
log=$(mktemp "${TMPDIR:-/tmp}/quorvane-valgrind.XXXXXX")
trap 'rm -f "$log"' EXIT
status=0
valgrind --soname-synonyms=somalloc=NONE --leak-check=full --errors-for-leak-kinds=definite,indirect \
         --show-leak-kinds=definite,indirect --suppressions="$here/valgrind.supp" --num-callers=40 \
         --error-exitcode=99 --log-file="$log" "$1" --gtest_filter="$2" || status=$?
grep -E "ERROR SUMMARY|definitely lost|indirectly lost" "$log" || true
if [ "$status" -ne 0 ]; then
    cat "$log" >&2
    exit 1
fi
echo PASS
