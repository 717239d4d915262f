#!/usr/bin/env bash
# End-to-end tests of gridweave and gridquill with real LibreOffice Calc on a private virtual
# display and a private office profile: a script makes the test workbook, each case copies a range
# of it in Calc, runs the program from a fresh folder, answers its dialogs with the keyboard and
# compares the clipboard, read after the program has ended, with the expected markup in
# expected/, and the dialogs that the program ran (recorded by the dialog log preloaded into it,
# tests/tools) with the expected ones. The expected markup of a range is kept only if it is what
# the range's cell facts give (workbook.py) by the rules of the capture and the normalisation
# (expect.py), written through the real writer (tools/render-grid): so no fault of the capture and
# writer together can be recorded as expected. Prints one line per case and "e2e-calc: N passed, M
# failed"; exits non-zero on any failure. With --record expected/ is written anew instead: for a
# range, what its facts give; for text from another program, the markup the program gives (to be
# checked by eye before it is kept).
set -uo pipefail
root="$(cd "$(dirname "$0")/../../.." && pwd)"
build="$root/build/linux"
work="$root/build/e2e-calc"
expected="$root/tests/e2e/linux/expected"
dialog_log="$build/tests/libgrid-dialog-log.so"
render_grid="$build/tools/render-grid"
capture_compare="$build/tests/capture-compare"
close_request="$build/tests/close-request"
record=0
[ "${1:-}" = --record ] && record=1
calc() { /usr/bin/python3 "$root/tests/e2e/linux/calc.py" "$pipe" "$@"; }
# The Python UNO client has been seen to crash now and then (a segmentation fault in the bridge)
# before it copies: a second attempt, said aloud, keeps that from failing a case of the programs.
copy_cells() {
    calc copy "$@" && return 0
    echo "    calc.py copy failed; copying once more"
    calc copy "$@"
}
# What a copied range must give, from the cell facts that the workbook is made of (workbook.py).
facts() { /usr/bin/python3 "$root/tests/e2e/linux/expect.py" "$@"; }

office_program=/usr/lib/libreoffice/program
if [ ! -x "$office_program/soffice" ]; then
    echo "e2e-calc: LibreOffice is not installed (scripts/setup installs it)"
    exit 1
fi
for tool in "$dialog_log" "$render_grid" "$capture_compare" "$close_request"; do
    [ -f "$tool" ] || { echo "e2e-calc: $tool is not built"; exit 1; }
done

rm -rf "$work" && mkdir -p "$work"
source "$root/scripts/display-env"
start_private_display 200 240
profile="file://$work/office-profile"
pipe="grid-e2e-$$"
started=()
cleanup() {
    end_process_tree "${started[@]}"
    # The keeper that a program left behind is a client of the private display and ends with it.
    # Waiting for the display to end lets the next run have its number.
    kill "$display_pid" 2>/dev/null
    wait "$display_pid" 2>/dev/null
}
trap cleanup EXIT

start_private_office "$profile" "$pipe" "$work/office.log"
office_up=$?
started+=("$office_pid")
[ "$office_up" -eq 0 ] || { echo "e2e-calc: the office did not start"; exit 1; }
book="$work/test-workbook.ods"
calc workbook "$book" || { echo "e2e-calc: the test workbook could not be made"; exit 1; }

source "$root/tests/e2e/linux/dialogs.sh"
passed=0
failed=0
# tally NAME OK: counts and prints a case's outcome (OK 1 for passed).
tally() {
    if [ "$2" -eq 1 ]; then passed=$((passed + 1)); echo "e2e-calc: $1 ok"
    else failed=$((failed + 1)); echo "e2e-calc: $1 FAILED"; fi
}
# judged LOG COMMAND...: the command's output into LOG, shown indented when it fails; its status.
judged() {
    local log=$1
    shift
    "$@" > "$log" 2>&1 && return 0
    sed 's/^/    /' "$log" | head -40
    return 1
}

# run_program DIR PROGRAM KEYS DIALOGS [ENV...]: PROGRAM run from DIR (with the test office's
# profile, then ENV), its dialogs answered with KEYS and checked against DIALOGS (dialogs.sh), the
# clipboard afterwards in DIR/clipboard. False after reporting any fault.
run_program() {
    local dir=$1 program=$2 keys=$3 dialogs=$4 ok=1
    shift 4
    caption=${program^}  # the program whose dialogs answer looks for (dialogs.sh)
    env UserInstallation="$profile" LD_PRELOAD="$dialog_log" GRID_DIALOG_LOG="$dir/dialogs.log" "$@" \
        "$dir/$program" > "$dir/output.log" 2>&1 &
    local pid=$!
    started+=("$pid")
    for key in $keys; do answer "$key" 300 || { ok=0; echo "    no dialog to answer with $key"; break; }; done
    wait_for_end "$pid" || { ok=0; echo "    the program did not end"; }
    wait "$pid" 2>/dev/null
    check_dialogs "$dir/dialogs.log" "$dialogs" || ok=0
    timeout 5 xclip -selection clipboard -o > "$dir/clipboard" 2>/dev/null
    [ "$ok" -eq 1 ]
}

