#!/usr/bin/env bash
# Renders the whole editor to PNG at 100 % and 200 %, for a person to look at.
#
#   scripts/render-editor.sh [output folder] [percent...]
#
# Writes editor-100.png and editor-200.png (or one file per given percent, 50 to 250)
# into the output folder, build/ by default. Builds only the renderer and what it
# links, in build/release (or $BR_BUILD_DIR). Needs no display.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BR_BUILD_DIR:-$root/build/release}"
output="${1:-$root/build}"
shift || true

BR_BUILD_DIR="$build" bash "$root/scripts/build.sh" Release --target br_render_editor
"$build/br_render_editor" "$output" "$@"
