#!/usr/bin/env bash
# End-to-end tests of the Linux programs gridweave and gridquill on a private virtual display:
# another program (xclip) puts text on the clipboard, the program runs from a fresh folder, its
# message dialogs are answered with the keyboard as a user would (xdotool), and the clipboard is
# read after the program has ended, when the markup must still be there: served by the keeper the
# program leaves behind, or, in the last case, by a clipboard manager (tests/tools). The dialogs
# that the program ran, recorded by the dialog log preloaded into it (tests/tools), must be the
# expected ones. Prints one line per case and "e2e-linux: N passed, M failed"; exits non-zero on
# any failure.
set -uo pipefail
root="$(cd "$(dirname "$0")/../../.." && pwd)"
build="$root/build/linux"
work="$root/build/e2e-linux"
dialog_log="$build/tests/libgrid-dialog-log.so"
[ -f "$dialog_log" ] || { echo "e2e-linux: $dialog_log is not built"; exit 1; }

source "$root/scripts/display-env"
start_private_display 150 190
started=()
cleanup() {
    for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
    # The keeper that a program left behind is a client of the private display and ends with it.
    # Waiting for the display to end lets the next run have its number.
    kill "$display_pid" 2>/dev/null
    wait "$display_pid" 2>/dev/null
}
trap cleanup EXIT

passed=0
failed=0

source "$root/tests/e2e/linux/dialogs.sh"