# case NAME PROGRAM SETTINGS COPY KEYS [ENV...]: SETTINGS is the text of the settings file or
# "file:PATH" for a file of the repository; COPY is a range of the workbook or "text:TEXT"
# for text that another program (xclip) offers; KEYS answer the
# dialogs in turn; ENV are settings of the program's environment (after the test office's profile,
# so that they may name another). Standard input holds the lines of the dialogs that the program
# must show, in turn (dialogs.sh). The expected markup is in expected/NAME; for the names
# "...-unchanged" the clipboard must hold the copied cells' text, as Calc offers it, before the run
# and after it.
case_() {
    local name=$1 program=$2 settings=$3 copy=$4 keys=$5 dialogs
    shift 5
    dialogs=$(cat)
    caption=${program^}
    local dir="$work/$name" ok=1
    mkdir -p "$dir"
    cp "$build/$program" "$build/grid-clipboard-keeper" "$dir/"
    case "$settings" in
        file:*) cp "$root/${settings#file:}" "$dir/${caption}.ini" ;;
        *) printf '%b' "$settings" > "$dir/${caption}.ini" ;;
    esac
    case "$copy" in
        text:*)
            printf '%b' "${copy#text:}" | xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
            started+=("$!")
            sleep 0.3
            ;;
        *) copy_cells "$book" "$copy" || { ok=0; echo "    the cells were not copied"; } ;;
    esac
    timeout 5 xclip -selection clipboard -o > "$dir/before" 2>/dev/null
    run_program "$dir" "$program" "$keys" "$dialogs" "$@" || ok=0
    if [ "${name%-unchanged}" = "$name" ] && [ "${copy#text:}" = "$copy" ]; then
        # The markup that the copied cells give, by their facts, with the case's settings.
        if facts grid "$copy" > "$dir/grid.json" \
            && "$render_grid" --program "$program" --ini "$dir/${caption}.ini" --grid "$dir/grid.json" > "$dir/derived"; then
            if [ "$record" -eq 1 ]; then
                cp "$dir/derived" "$expected/$name"
            elif ! cmp -s "$dir/derived" "$expected/$name"; then
                ok=0
                echo "    expected/$name is not what the cells give:"
                diff "$expected/$name" "$dir/derived" | head -20 | sed 's/^/    /'
            fi
        else
            ok=0
            echo "    the markup of the cells could not be derived"
        fi
    elif [ "$record" -eq 1 ] && [ "${name%-unchanged}" = "$name" ]; then
        cp "$dir/clipboard" "$expected/$name"
    fi
    if [ "${name%-unchanged}" != "$name" ]; then
        # Not merely the same before and after: an empty clipboard would be that too.
        facts text "$copy" > "$dir/copied"
        cmp -s "$dir/before" "$dir/copied" || { ok=0; echo "    the copied cells were not on the clipboard before the run"; }
        cmp -s "$dir/clipboard" "$dir/copied" || {
            ok=0
            echo "    the clipboard does not hold the copied cells after the run:"
            diff "$dir/copied" "$dir/clipboard" | head -20 | sed 's/^/    /'
        }
    elif ! cmp -s "$dir/clipboard" "$expected/$name"; then
        ok=0
        echo "    the clipboard differs from expected/$name:"
        diff "$expected/$name" "$dir/clipboard" | head -40 | sed 's/^/    /'
    fi
    tally "$name" "$ok"
}

every_flag='line_color_yn=ON\nline_width_yn=ON\nback_color_yn=ON\nfont_color_yn=ON\nfont_size_yn=ON\nfont_bold_yn=ON\nfont_underline_yn=ON\nfont_italic_yn=ON\nfont_strikethrough_yn=ON\ncell_posh_yn=ON\ncell_posv_yn=ON\n'
legacy="[Log]\nTime=OFF\n[Param]\nhtmlversion=4\n$every_flag"
html5="[Log]\nTime=OFF\n[Param]\nhtmlversion=5\n$every_flag"
# The common Japanese wiki table syntax: "|" between cells, formatting as cell prefixes; the
# quotes keep the apostrophes of bold and italic, since one pair around a value is taken off.
wiki="[Log]\nTime=OFF\n[Param]\ncell_sep=|\nback_color=BGCOLOR(%s):@\nfont_color=COLOR(%s):@\nfont_size=SIZE(%d):@\nfont_bold=\"''@''\"\nfont_italic=\"'''@'''\"\nfont_underline=%%%@%%%\nfont_strikethrough=%%@%%\ncell_poshl=LEFT:@\ncell_poshc=CENTER:@\ncell_poshr=RIGHT:@\ncell_mrgh=>\ncell_mrgv=~\n"

