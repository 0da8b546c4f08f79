#!/usr/bin/env bash
# The standalone app starts on a private X display, shows a window titled "Quorvane",
# and when its close button is pressed writes ~/.config/Quorvane.settings with the
# plug-in state under "filterState".
# Usage: standalone_settings.sh <path to the Quorvane app>
source "$(dirname "$0")/common.sh"
app="$1"
br_temp_home
br_start_xvfb

br_launch_app "$app"
br_close_app

settings="$HOME/.config/Quorvane.settings"
[ -f "$settings" ] || br_fail "no settings file written"
grep -q 'name="filterState"' "$settings" || br_fail "settings have no filterState: $(cat "$settings")"
echo PASS
