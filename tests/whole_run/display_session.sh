# Sourced by the whole-program scripts: a copy of the built program in a folder of its own, an X
# server of the script's own for it, and an end that stops both on every way out.
# The sourcing script sets program_folder (the built program) and extra_tools (beyond Xvfb and xdotool).
for tool in Xvfb xdotool ${extra_tools:-}; do
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
cp -r "$program_folder"/. "$dir/program/"

# A display number of its own, chosen by the server.
Xvfb -displayfd 5 -nolisten tcp 5>"$dir/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$dir/display")"

fail() { cat "$dir/output"; echo "FAILED: $1"; exit 1; }
wait_for_window() {
    timeout 20 xdotool search --sync --onlyvisible --name "$1" >/dev/null || fail "no window named $1 appeared"
}
# Creates the book bob (password pw) through Create Admin; the cursor is then in the first entry field.
create_book() {
    wait_for_window '^Zelvo Password Manager$'
    xdotool key alt+c
    wait_for_window '^Create Admin Dialog$'
    xdotool type bob && xdotool key Tab && xdotool type pw && xdotool key Tab && xdotool type pw && xdotool key Return
    for _ in $(seq 50); do xdotool search --onlyvisible --name '^Create Admin Dialog$' >/dev/null || break; sleep 0.1; done
}