# An office that fails to start (a stand-in soffice that ends with an error), before any run has
# had the test office accept on the programs' pipe: Calc was not found, the cells stay.
mkdir -p "$work/failing-office"
printf '#!/bin/sh\nexit 1\n' > "$work/failing-office/soffice"
chmod +x "$work/failing-office/soffice"
case_ failing-office-unchanged gridweave "$html5" A1:B2 "Return" UNO_PATH="$work/failing-office" <<EOF
$weave | OK | progress | $calc_not_found
EOF

# No office accepts on the programs' pipe and none runs with the profile given: the program starts
# one (with a profile of its own here), which reads the cells from the test office's clipboard.
# That office is ended again, by its ids, so that the later runs find the test office running and
# have it accept on the pipe.
case_ html5-formatting-started-office gridweave "$html5" A1:D4 "Return" UserInstallation="file://$work/started-profile" <<EOF
$weave | OK | progress | $done_message
EOF
# An office that the programs started accepts on their pipe (a pattern for pgrep -f).
programs_office="--accept=pipe,name=grid-calc-$(id -u);"
end_started_office() {
    end_process_tree $(pgrep -f -- "$programs_office")
    for _ in $(seq 100); do pgrep -f -- "$programs_office" >/dev/null || return 0; sleep 0.1; done
}
end_started_office

# Texts, type faces, sizes, colours, the Japanese text, the line break and the three kinds of line.
case_ legacy-formatting gridweave "$legacy" A1:D4 "Return" <<EOF
$weave | OK | progress | $done_message
EOF
case_ html5-formatting gridweave "$html5" A1:D4 "Return" <<EOF
$weave | OK | progress | $done_message
EOF
case_ wiki-formatting gridquill "$wiki" A1:D4 "Return" <<EOF
$quill | OK | progress | $done_message
EOF
# The width of the lines is the first cell's: thick, then double (which counts as thick).
case_ legacy-thick-line gridweave "$legacy" C1:D2 "Return" <<EOF
$weave | OK | progress | $done_message
EOF
case_ html5-double-line gridweave "$html5" D1:D2 "Return" <<EOF
$weave | OK | progress | $done_message
EOF
# Merged areas of 2 x 2, 1 x 3 and 3 x 1 among lined cells.
case_ legacy-merged gridweave "$legacy" A10:E14 "Return" <<EOF
$weave | OK | progress | $done_message
EOF
case_ html5-merged gridweave "$html5" A10:E14 "Return" <<EOF
$weave | OK | progress | $done_message
EOF
case_ wiki-merged gridquill "$wiki" A10:E14 "Return" <<EOF
$quill | OK | progress | $done_message
EOF
# Every alignment; these cells have no lines, so the question about lines comes first.
case_ html5-alignments gridweave "$html5" A6:F7 "Return Return" <<EOF
$weave | OK,Cancel | progress | $borders_question
$weave | OK | progress | $done_message
EOF
case_ wiki-alignments gridquill "$wiki" A6:F7 "Return Return" <<EOF
$quill | OK,Cancel | progress | $borders_question
$quill | OK | progress | $done_message
EOF
# Cancel on that question: the cancel message, and the copied cells stay on the clipboard.
case_ cancel-unchanged gridweave "$html5" A6:F7 "Escape Return" <<EOF
$weave | OK,Cancel | progress | $borders_question
$weave | OK | progress | $cancelled_message
EOF
# Without LibreOffice to be found (no UNO_PATH, no soffice on the PATH): Calc could not be
# started, and the clipboard keeps the cells.
case_ no-office-unchanged gridquill "$wiki" A1:B2 "Return" UNO_PATH= PATH=/nonexistent <<EOF
$quill | OK | progress | $calc_not_started
EOF
# Text from another program, with the office running: the plain-text way, with its question on
# lines.
case_ other-program-text gridweave "$legacy" 'text:one\ttwo\n三\tfour\n' "Return Return" <<EOF
$weave | OK,Cancel | progress | $borders_question
$weave | OK | progress | $done_message
EOF

