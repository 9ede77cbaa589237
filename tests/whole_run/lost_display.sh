#!/usr/bin/env bash
# The display server dies under the running program, after a new book got an entry: the book and
# Config.xml are saved as a normal close saves them, and the program ends with a non-zero status.
# With "window", only the main window is destroyed from outside (a window manager's kill): the
# session is saved the same way and the program ends with status 0, as at the end of a session.
#   lost_display.sh <built program folder> [window]
set -euo pipefail
program_folder=$1
. "$(dirname "$0")/display_session.sh"
. "$(dirname "$0")/session_checks.sh"
mark_config

# The toolkit's own options are not the program's: this one would hide every window.
"$dir/program/Manager" -platform offscreen >"$dir/output" 2>&1 &
app=$!
create_book
xdotool type site && xdotool key Tab && xdotool type secret && xdotool key Return
sleep 1

if [ "${2:-}" = window ]; then
    xdotool search --onlyvisible --name '^Zelvo Password Manager$' windowclose
else
    kill -KILL "$xvfb"
    xvfb=
fi
wait_for_end
if [ "${2:-}" = window ]; then
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
else
    [ "$status" -ne 0 ] || fail "the program ended with status 0"
fi
expect_session_saved
echo "saved; status $status"
