#!/usr/bin/env bash
# The display server dies under the running program, after a new book got an entry: the book and
# Config.xml are saved as a normal close saves them, and the program ends with a non-zero status.
# With "window", only the main window is destroyed from outside (a window manager's kill): the
# session is saved the same way and the program ends with status 0, as at the end of a session.
#   lost_display.sh <built program folder> [window]
set -euo pipefail
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/packages.txt)"; exit 1; }
done
# The program talks to this test's own X server, whatever the caller's session uses.
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
dir=$(mktemp -d)
xvfb=
app=
trap '[ -n "$app" ] && kill -KILL "$app" 2>/dev/null; [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; rm -rf "$dir"' EXIT
mkdir "$dir/program"
cp -r "$1"/. "$dir/program/"
sed -i 's|<Col0Width>[0-9]*<|<Col0Width>97<|' "$dir/program/Config.xml"
config_before=$(stat -c %i "$dir/program/Config.xml")

# A display number of its own, chosen by the server.
Xvfb -displayfd 5 -nolisten tcp 5>"$dir/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$dir/display")"

# The toolkit's own options are not the program's: this one would hide every window.
"$dir/program/Manager" -platform offscreen >"$dir/output" 2>&1 &
app=$!
wait_for_window() {
    timeout 20 xdotool search --sync --onlyvisible --name "$1" >/dev/null && return
    cat "$dir/output"
    echo "FAILED: no window named $1 appeared"
    exit 1
}
wait_for_window '^Zelvo Password Manager$'
xdotool key alt+c
wait_for_window '^Create Admin Dialog$'
xdotool type bob && xdotool key Tab && xdotool type pw && xdotool key Tab && xdotool type pw && xdotool key Return
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Create Admin Dialog$' >/dev/null || break; sleep 0.1; done
xdotool type site && xdotool key Tab && xdotool type secret && xdotool key Return
sleep 1

if [ "${2:-}" = window ]; then
    xdotool search --onlyvisible --name '^Zelvo Password Manager$' windowclose
else
    kill -KILL "$xvfb"
    xvfb=
fi
fail() { cat "$dir/output"; echo "FAILED: $1"; exit 1; }
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