# The sample settings files as they stand, against the markup recorded in expected/example-*:
# Gridweave's legacy and HTML5 samples on the formatted cells; PukiWiki's, DokuWiki's and Textile's
# on the formatted cells, on every alignment and on the characters their syntaxes read as markup.
# None of these ranges holds a merged area: the wiki samples' merged areas are judged further on,
# where each syntax's engine renders them, and PukiWiki's, which no engine here reads, by its table
# rules in the unit tests (WikiWriterTest).
for preset in legacy html5; do
    case_ "example-$preset-formatting" gridweave "file:examples/gridweave/$preset/Gridweave.ini" A1:D4 "Return" <<EOF
$weave | OK | progress | $done_in_time
EOF
done
for preset in pukiwiki dokuwiki textile; do
    case_ "example-$preset-formatting" gridquill "file:examples/gridquill/$preset/Gridquill.ini" A1:D4 "Return" <<EOF
$quill | OK | progress | $done_in_time
EOF
    case_ "example-$preset-alignments" gridquill "file:examples/gridquill/$preset/Gridquill.ini" A6:F7 "Return Return" <<EOF
$quill | OK,Cancel | progress | $borders_question
$quill | OK | progress | $done_in_time
EOF
    # The characters the syntax reads as markup, as the sample writes them.
    case_ "example-$preset-markup-characters" gridquill "file:examples/gridquill/$preset/Gridquill.ini" A16:C16 "Return Return" <<EOF
$quill | OK,Cancel | progress | $borders_question
$quill | OK | progress | $done_in_time
EOF
done

# The wiki samples judged by real wiki engines: the markup that the program puts on the clipboard
# is rendered by an engine of the sample's syntax, and the table shown must be the copied cells as
# their facts hold them (wikijudge.py), whatever markup gives it. The engines run from here; the
# private MediaWiki is installed once per run into the work folder.
export WIKIJUDGE_WORK="$work/wikijudge"
wikijudge() { /usr/bin/python3 "$root/tests/e2e/linux/wikijudge.py" "$@"; }
# The judge itself first: good markup by hand is judged the same as the cells, broken markup not.
ok=1
judged "$work/wikijudge-selftest.log" wikijudge selftest || ok=0
tally wikijudge-selftest "$ok"

# convert_copy DIR PROGRAM SETTINGS BOOK RANGE KEYS DIALOGS: RANGE of BOOK copied in Calc, PROGRAM
# run from DIR with the settings file SETTINGS beside it, its dialogs answered with KEYS and
# checked against DIALOGS (as for case_); the clipboard afterwards in DIR/clipboard. False after
# reporting any fault.
convert_copy() {
    local dir=$1 program=$2 settings=$3 book=$4 range=$5 keys=$6 dialogs=$7 ok=1
    mkdir -p "$dir"
    cp "$build/$program" "$build/grid-clipboard-keeper" "$dir/"
    cp "$settings" "$dir/${program^}.ini"
    copy_cells "$book" "$range" || { ok=0; echo "    the cells were not copied"; }
    run_program "$dir" "$program" "$keys" "$dialogs" || ok=0
    [ "$ok" -eq 1 ]
}

# engine_case SAMPLE ENGINE CAPABILITIES RANGE KEYS: gridquill with examples/gridquill/SAMPLE on
# the copied range, its dialogs answered with KEYS (standard input: the dialogs it must show, as
# for case_), then the clipboard judged by ENGINE with what the syntax can carry (wikijudge.py).
engine_case() {
    local sample=$1 engine=$2 capabilities=$3 range=$4 keys=$5 dialogs
    dialogs=$(cat)
    local name="judged-$sample-${range/:/-}"
    local dir="$work/$name" ok=1
    convert_copy "$dir" gridquill "$root/examples/gridquill/$sample/Gridquill.ini" "$book" "$range" "$keys" \
        "$dialogs" || ok=0
    facts grid "$range" > "$dir/grid.json" || { ok=0; echo "    the cells' facts could not be read"; }
    judged "$dir/judged" wikijudge judge "$engine" "$dir/clipboard" "$dir/grid.json" "$capabilities" || ok=0
    tally "$name" "$ok"
}
# Each sample with its engine and what its syntax carries (see wikijudge.py). PukiWiki has no
# engine here. Markdown aligns whole columns only, so its cells' own alignment is not judged;
# pandoc's Jira reader is given Atlassian's "\~" as wikijudge.py's render() says.
judged_samples=(
    "mediawiki mediawiki merge=span,header=yes,bold,italic,underline,strike,halign,valign,bgcolor,color,size"
    "textile redcloth merge=span,header=yes,bold,italic,underline,strike,halign,valign,bgcolor,color,size"
    "dokuwiki dokuwiki merge=span,header=no,bold,italic,underline,strike,halign"
    "asciidoc asciidoctor merge=span,header=no,bold,italic,underline,strike,halign"
    "markdown cmark-gfm merge=blank,header=yes,bold,italic,underline,strike"
    "confluence pandoc-jira merge=blank,header=yes,bold,italic,underline,strike,color"
    "creole pandoc-creole merge=blank,header=no,bold,italic"
)
for entry in "${judged_samples[@]}"; do
    read -r sample engine capabilities <<< "$entry"
    # Formatting and the line break; merged areas with lines round, and without the last row.
    for range in A1:D4 A10:E14 A10:E13; do
        engine_case "$sample" "$engine" "$capabilities" "$range" "Return" <<EOF