# case NAME PROGRAM SETTINGS INPUT KEYS EXPECTED: KEYS answers the dialogs in turn, each within
# 10 s; among them, "freeze" and "resume" stop and go on with the copying program (SIGSTOP,
# SIGCONT) once the next dialog is up, "freeze-first" stops it before the program starts, "pause"
# waits a second, "escape-window" presses Escape on the progress window, "Return-Escape" answers
# with Return and presses Escape on the progress window right after, and "paste-at-once" reads the
# clipboard once the progress window is gone, expecting EXPECTED within a second. Standard input holds the lines of the
# dialogs that the program must show, in turn (dialogs.sh). $offer_target, when set, is the only
# target of text the copying program offers; $offer_html, when set, a page that the copying program
# (clipowner.py) offers as text/html beside INPUT as text; $read_target the one the clipboard is read
# as at the end (the copying program's own, where it must be unchanged). Among KEYS, "memory+MB"
# waits until the progress bar is at 90 (the text read and the grid made; the dialog log writes the
# bar's positions) and limits the program's virtual memory to what it then has plus MB megabytes
# (prlimit --as, as ulimit -v would from the start). SETTINGS, INPUT and EXPECTED may name a file as
# file:PATH; the clipboard afterwards is saved in the case's folder as clipboard. The program must
# end by itself with exit status 0, and no C++ exception may end it.
case_() {
    local name=$1 program=$2 settings=$3 input=$4 keys=$5 expected=$6
    local dialogs target=${offer_target:-} read_as=()
    [ -n "${read_target:-}" ] && read_as=(-t "$read_target")
    dialogs=$(cat)
    caption=${program^}
    local dir="$work/$program-$name"
    rm -rf "$dir" && mkdir -p "$dir"
    cp "$build/$program" "$build/grid-clipboard-keeper" "$dir/"
    local ini="$dir/${caption}.ini"
    case $settings in -) ;; file:*) cp "${settings#file:}" "$ini" ;; *) printf '%b' "$settings" > "$ini" ;; esac
    # The copying program, in the foreground so that it can be ended by its id.
    local offered=(printf '%b' "$input")
    [[ $input == file:* ]] && offered=(cat "${input#file:}")
    if [ -n "${offer_html:-}" ]; then
        "${offered[@]}" > "$dir/text.txt"
        /usr/bin/python3 "$root/tests/e2e/linux/clipowner.py" text/html "$offer_html" UTF8_STRING "$dir/text.txt" \
            'text/plain;charset=utf-8' "$dir/text.txt" > "$dir/owner.log" 2>&1 &
    elif [ -n "$target" ]; then
        "${offered[@]}" | xclip -quiet -selection clipboard -t "$target" -i >/dev/null 2>&1 &
    else
        "${offered[@]}" | xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
    fi
    local owner=$!
    started+=("$owner")
    sleep 0.3
    [ -z "${offer_html:-}" ] || for _ in $(seq 100); do grep -qs "owner ready" "$dir/owner.log" && break; sleep 0.05; done
    [[ " $keys " == *" freeze-first "* ]] && kill -STOP "$owner"
    LD_PRELOAD="$dialog_log" GRID_DIALOG_LOG="$dir/dialogs.log" GRID_PROGRESS_LOG="$dir/progress.log" "$dir/$program" \
        > "$dir/output.log" 2>&1 &
    local pid=$!
    started+=("$pid")
    local ok=1 pasted
    for key in $keys; do
        case $key in
            freeze-first) ;;
            freeze) wait_for_dialog && kill -STOP "$owner" ;;
            resume) wait_for_dialog && kill -CONT "$owner" ;;
            pause) sleep 1 ;;
            escape-window) press_on_progress Escape || { ok=0; echo "    no progress window"; } ;;
            memory+*)
                if wait_for_progress "$pid" "$dir/progress.log" 90; then
                    local size
                    size=$(awk '/^VmSize:/ { print $2 }' "/proc/$pid/status")
                    prlimit --pid "$pid" --as=$(((size + ${key#memory+} * 1024) * 1024)) \
                        || { ok=0; echo "    the memory was not limited"; }
                else
                    ok=0
                    echo "    the progress bar did not get to 90"
                fi
                ;;
            Return-Escape) answer_then_escape || { ok=0; echo "    no dialog to answer"; } ;;
            paste-at-once)
                # Once the progress window has gone, as the program ends or waits.
                for _ in $(seq 40); do progress_window >/dev/null || break; sleep 0.05; done
                pasted=$(timeout 1 xclip -selection clipboard -o 2>/dev/null)
                [ "$pasted" = "$(printf '%b' "$expected")" ] || { ok=0; echo "    no markup for a paste at once"; }
                ;;
            *) answer "$key" || { ok=0; echo "    no dialog to answer with $key"; break; } ;;
        esac
    done
    kill -CONT "$owner" 2>/dev/null
    wait_for_end "$pid" || { ok=0; echo "    the program did not end"; }
    wait "$pid" 2>/dev/null
    local status=$?
    [ "$status" -eq 0 ] || { ok=0; echo "    the program ended with exit status $status"; }
    ! grep -q "terminate called" "$dir/output.log" || { ok=0; echo "    $(grep -m1 "terminate called" "$dir/output.log")"; }
    check_dialogs "$dir/dialogs.log" "$dialogs" || ok=0
    # With a clipboard manager running, it holds the markup now and no keeper was started.
    if [ -n "${manager_log:-}" ]; then
        grep -q '^saved' "$manager_log" || { ok=0; echo "    the clipboard manager got nothing"; }
        ! pgrep -f "^$dir/grid-clipboard-keeper" >/dev/null || { ok=0; echo "    a keeper was started"; }
    fi
    local expect=(printf '%b' "$expected")
    [[ $expected == file:* ]] && expect=(cat "${expected#file:}")
    timeout 5 xclip -selection clipboard "${read_as[@]}" -o > "$dir/clipboard" 2>/dev/null
    if [[ $expected == file:* ]]; then cmp -s "${expected#file:}" "$dir/clipboard"
    else [ "$(cat "$dir/clipboard")" = "$(printf '%b' "$expected")" ]; fi || ok=0
    if [ "$ok" -eq 1 ]; then
        passed=$((passed + 1))
        echo "e2e-linux: $program $name ok"
    else
        failed=$((failed + 1))
        echo "e2e-linux: $program $name FAILED"
        diff <("${expect[@]}") "$dir/clipboard" | head -20 | cut -c1-200 | sed 's/^/    /'
    fi
}

html='<TABLE BORDER>\r\n<TR>\r\n<TD NOWRAP>a</TD>\r\n<TD NOWRAP>日本</TD>\r\n</TR>\r\n</TABLE>'
# OK to "borders on all cells?", then OK to the closing message: the markup outlives the program.
case_ text gridweave '[Param]\nhtmlversion=4\n' 'a\t日本\n' "Return Return" "$html" <<EOF
$weave | OK,Cancel | progress | $borders_question
$weave | OK | progress | $done_in_time
EOF
case_ text gridquill '[Param]\ncell_sep=|\n' 'a\t日本\n' "Return Return" '|a|日本|\r\n' <<EOF
$quill | OK,Cancel | progress | $borders_question
$quill | OK | progress | $done_in_time
EOF
# Cancel (Escape) on the question: the cancel message, and the clipboard keeps the copied text.
case_ cancel gridweave '[Param]\nhtmlversion=4\n' 'keep\tthis\n' "Escape Return" 'keep\tthis\n' <<EOF
$weave | OK,Cancel | progress | $borders_question
$weave | OK | progress | $cancelled_message
EOF
# No settings file: the message about it first, before the progress window is up, then the
# defaults (HTML5 in gridweave; the elapsed time).
case_ no-settings gridquill - 'x\n' "Return Return Return" 'x\r\n' <<EOF
$quill | OK | none | $no_settings_message
$quill | OK,Cancel | progress | $borders_question
$quill | OK | progress | $done_in_time
EOF

