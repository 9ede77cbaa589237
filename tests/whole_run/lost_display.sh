#!/usr/bin/env bash
# The display server dies under the running program, after a new book got an entry: the book and
# Config.xml are saved as a normal close saves them, and the program ends with a non-zero status.
# With "window", only the main window is destroyed from outside (a window manager's kill): the
# session is saved the same way and the program ends with status 0, as at the end of a session.
#   lost_display.sh <built program folder> [window]
set -euo pipefail
program_folder=$1
. "$(dirname "$0")/display_session.sh"
sed -i 's|<Col0Width>[0-9]*<|<Col0Width>97<|' "$dir/program/Config.xml"
config_before=$(stat -c %i "$dir/program/Config.xml")

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
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$app" 2>/dev/null || fail "the program still runs"
status=0
wait "$app" || status=$?
app=
if [ "${2:-}" = window ]; then
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
else
    [ "$status" -ne 0 ] || fail "the program ended with status 0"
fi
grep -q '<Account>bob</Account>' "$dir/program/bob.xml" || fail "the new book was not saved"
grep -q '<Account>c2l0ZQ==</Account>' "$dir/program/bob.xml" || fail "the entry was not saved"
[ "$(stat -c %i "$dir/program/Config.xml")" != "$config_before" ] || fail "Config.xml was not written"
grep -q '<Col0Width>97</Col0Width>' "$dir/program/Config.xml" || fail "the column widths were not kept"
[ ! -e "$dir/program/bob.xml.lock" ] || fail "the lock file was left"
echo "saved; status $status"
