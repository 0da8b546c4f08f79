#!/usr/bin/env bash
# `cmake --install` puts both plug-ins, the app, its icon and a desktop entry into the
# user's home folder, where hosts and desktops look.
# Usage: install_home.sh <build folder>
source "$(dirname "$0")/common.sh"
br_temp_home
cmake --install "$1" >"$BR_TMP/install.log" 2>&1 || br_fail "install failed: $(cat "$BR_TMP/install.log")"
for f in .lv2/Quorvane.lv2/manifest.ttl .lv2/Quorvane.lv2/libQuorvane.so \
         .vst3/Quorvane.vst3/Contents/x86_64-linux/Quorvane.so .local/bin/Quorvane \
         .local/share/icons/hicolor/256x256/apps/quorvane.png .local/share/applications/quorvane.desktop; do
    [ -f "$HOME/$f" ] || br_fail "missing ~/$f"
done
[ -x "$HOME/.local/bin/Quorvane" ] || br_fail "the app is not executable"
grep -qx "Exec=$HOME/.local/bin/Quorvane" "$HOME/.local/share/applications/quorvane.desktop" \
    || br_fail "the desktop entry does not start the installed app"
echo PASS
