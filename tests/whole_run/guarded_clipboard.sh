#!/usr/bin/env bash
# The real program's guarded copies, read by another X client: a password copied from the list
# carries the clipboard managers' secret markers, text selected in the Password field never becomes
# the primary selection, and nothing of the copy is left once the program ended.
#   guarded_clipboard.sh <built program folder>
set -euo pipefail
program_folder=$1
extra_tools=xclip
. "$(dirname "$0")/display_session.sh"

"$dir/program/Manager" >"$dir/output" 2>&1 &
app=$!
# What another client reads from a selection; empty when nobody offers it.
read_selection() { timeout 5 xclip -o -selection "$@" 2>/dev/null || true; }

create_book
echo -n "someone else's" | xclip -selection primary
xdotool type site && xdotool key Tab && xdotool type s3cret-pw && xdotool key shift+Home
sleep 0.5
[ "$(read_selection primary)" != s3cret-pw ] || fail "the selected password became the primary selection"
# Insert, then into the list (past Comment and Insert): End chooses the row, Ctrl+C copies its password.
xdotool key Return Tab Tab Tab End ctrl+c
for _ in $(seq 50); do [ "$(read_selection clipboard)" = s3cret-pw ] && break; sleep 0.1; done
[ "$(read_selection clipboard)" = s3cret-pw ] || fail "Ctrl+C did not copy the chosen row's password"
read_selection clipboard -t TARGETS | grep -qx 'x-kde-passwordManagerHint' || fail "the copy carries no secret hint"
[ "$(read_selection clipboard -t x-kde-passwordManagerHint)" = secret ] || fail "the hint is not 'secret'"
[ "$(read_selection clipboard -t application/x-copyq-hidden)" = 1 ] || fail "the copy is not hidden from CopyQ"

xdotool key alt+x
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$app" 2>/dev/null || fail "the program still runs"
wait "$app" || fail "the program ended with an error"
app=
[ "$(read_selection clipboard)" != s3cret-pw ] || fail "the copy outlived the program"
echo "guarded"
