# Sourced by the Linux end-to-end runs: finds the program's message dialogs on the private display
# and answers them with the keyboard, as a user would, and checks the dialogs that the program
# showed against the expected ones. Needs $caption (the program's caption).

# The catalogue's texts of the messages that the runs expect, line breaks written as \n, as the
# dialog log writes them. The elapsed time keeps the catalogue's %d for its numbers.
done_message='データ変換が終了しました。'
done_in_time='データ変換が終了しました。\n\n　経過時間 %d分 %d秒'
borders_question='罫線データが設定されていません。\n全てのセルに罫線を付けて良いですか？'
cancelled_message='処理はキャンセルされました。'
no_settings_message='初期化ファイルがありません。罫線が表示されないかもしれません。'
calc_not_started='Calcを起動できませんでした。'
calc_not_found='Calcが見つかりませんでした。'
not_read_message='クリップボードの変換に失敗しました。\nクリップボードからデータを読めません。'
weave='dialog Gridweave for Linux'
quill='dialog Gridquill for Linux'

# check_dialogs LOG EXPECTED: true when the dialogs in LOG are the lines of EXPECTED, in order (LOG
# is written by the dialog log, tests/tools/dialog-log.cpp, preloaded into the program);
# the minutes and seconds of the elapsed time are taken as the catalogue's %d, so any numbers
# pass there and nothing else. Shows the difference otherwise.
check_dialogs() {
    local log=$1 expected=$2 actual
    actual=$(sed -E 's/(　経過時間 )[0-9]+分 [0-9]+秒$/\1%d分 %d秒/' "$log" 2>/dev/null)
    [ "$actual" = "$expected" ] && return 0
    echo "    the dialogs differ from the expected ones:"
    diff <(echo "$expected") <(echo "$actual") | sed 's/^/    /'
    return 1
}

# The program's message dialog on screen, if one is up: a window with the program's caption that
# is not the progress window (130 pixels high).
dialogs() {
    local w
    for w in $(xdotool search --onlyvisible --name "^$caption for Linux\$" 2>/dev/null); do
        xdotool getwindowgeometry "$w" 2>/dev/null | grep -q 'Geometry: [0-9]*x130$' || echo "$w"
    done
}
dialog() { dialogs | head -1; }

# Waits up to ten seconds for a dialog to be up; false when none comes.
wait_for_dialog() {
    for _ in $(seq 200); do
        [ -n "$(dialog)" ] && return 0
        sleep 0.05
    done
    return 1
}

# The program's progress window, if it is up.
progress_window() {
    local w
    for w in $(xdotool search --onlyvisible --name "^$caption for Linux\$" 2>/dev/null); do
        xdotool getwindowgeometry "$w" 2>/dev/null | grep -q 'Geometry: [0-9]*x130$' && echo "$w" && return
    done
    return 1
}

# Answers the next dialog with Return and at once presses Escape on the progress window, the
# window having the focus, as a user who changes their mind at the last moment; false when no
# dialog comes.
answer_then_escape() {
    local progress box
    wait_for_dialog || return 1
    progress=$(progress_window) || return 1
    box=$(dialog)
    sleep 0.3
    xdotool windowfocus --sync "$box" 2>/dev/null
    xdotool key --window "$box" Return 2>/dev/null
    xdotool windowfocus "$progress" 2>/dev/null
    xdotool key Escape
}

# Presses a key on the program's progress window as a user would, the window having the focus.
press_on_progress() {
    local progress
    progress=$(progress_window) || return 1
    xdotool windowfocus "$progress" 2>/dev/null && xdotool key "$1"
}

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