# Escape on the progress window after the run's last look at it: the run ends as usual, and a paste
# right away gets the markup, while the program may still wait for the request to be seen.
case_ late-escape gridweave '[Param]\nhtmlversion=4\n' 'a\t日本\n' "Return Return-Escape paste-at-once" "$html" <<EOF
$weave | OK,Cancel | progress | $borders_question
$weave | OK | progress | $done_in_time
EOF
# A copying program that stops answering: the read gives up within the bound (5 s of silence,
# well within the 10 s that every answer may take) with the read message; Cancel ends the wait at
# once; stopped from the start, the probe says the clipboard could not be read, not that it was
# empty. The copied text stays, for the copying program once it goes on.
case_ frozen-owner gridquill '[Param]\ncell_sep=|\n' 'keep\tthis\n' "freeze Return resume Return" 'keep\tthis\n' <<EOF
$quill | OK,Cancel | progress | $borders_question
$quill | OK | progress | $not_read_message
EOF
case_ frozen-owner-cancel gridweave '[Param]\nhtmlversion=4\n' 'keep\tthis\n' \
    "freeze Return pause escape-window resume Return" 'keep\tthis\n' <<EOF
$weave | OK,Cancel | progress | $borders_question
$weave | OK | progress | $cancelled_message
EOF
case_ frozen-owner-first gridweave '[Param]\nhtmlversion=4\n' 'keep\tthis\n' "freeze-first resume Return" 'keep\tthis\n' <<EOF
$weave | OK | progress | $not_read_message
EOF
# Text offered only as text/plain, by a program that answers nothing else: UTF-8, or the charset
# the type names; text that cannot be decoded is refused with the read message, not converted.
offer_target=text/plain case_ text-plain gridquill '[Param]\ncell_sep=|\n' '日本\tx\n' "Return Return" '|日本|x|\r\n' <<EOF
$quill | OK,Cancel | progress | $borders_question
$quill | OK | progress | $done_in_time
EOF
offer_target='text/plain;charset=ISO-8859-1' case_ text-plain-latin-1 gridweave '[Param]\nhtmlversion=4\n' 'caf\xe9\n' \
    "Return Return" '<TABLE BORDER>\r\n<TR>\r\n<TD NOWRAP>café</TD>\r\n</TR>\r\n</TABLE>' <<EOF
$weave | OK,Cancel | progress | $borders_question
$weave | OK | progress | $done_in_time
EOF
offer_target=text/plain read_target=text/plain case_ text-plain-undecodable gridquill '[Param]\ncell_sep=|\n' 'caf\xe9\n' "Return Return" 'caf\xe9\n' <<EOF
$quill | OK,Cancel | progress | $borders_question
$quill | OK | progress | $not_read_message
EOF

# Too little memory for the markup's way to the clipboard: 100,000 rows x 10 cells of text, with
# the fast capture on as a user had it. The program's peak on this text is about 430 MB resident
# (/usr/bin/time -v), but its address space differs by up to about 200 MB from run to run before it
# reads, so a limit set at the start (ulimit -v) falls now in the reading, now in the writing. The
# limit is set once the text is read instead, 180 MB above what the program then has: making the
# markup takes about 155 MB more, copying it for the clipboard about 230 MB. The run must end with
# one message box, of the memory or of the clipboard, and normally; the clipboard keeps the text.
mkdir -p "$work"
big_text="$work/cells-100000x10.txt"
awk 'BEGIN { for (r = 1; r <= 100000; ++r) { for (c = 1; c <= 10; ++c) printf "%sr%dc%d", (c > 1 ? "\t" : ""), r, c; printf "\n" } }' \
    > "$big_text"