$quill | OK | progress | $done_in_time
EOF
    done
    # Every alignment; the markup characters. These cells have no lines: the question on lines.
    for range in A6:F7 A18:F18; do
        engine_case "$sample" "$engine" "$capabilities" "$range" "Return Return" <<EOF
$quill | OK,Cancel | progress | $borders_question
$quill | OK | progress | $done_in_time
EOF
    done
done

# Gridweave's inline style, judged by tools we did not write: headless Chromium computes the style
# of every cell, which must be what the copied cells' facts give (htmljudge.py); then the Nu Html
# Checker reads every table, and the sample workbook's too, as a fragment of an HTML5 document.
export HTMLJUDGE_WORK="$work/htmljudge"
htmljudge() { /usr/bin/python3 "$root/tests/e2e/linux/htmljudge.py" "$@"; }
printf '%b' "[Log]\nTime=OFF\n[Param]\ninline_style_yn=ON\ntable_posh=center\n$every_flag" > "$work/inline.ini"
inline_tables=()
for entry in "A1:D4 Return" "A6:F7 Return Return" "A10:E14 Return" "C1:D2 Return" "D1:D2 Return" "A18:F18 Return Return"; do
    read -r range keys <<< "$entry"
    name="inline-${range/:/-}" dir="$work/inline-${range/:/-}" ok=1
    if [ "$keys" = Return ]; then dialogs="$weave | OK | progress | $done_message"
    else dialogs=$(printf '%s\n%s' "$weave | OK,Cancel | progress | $borders_question" "$weave | OK | progress | $done_message"); fi
    convert_copy "$dir" gridweave "$work/inline.ini" "$book" "$range" "$keys" "$dialogs" || ok=0
    facts grid "$range" > "$dir/grid.json" || { ok=0; echo "    the cells' facts could not be read"; }
    judged "$dir/judged" htmljudge browser "$dir/clipboard" "$dir/grid.json" || ok=0
    inline_tables+=("$dir/clipboard")
    tally "$name" "$ok"
done
ok=1
calc sample "$work/sample-workbook.ods" || { ok=0; echo "    the sample workbook could not be made"; }
convert_copy "$work/inline-sample" gridweave "$work/inline.ini" "$work/sample-workbook.ods" A1:D6 Return \
    "$weave | OK | progress | $done_message" || { ok=0; echo "    the sample workbook's range was not converted"; }
inline_tables+=("$work/inline-sample/clipboard")
[ "$ok" -eq 1 ] && judged "$work/inline-validated" htmljudge validate "${inline_tables[@]}" || ok=0
tally inline-validated "$ok"

# The fast capture (fast_capture_yn) and the direct one (direct_capture_yn) against the per-cell
# reads, on what real Calc holds: the test workbook's ranges, three ranges of 60 x 20 randomly
# formatted cells (Japanese, line breaks, number formats, every formatting, lines of every kind and
# colour, merged areas of random sizes) and the hard cases of the edges workbook (calc.py
# make_edges, on the sheet "My 'Sheet' 1"): a range away from A1 with empty edge rows and columns
# and empty formatted cells on its edges, the same with empty unformatted rows and columns last,
# rich text, every line style but the 3D ones, every underline, strikeout, weight and posture,
# merged areas inside, a range starting inside merged areas. capture-compare reads the copied range
# the three ways and compares the grids field by field.
# A1:T540 of the random workbook (10,800 cells) is read in the office in three requests, with merged
# areas across the border of the second and the third; the direct way, compared with the reads one by one on the smaller
# ranges, stands in for them there.
# M1:P6 differs until the direct way keeps the runs of spaces that Calc writes as they are (no
# text:s) in a cell of several paragraphs or of spans: N3 holds "first", "" and "  third  two   spaces ".
random_book="$work/random-workbook.ods"
calc random "$random_book" 7 || echo "    the random workbook could not be made"
edges_book="$work/edges.ods"
calc edges "$edges_book" || echo "    the edges workbook could not be made"
for entry in "$book A1:F18" "$book A1:D4" "$book A6:F7" "$book A10:E13" "$book A18:F18" \
             "$random_book A1:T60" "$random_book A61:T120" "$random_book A121:T180" \
             "$edges_book B2:H9 edges-offset" "$edges_book B2:L14 edges-empty-last" \
             "$edges_book M1:P6 edges-rich-text" "$edges_book B15:K28 edges-line-styles" \
             "$edges_book B35:T39 edges-fonts" "$edges_book B41:G49 edges-merged" \
             "$edges_book D43:G47 edges-inside-merged" \
             "$random_book A1:T540 large --without-per-cell"; do
    read -r file range label option <<< "$entry"
    name="three-ways-${label:-$(basename "$file" .ods)}-${range/:/-}" ok=1
    copy_cells "$file" "$range" || { ok=0; echo "    the range could not be copied"; }
    [ "$ok" -eq 1 ] && judged "$work/$name.log" env UserInstallation="$profile" "$capture_compare" $option || ok=0
    [ "$ok" -eq 1 ] && sed 's/^/    /' "$work/$name.log"
    # The copy's package of a range that differs, for a look at its content.xml and styles.xml.
    [ "$ok" -eq 1 ] || timeout 20 xclip -selection clipboard -o \
        -t 'application/x-openoffice-embed-source-xml;windows_formatname="Star Embed Source (XML)"' > "$work/$name.zip"
    tally "$name" "$ok"
