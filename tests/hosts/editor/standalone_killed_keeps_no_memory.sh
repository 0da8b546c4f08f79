#!/usr/bin/env bash
# An app that ends without closing its window (a crash, a kill, the session ending) leaves
# none of its window's shared memory behind: the segments it drew through go with it
# instead of staying in the system, a few megabytes each, until the next reboot. The
# user's app is killed with its window open and moving.
# Usage: standalone_killed_keeps_no_memory.sh <Quorvane app>
source "$(dirname "$0")/common_editor.sh"
app="$1"
br_temp_home
br_start_xvfb
# With audio running, the LFO moves the sphere and the meters on every refresh, so the
# window keeps drawing; an idle window gives its drawing image back after three seconds.
br_start_jackd

br_launch_app "$app"
br_wait_for 10 bash -c 'jack_lsp | grep -q "JUCEJack:out_2"' || br_fail "the app did not join the JACK server"
br_find_editor
sleep 1 # the meters have drawn a few frames

# System V segments this process created (ipcs lists the creator's pid).
segments_of() { ipcs -m -p | awk -v pid="$1" '$3 == pid { print $1 }'; }
[ -n "$(segments_of "$app_pid")" ] || br_fail "the window draws through no shared memory; nothing to check"

kill -9 "$app_pid"
wait "$app_pid" 2>/dev/null || true
# The X server lets go of the dead client's segments when it notices the closed connection.
br_wait_for 10 bash -c "[ -z \"\$(ipcs -m -p | awk -v pid=$app_pid '\$3 == pid')\" ]" \
    || br_fail "segments left behind: $(segments_of "$app_pid" | tr '\n' ' ')"
echo PASS
