# Sourced by the Linux end-to-end runs: finds the program's message dialogs on the private display
# and answers them with the keyboard, as a user would. Needs $caption (the program's caption).

# The program's message dialog on screen, if one is up: a window with the program's caption that
# is not the progress window (130 pixels high).
dialogs() {
    local w
    for w in $(xdotool search --onlyvisible --name "^$caption for Linux\$" 2>/dev/null); do
        xdotool getwindowgeometry "$w" 2>/dev/null | grep -q 'Geometry: [0-9]*x130$' || echo "$w"
    done
}
dialog() { dialogs | head -1; }

# Answers the next dialog with a key once it is up (waiting up to WAIT tenths of a second, default
# 100), and waits until it is gone; false when none comes.
answer() {
    local key=$1 wait=${2:-100} box=""
    for _ in $(seq $((wait * 2))); do
        box=$(dialog)
        [ -n "$box" ] && break
        sleep 0.05
    done
    [ -n "$box" ] || return 1
    sleep 0.3
    xdotool windowfocus --sync "$box" 2>/dev/null
    xdotool key --window "$box" "$key" 2>/dev/null || xdotool key "$key"
    for _ in $(seq 100); do
        dialogs | grep -qx "$box" || return 0
        sleep 0.05
    done
    return 1
}

# Waits up to TENTHS tenths of a second (default 100) for the program PID to end; false, with the
# program ended, when it is still running then.
wait_for_end() {
    local pid=$1 tenths=${2:-100}
    for _ in $(seq $((tenths * 2))); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.05; done
    kill "$pid" 2>/dev/null
    return 1
}