done

# The 3D lines, which the direct way leaves to the office: the same markup with direct_capture_yn=ON
# as without it.
ok=1
printf '%b' "$html5" > "$work/html5-office.ini"
printf '%b' "${html5}direct_capture_yn=ON\n" > "$work/html5-direct.ini"
for way in office direct; do
    convert_copy "$work/edges-3d-lines-$way" gridweave "$work/html5-$way.ini" "$edges_book" B30:K33 Return \
        "$weave | OK | progress | $done_message" || ok=0
done
grep -qi '<table' "$work/edges-3d-lines-office/clipboard" || { ok=0; echo "    no table from the office"; }
cmp -s "$work/edges-3d-lines-office/clipboard" "$work/edges-3d-lines-direct/clipboard" || {
    ok=0
    diff "$work/edges-3d-lines-office/clipboard" "$work/edges-3d-lines-direct/clipboard" | head -20 | sed 's/^/    /'
}
tally edges-3d-lines-direct-as-office "$ok"

# A Calc copy whose targets a plain program (clipowner.py), not the office, serves, converted with
# no office to be found (UNO_PATH names a folder without one, no PATH): the sample settings with
# direct_capture_yn=ON give the office's markup of the same copy (expected/example-...), and no
# office came up (no process but the program's keeper carries the run's dialog log, no profile).
saved="$work/owned-copy"
/usr/bin/python3 "$root/tests/e2e/linux/calcclip.py" "$pipe" "$book" 0 A1:D4 "$saved" || echo "    the copy was not saved"
offered() { grep -m1 -F "$1" "$saved/targets.txt"; }
for entry in "gridweave html5 $weave" "gridquill pukiwiki $quill"; do
    read -r program preset who <<< "$entry"
    name="plain-owner-no-office-$program" dir="$work/plain-owner-no-office-$program" ok=1
    mkdir -p "$dir" && cp "$build/$program" "$build/grid-clipboard-keeper" "$dir/"
    sed 's/^\[Param\]/&\ndirect_capture_yn=ON/' "$root/examples/$program/$preset/${program^}.ini" > "$dir/${program^}.ini"
    /usr/bin/python3 "$root/tests/e2e/linux/clipowner.py" "text/plain;charset=utf-8" "$saved/text.txt" \
        UTF8_STRING "$saved/text.txt" "$(offered x-openoffice-sylk)" "$saved/sylk.bin" \
        "$(offered embed-source-xml)" "$saved/package.zip" "$(offered x-openoffice-link)" "$saved/link.bin" \
        > "$dir/owner.log" 2>&1 &
    owner=$!
    started+=("$owner")
    for _ in $(seq 100); do grep -qs "owner ready" "$dir/owner.log" && break; sleep 0.05; done
    run_program "$dir" "$program" Return "$who | OK | progress | $done_in_time" UNO_PATH="$work/no-office" \
        PATH=/nonexistent UserInstallation="file://$dir/profile" || ok=0
    cmp -s "$dir/clipboard" "$expected/example-$preset-formatting" || {
        ok=0
        diff "$expected/example-$preset-formatting" "$dir/clipboard" | head -20 | sed 's/^/    /'
    }
    for process in $(grep -lzx "GRID_DIALOG_LOG=$dir/dialogs.log" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3); do
        tr '\0' ' ' < "/proc/$process/cmdline" | grep -q "^$dir/grid-clipboard-keeper" && continue
        ok=0
        echo "    the run started process $process: $(tr '\0' ' ' < "/proc/$process/cmdline")"
        end_process_tree "$process"
    done
    [ ! -e "$dir/profile" ] || { ok=0; echo "    an office made the run's profile"; }
    end_process_tree "$owner"
    tally "$name" "$ok"