out_of_memory=""
for message in "$memory_message" "$memory_failed_message" "$not_opened_for_writing" "$not_emptied_message" \
    "$not_written_message" "$not_closed_after_writing"; do
    out_of_memory+="${out_of_memory:+$'\n'or$'\n'}$weave | OK,Cancel | progress | $borders_question"
    out_of_memory+=$'\n'"$weave | OK | progress | $message"
done
case_ memory-limit gridweave '[Param]\nhtmlversion=4\nfast_capture_yn=ON\n' "file:$big_text" "Return memory+180 Return" \
    "file:$big_text" <<< "$out_of_memory"

# With a clipboard manager on the display, the markup is handed to it when the program ends.
manager_log="$work/clipboard-manager.log"
mkdir -p "$work"
"$build/tests/clipboard-manager" > "$manager_log" 2>&1 &
manager=$!
started+=("$manager")
for _ in $(seq 50); do grep -q managing "$manager_log" && break; sleep 0.1; done
case_ manager gridquill '[Param]\ncell_sep=|\n' 'kept\tby\tmanager\n' "Return Return" '|kept|by|manager|\r\n' <<EOF
$quill | OK,Cancel | progress | $borders_question
$quill | OK | progress | $done_in_time
EOF
kill "$manager" 2>/dev/null
manager_log=""

# The direct capture (direct_capture_yn=ON) of the one table on the clipboard's HTML: the copying
# program offers a page (tests/data/html) as text/html beside some text, and each program, with a
# sample's settings and the key, must put on the clipboard what render-grid writes from the same
# page and settings, so the real run, the text/html target read as "HTML Format" and the reader
# agree; the page also in UTF-16 with a byte-order mark gives the same markup. A page with two
# tables is not taken: the text goes the plain-text way, with its question. render-grid sets no
# locale, so that its Gridquill cannot hold a character beyond ASCII in a cell: Gridquill's markup
# comes from the grid of the page as Gridweave reads it (--dump), through Gridquill's writer. Each
# copy (page, text, each program's settings, markup and dialogs) is saved in html-copies/NAME for
# the Windows programs under Wine (tests/e2e/windows/run-direct-e2e.sh).
render_grid="$build/tools/render-grid"
for entry in excel-desktop excel-web google-sheets libreoffice spans tricky web-page two-tables google-sheets:utf-16; do
    name=${entry/:/-} page="$root/tests/data/html/${entry%:*}.html" text="$name\tcells\n"
    copy="$work/html-copies/$name"
    [ "$entry" = "${entry%:*}" ] || copy="$work/html-utf-16/$name"
    rm -rf "$copy" && mkdir -p "$copy" && printf '%b' "$text" > "$copy/text.txt"
    if [ "$entry" = "${entry%:*}" ]; then cp "$page" "$copy/page.html"
    else { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$page"; } > "$copy/page.html"; fi
    for program in gridweave gridquill; do
        ini="$copy/$program.ini" sample=inline who=$weave caption=${program^}
        [ "$program" = gridweave ] || sample=mediawiki who=$quill
        sed 's/^\[Param\]/&\ndirect_capture_yn=ON/' "$root/examples/$program/$sample/$caption.ini" > "$ini"
        if [ "$program" = gridweave ]; then
            "$render_grid" --program gridweave --ini "$ini" --html "$page" > "$copy/expected-$program" 2> "$copy/messages"
        else
            "$render_grid" --program gridweave --ini "$copy/gridweave.ini" --html "$page" --dump > "$copy/grid.json" \
                && "$render_grid" --program gridquill --ini "$ini" --grid "$copy/grid.json" --normalise > "$copy/expected-$program"
        fi
        status=$? keys=Return dialogs="$who | OK | progress | $done_in_time"
        [ "$status" -ne 3 ] || "$render_grid" --program "$program" --ini "$ini" --text "$copy/text.txt" > "$copy/expected-$program"
        if [ "$status" -eq 3 ] || grep -qx 'message 2' "$copy/messages"; then
            keys="Return Return" dialogs="$who | OK,Cancel | progress | $borders_question"$'\n'"$dialogs"
        fi
        offer_html="$copy/page.html" case_ "html-$name" "$program" "file:$ini" "$text" "$keys" "file:$copy/expected-$program" \
            <<< "$dialogs"
        cp "$work/$program-html-$name/clipboard" "$copy/$program.out"
        cp "$work/$program-html-$name/dialogs.log" "$copy/$program.dialogs"
    done
done

echo "e2e-linux: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
