# Under a terminal the opening banner waits for a real key: until it is pressed the banner is
# shown and nothing reaches the log. One key lets the run go on to the closing prompt, which
# waits again; a second key ends the program.

# The terminal's screen text, with the console's cursor controls and blanks taken out.
screen_text() {
    sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$RESULTS/pty.txt" | tr -d ' \r'
}
running() { [ ! -e "$RESULTS/exit" ]; }

scenario_main() {
    local keys=$RESULTS/keys
    mkfifo "$keys"
    (cd "$WORK" && WINEPREFIX=$PREFIX script -qfec "'$(wine_loader "$PREFIX")' purgekit.exe" "$RESULTS/pty.txt" \
         <"$keys" >/dev/null 2>&1; echo $? >"$RESULTS/exit") &
    BACKGROUND_PIDS+=($!)
    exec 3>"$keys"
    local i
    for i in $(seq 1 60); do
        screen_text | grep -q 'Pressanykeytocontinue\.\.\.\.' && break
        sleep 0.5
    done
    sleep 2
    screen_text | grep -q 'PURGEKITVersion2.00' || fail "the banner is not shown"
    screen_text | grep -q 'Pressanykeytocontinue\.\.\.\.' || fail "the opening prompt is not shown"
    running || fail "the program did not wait for a key"
    [ ! -e "$WORK/PURGEKIT.LOG" ] || fail "the log was written before the key press"

    printf 'k' >&3
    for i in $(seq 1 60); do
        grep -q '^Stop' "$WORK/PURGEKIT.LOG" 2>/dev/null && break
        sleep 0.5
    done
    sleep 2
    running || fail "the program did not wait for the closing key"
    grep -q '^Stop' "$WORK/PURGEKIT.LOG" || fail "the run did not complete after the first key"
    screen_text | grep -q 'Forthedetailsofthisvirus' && fail "the information box came before the key"

    printf 'k' >&3
    for i in $(seq 1 60); do running || break; sleep 0.5; done
    exec 3>&-
    running && fail "the program did not end after the second key"
    [ "$(cat "$RESULTS/exit" 2>/dev/null)" = 0 ] || fail "exit code $(cat "$RESULTS/exit" 2>/dev/null)"
    screen_text | grep -q 'Forthedetailsofthisvirus' || fail "the information box is not shown"
    compare "$SCENARIO_DIR/expected-log.txt" "$WORK/PURGEKIT.LOG" --wine-processes
}
