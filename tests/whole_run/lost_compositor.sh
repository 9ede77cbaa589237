#!/usr/bin/env bash
# The Wayland compositor dies under the running program, after a new book got an entry: the book
# and Config.xml are saved as a normal close saves them, no lock file is left, and the program
# ends with a non-zero status. With "unreachable", neither WAYLAND_DISPLAY nor DISPLAY names a
# desktop that answers: the program says so in its own words and ends with status 1, never an abort.
#   lost_compositor.sh <built program folder> [unreachable]
set -euo pipefail
for tool in sway swaymsg wtype; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/packages.txt)"; exit 1; }
done
dir=$(mktemp -d)
sway=
app=
trap '[ -n "$app" ] && kill -KILL "$app" 2>/dev/null; [ -n "$sway" ] && kill -KILL "$sway" 2>/dev/null; rm -rf "$dir"' EXIT
mkdir "$dir/program" "$dir/runtime"
chmod 700 "$dir/runtime"
cp -r "$1"/. "$dir/program/"
# The program talks to this test's own compositor only, whatever the caller's session uses.
unset DISPLAY
export XDG_RUNTIME_DIR="$dir/runtime" WAYLAND_DISPLAY=zelvo-test QT_QPA_PLATFORM=wayland
fail() { cat "$dir/output"; ls "$dir/program"; echo "FAILED: $1"; exit 1; }
. "$(dirname "$0")/session_checks.sh"

if [ "${2:-}" = unreachable ]; then
    status=0
    env -u QT_QPA_PLATFORM DISPLAY=:987 "$dir/program/Manager" >"$dir/output" 2>&1 || status=$? # no X server there either
    [ "$status" -eq 1 ] || fail "the program ended with status $status"
    grep -q "needs a graphical desktop, but none could be reached" "$dir/output" || fail "no clear message"
    echo "explained; status $status"
    exit 0
fi

# sway refuses to run as root; the superuser runs it as nobody, in a runtime folder of nobody's.
as_compositor=()
if [ "$(id -u)" -eq 0 ]; then
    chmod 711 "$dir" # nobody may pass through to its runtime folder, nothing more
    chown 65534:65534 "$dir/runtime"
    as_compositor=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
printf 'output HEADLESS-1 resolution 800x600\n' >"$dir/sway.conf"
HOME="$dir/runtime" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    "${as_compositor[@]}" sway --config "$dir/sway.conf" >"$dir/sway.log" 2>&1 &
sway=$!
# The compositor names its own socket (wayland-1, ...) in the runtime folder.
socket=
for _ in $(seq 100); do
    socket=$(find "$dir/runtime" -maxdepth 1 -type s -name 'wayland-*' -printf '%f\n' | head -n1)
    [ -n "$socket" ] && break
    sleep 0.1
done
[ -n "$socket" ] || { cat "$dir/sway.log"; echo "FAILED: the compositor did not start"; exit 1; }
export WAYLAND_DISPLAY="$socket"
mark_config

"$dir/program/Manager" >"$dir/output" 2>&1 &
app=$!
# The compositor's view of the program's windows, through its own control socket.
has_window() {
    swaymsg -s "$(find "$dir/runtime" -maxdepth 1 -type s -name 'sway-ipc.*' | head -n1)" -t get_tree 2>/dev/null |
        grep -q "\"name\": \"$1\""
}
wait_for_window() {
    for _ in $(seq 200); do has_window "$1" && return; sleep 0.1; done
    fail "no window named $1 appeared"
}
# Each wtype is a virtual keyboard of its own: it waits a moment for the window to take it.
wait_for_window 'Zelvo Password Manager'
wtype -s 400 -M alt -k c -m alt
wait_for_window 'Create Admin Dialog'
wtype -s 400 bob -k Tab pw -k Tab pw -k Return
for _ in $(seq 100); do has_window 'Create Admin Dialog' || break; sleep 0.1; done
wtype -s 400 site -k Tab secret -k Return -s 500
kill -KILL "$sway"
sway=
wait_for_end
[ "$status" -ne 0 ] || fail "the program ended with status 0"
grep -q "Wayland connection broke" "$dir/output" || fail "the program did not run on Wayland"
expect_session_saved
echo "saved; status $status"