done

# The running test office took every later request over: no office of the programs' own is left.
if pgrep -f -- "$programs_office" >/dev/null; then
    echo "    the programs started an office of their own"
    end_started_office
    tally "running office reused" 0
else
    tally "running office reused" 1
fi

# Copies for the Windows programs' direct capture under Wine (tests/e2e/windows/run-direct-e2e.sh):
# each range as Calc offers it, in copies/NAME (calcclip.py, and the Sylk target), with the markup
# and the dialogs of the Linux programs on that copy, the sample settings with direct_capture_yn=ON
# beside them. No office can be started for these runs: a copy not read directly would end in the
# message that Calc could not be started.
save_direct_copy() {  # FILE RANGE KEYS
    local file=$1 range=$2 keys=$3 program dialogs ok=1
    local name; name="$(basename "$file" .ods)-${range/:/-}"
    local copy="$work/copies/$name"
    /usr/bin/python3 "$root/tests/e2e/linux/calcclip.py" "$pipe" "$file" 0 "$range" "$copy" \
        && timeout 5 xclip -selection clipboard -t 'application/x-openoffice-sylk;windows_formatname="Sylk"' -o \
            > "$copy/sylk.bin" || { ok=0; echo "    the copy was not saved"; }
    for program in gridweave gridquill; do
        local dir="$work/direct-$name/$program" caption=${program^} who=$weave
        [ "$program" = gridweave ] || who=$quill
        dialogs="$who | OK | progress | $done_in_time"
        [ "$keys" = Return ] || dialogs=$(printf '%s\n%s' "$who | OK,Cancel | progress | $borders_question" "$dialogs")
        mkdir -p "$dir" && cp "$build/$program" "$build/grid-clipboard-keeper" "$work/copies/$caption.ini" "$dir/"
        # The first program's markup took Calc's place on the clipboard: the same range once more.
        [ "$program" = gridweave ] || copy_cells "$file" "$range" || { ok=0; echo "    the cells were not copied"; }
        run_program "$dir" "$program" "$keys" "$dialogs" UNO_PATH= PATH=/nonexistent || ok=0
        cp "$dir/clipboard" "$copy/expected-$program.txt"
        cp "$dir/dialogs.log" "$copy/expected-$program-dialogs.txt"
    done
    tally "direct-copy-$name" "$ok"
}
mkdir -p "$work/copies"
sed 's/^\[Param\]/&\ndirect_capture_yn=ON/' "$root/examples/gridweave/html5/Gridweave.ini" > "$work/copies/Gridweave.ini"
sed 's/^\[Param\]/&\ndirect_capture_yn=ON/' "$root/examples/gridquill/pukiwiki/Gridquill.ini" > "$work/copies/Gridquill.ini"
for entry in "$book A1:D4 Return" "$book A10:E13 Return" "$book A18:F18 Return Return" "$random_book A1:T60 Return"; do
    read -r file range keys <<< "$entry"
    save_direct_copy "$file" "$range" "$keys"
done

