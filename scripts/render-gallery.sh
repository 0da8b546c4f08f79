#!/usr/bin/env bash
# Renders every widget of the kit in its main states into one PNG, for a person to look at.
#
#   scripts/render-gallery.sh [output.png] [scale]
#
# output.png defaults to build/gallery.png, scale (1 to 4) to 2. Builds only the gallery
# program and what it links, in build/release (or $BR_BUILD_DIR). Needs no display.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BR_BUILD_DIR:-$root/build/release}"
output="${1:-$root/build/gallery.png}"
scale="${2:-2}"

BR_BUILD_DIR="$build" bash "$root/scripts/build.sh" Release --target br_gallery
"$build/br_gallery" "$output" "$scale"
