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
failed_message='データ変換に失敗しました。'
memory_message='メモリを確保できません。'
memory_failed_message='メモリを操作できません。'
# What the write of the markup to the clipboard may say when it fails.
not_opened_for_writing='クリップボードの変換に失敗しました。\nクリップボードを書き込み用に開けません。'
not_emptied_message='クリップボードの変換に失敗しました。\nクリップボードを初期化できません。'
not_written_message='クリップボードの変換に失敗しました。\nクリップボードに書き込めません。'
not_closed_after_writing='クリップボードの変換に失敗しました。\n書き込み用に開いたクリップボードを閉じられません。'
weave='dialog Gridweave for Linux'
quill='dialog Gridquill for Linux'

# check_dialogs LOG EXPECTED: true when the dialogs in LOG are the lines of EXPECTED, in order (LOG
# is written by the dialog log, tests/tools/dialog-log.cpp, preloaded into the program);
# the minutes and seconds of the elapsed time are taken as the catalogue's %d, so any numbers
# pass there and nothing else. EXPECTED may hold several courses that are each right, between
# lines "or": LOG must then be one of them. Shows the difference otherwise (from the first).
check_dialogs() {
    local log=$1 expected=$2 actual course
    actual=$(sed -E 's/(　経過時間 )[0-9]+分 [0-9]+秒$/\1%d分 %d秒/' "$log" 2>/dev/null)
    while IFS= read -r -d $'\f' course; do
        course=${course#$'\n'} course=${course%$'\n'}
        [ "$actual" = "$course" ] && return 0
    done < <(printf '%s\f' "${expected//$'\n'or$'\n'/$'\f'}")
    echo "    the dialogs differ from the expected ones:"
    diff <(echo "${expected%%$'\n'or$'\n'*}") <(echo "$actual") | sed 's/^/    /'
    return 1
}

# The program's message dialog on screen, if one is up: a window with the program's caption that
# is not the progress window (130 pixels high). $box_title, when set, is the pattern of another
# caption to look for instead (the automation layer's boxes are captioned "AutoWrap()").
dialogs() {
    local w
    for w in $(xdotool search --onlyvisible --name "${box_title:-^$caption for Linux\$}" 2>/dev/null); do
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

# Asks the program's progress window to close as a window manager's close box does: the private
# displays have no window manager, so $close_request (tests/tools/close-request) sends what one
# sends, WM_DELETE_WINDOW.
close_progress_window() {
    local progress
    progress=$(progress_window) || return 1
    "$close_request" "$progress"
}

# Waits up to TENTHS tenths of a second (default 100) until the progress bar of the program PID is
# at AT or beyond, as the file LOG that the dialog log writes for GRID_PROGRESS_LOG says; false when
# it is not by then or the program has ended.
wait_for_progress() {
    local pid=$1 log=$2 at=$3 tenths=${4:-100} position
    for _ in $(seq $((tenths * 5))); do
        position=$(tail -1 "$log" 2>/dev/null)
        [ -n "$position" ] && [ "$position" -ge "$at" ] && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.02
    done
    return 1
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
