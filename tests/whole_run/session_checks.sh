# Sourced by the scripts whose program is ended from outside after the book bob got the entry
# "site": marks the column widths beforehand, waits for the end, and checks what was saved. The
# sourcing script keeps the program's folder in $dir/program, its pid in $app and defines fail.

# Config.xml gets a width of its own, so that a rewrite can be told from the file as installed.
mark_config() {
    sed -i 's|<Col0Width>[0-9]*<|<Col0Width>97<|' "$dir/program/Config.xml"
    config_before=$(stat -c %i "$dir/program/Config.xml")
}

# Waits until the program has ended by itself and sets status to its exit status.
wait_for_end() {
    for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
    ! kill -0 "$app" 2>/dev/null || fail "the program still runs"
    status=0
    wait "$app" || status=$?
    app=
}

expect_session_saved() {
    grep -q '<Account>bob</Account>' "$dir/program/bob.xml" 2>/dev/null || fail "the new book was not saved"
    grep -q '<Account>c2l0ZQ==</Account>' "$dir/program/bob.xml" || fail "the entry was not saved"
    [ "$(stat -c %i "$dir/program/Config.xml")" != "$config_before" ] || fail "Config.xml was not written"
    grep -q '<Col0Width>97</Col0Width>' "$dir/program/Config.xml" || fail "the column widths were not kept"
    [ ! -e "$dir/program/bob.xml.lock" ] || fail "the lock file was left"
}
