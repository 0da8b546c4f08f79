#!/usr/bin/env bash
# The plug-in validator alone: builds the VST3, LV2 and standalone formats with the
# validator (Release) and runs every check labelled "hosts": our built binaries loaded
# through JUCE's VST3 and LV2 hosting, in jalv on a dummy JACK server, and under valgrind.
# Extra arguments go to ctest (for example -R State to run the state checks only).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh Release
bash scripts/build.sh Release --target plugin_host_tests
cd build/release
ctest -L hosts -j"$(nproc)" --output-on-failure --timeout 600 "$@"
