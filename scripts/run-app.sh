#!/usr/bin/env bash
# Installs what is missing, builds the Release app and launches it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh Release --target Quorvane_Standalone
exec build/release/Quorvane_artefacts/Release/Standalone/Quorvane "$@"