# Runs stopped while they read the cells, on ranges of a document of 100,000 x 10 cells of plain
# text (calc.py plain), where the progress bar says how far the run is (the dialog log writes its
# positions for GRID_PROGRESS_LOG).
# interrupted NAME PROGRAM SETTINGS RANGE AT ACTION KEYS: RANGE copied in Calc and PROGRAM run from
# a fresh folder with the settings file's text SETTINGS, as run_program runs it; once its bar is at
# AT or beyond, ACTION:
#   close   the window manager's close request to the progress window (close_progress_window)
#   escape  Escape on the progress window, after which the cancel message must come within a second
#   kill    the office killed (its soffice.bin, SIGKILL) before the bar is at 90
# then KEYS answer the dialogs in turn, "AutoWrap:KEY" the box captioned "AutoWrap()" that the
# automation layer shows. The program must then end within five seconds, with exit status 0, and
# leave no keeper. Standard input holds the dialogs it must show, as for case_, where a line
# "dialog AutoWrap() | OK | progress | IDispatch::..." stands for that box whatever call it names.
# After a close or Escape the clipboard must hold the copied cells as before, and the office the
# documents it held before (the hidden one closed); after a kill the clipboard must be empty: the
# office that held the copy is gone, and the program put nothing there.
interrupted() {
    local name=$1 program=$2 settings=$3 range=$4 at=$5 action=$6 keys=$7 dialogs
    dialogs=$(cat)
    caption=${program^}
    local dir="$work/$name" ok=1 pid status key office position pressed waited
    mkdir -p "$dir"
    cp "$build/$program" "$build/grid-clipboard-keeper" "$dir/"
    printf '%b' "$settings" > "$dir/${caption}.ini"
    calc plain 100000 10 "$range" || { ok=0; echo "    the cells were not copied"; }
    timeout 20 xclip -selection clipboard -o > "$dir/before" 2>/dev/null
    calc documents > "$dir/documents-before"
    env UserInstallation="$profile" LD_PRELOAD="$dialog_log" GRID_DIALOG_LOG="$dir/dialogs.log" \
        GRID_PROGRESS_LOG="$dir/progress.log" "$dir/$program" > "$dir/output.log" 2>&1 &
    pid=$!
    started+=("$pid")
    if wait_for_progress "$pid" "$dir/progress.log" "$at" 600; then
        case $action in
            close) close_progress_window || { ok=0; echo "    the progress window was not asked to close"; } ;;
            escape)
                press_on_progress Escape || { ok=0; echo "    no progress window"; }
                pressed=$(date +%s%N)
                for _ in $(seq 3000); do
                    grep -qF "$cancelled_message" "$dir/dialogs.log" 2>/dev/null && break
                    sleep 0.02
                done
                waited=$((($(date +%s%N) - pressed) / 1000000))
                [ "$waited" -le 1000 ] || { ok=0; echo "    the cancel message came $waited ms after Escape"; }
                ;;
            kill)
                office=$(pgrep -P "$office_pid" -x soffice.bin)
                position=$(tail -1 "$dir/progress.log")
                kill -KILL $office 2>/dev/null || { ok=0; echo "    no office to kill"; }
                [ "$position" -lt 90 ] || { ok=0; echo "    the bar was at $position when the office was killed"; }
                ;;
        esac
    else
        ok=0
        echo "    the progress bar did not get to $at"
    fi
    for key in $keys; do
        if [ "${key#AutoWrap:}" != "$key" ]; then
            box_title='^AutoWrap\(\)$' answer "${key#AutoWrap:}" 300 || { ok=0; echo "    no AutoWrap() box"; break; }
        else
            answer "$key" 300 || { ok=0; echo "    no dialog to answer with $key"; break; }
        fi
    done
    wait_for_end "$pid" 50 || { ok=0; echo "    the program did not end within five seconds"; }
    wait "$pid" 2>/dev/null
    status=$?
    [ "$status" -eq 0 ] || { ok=0; echo "    the program ended with exit status $status"; }
    sed -E 's/^(dialog AutoWrap\(\) \| OK \| progress \| IDispatch::).*/\1.../' "$dir/dialogs.log" > "$dir/dialogs.seen" 2>/dev/null
    check_dialogs "$dir/dialogs.seen" "$dialogs" || ok=0
    ! pgrep -f "^$dir/grid-clipboard-keeper" >/dev/null || { ok=0; echo "    a keeper was started"; }
    timeout 20 xclip -selection clipboard -o > "$dir/clipboard" 2>/dev/null
    if [ "$action" = kill ]; then
        [ ! -s "$dir/clipboard" ] || { ok=0; echo "    the clipboard is not empty after the office's end"; }
    else
        [ -s "$dir/before" ] && cmp -s "$dir/before" "$dir/clipboard" || {
            ok=0
            echo "    the clipboard does not hold the copied cells after the run"
        }
        calc documents > "$dir/documents-after"
        cmp -s "$dir/documents-before" "$dir/documents-after" || {
            ok=0
            echo "    the office's documents differ after the run:"
            diff "$dir/documents-before" "$dir/documents-after" | sed 's/^/    /'
        }
    fi
    tally "$name" "$ok"
}
# The close box while the cells are read, one by one and in the office: the run is cancelled as by
# the Cancel button.
interrupted close-box-per-cell gridweave "$html5" A1:J200 31 close "Return" <<EOF
$weave | OK | progress | $cancelled_message
EOF
interrupted close-box-fast gridquill "${wiki}fast_capture_yn=ON\n" A1:J5000 30 close "Return" <<EOF
$quill | OK | progress | $cancelled_message
EOF
# Escape as the office reads 100,000 rows: it reads them in blocks, and the cancel is seen after
# the block under way.
interrupted escape-fast-100000-rows gridweave "${html5}fast_capture_yn=ON\n" A1:J100000 30 escape "Return" <<EOF
$weave | OK | progress | $cancelled_message
EOF
# The office killed while the cells are read one by one, last, as no office is left: the automation
# layer's box on the call that failed, then the failure message, and the program ends.
interrupted office-killed gridweave "$html5" A1:J200 31 kill "AutoWrap:Return Return" <<EOF
dialog AutoWrap() | OK | progress | IDispatch::...
$weave | OK | progress | $failed_message
EOF

echo "e2e-calc: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
