#!/usr/bin/env bash
# End-to-end tests of Gridweave.exe and Gridquill.exe under Wine, on a private virtual display:
# every case copies the program (and its settings file, when the case has one) into a fresh
# folder, puts data on the clipboard, runs the program through the robot, which answers the
# message boxes as a user would, and compares the boxes and the clipboard with what is expected.
# Prints one line per case and "e2e: N passed, M failed"; exits non-zero on any failure.
set -uo pipefail
root="$(cd "$(dirname "$0")/../../.." && pwd)"
build="$root/build/windows"
robot="$build/tests/e2e/windows/robot.exe"
work="$root/build/e2e"
source "$root/scripts/wine-env"
wine_prefix_ready

# A display of our own, ended by its process id when the tests are done.
source "$root/scripts/display-env"
start_private_display 90 130
trap 'kill "$display_pid" 2>/dev/null; wineserver -k 2>/dev/null' EXIT

passed=0
failed=0
winpath() { echo "Z:${1//\//\\}"; }
bytes() { od -An -tx1 | tr -d ' \n' | tr a-f A-F; }
hex() { printf '%s' "$1" | bytes; }
utf16hex() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | bytes; }

# clipboard_of TEXT [FORMAT=HEX...]: the robot's dump of a clipboard holding TEXT (escapes such as
# \t, \r and \n written out) in a text format, and the other formats given. Wine makes the other
# text formats from the one put (ANSI and OEM text are both code page 932 here) and adds the
# locale, 0x0411 (Japanese). Each text ends with its terminator.
clipboard_of() {
    local ansi unicode item
    ansi=$(printf '%b' "$1" | iconv -f UTF-8 -t CP932 | bytes)
    unicode=$(printf '%b' "$1" | iconv -f UTF-8 -t UTF-16LE | bytes)
    shift
    {
        echo "clipboard 1 ${ansi}00"
        echo "clipboard 7 ${ansi}00"
        echo "clipboard 13 ${unicode}0000"
        echo "clipboard 16 11040000"
        for item in "$@"; do echo "clipboard ${item%%=*} ${item#*=}"; done
    } | sort -k2,2n
}

# matches EXPECTED ACTUAL: the lines are equal, where "{N}" in EXPECTED stands for one or two digits.
matches() {
    local want=$1 got=$2 pattern
    [[ "$want" == *"{N}"* ]] || { [ "$want" = "$got" ]; return; }
    pattern=$(printf '%s' "$want" | sed 's/[][\.*^$()+?|{}/]/\\&/g; s/\\{N\\}/[0-9]{1,2}/g')
    [[ "$got" =~ ^${pattern}$ ]]
}

# case NAME PROGRAM SETTINGS(- for none, file:PATH for a file of the repository) -- robot put
# arguments... -- robot run options...
# Then the expected output on stdin: the robot's lines (boxes, exit) and the clipboard's dump,
# every format on it with its bytes. Lines compare whole, CRs included; only "{N}" (see matches)
# stands for something.
case_() {
    local name=$1 program=$2 settings=$3
    shift 3
    local put=() options=()
    [ "$1" = "--" ] && shift
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do put+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    options=("$@")
    local dir="$work/$program-$name"
    rm -rf "$dir" && mkdir -p "$dir"
    cp "$build/$program.exe" "$dir/"
    case "$settings" in
        -) ;;
        file:*) cp "$root/${settings#file:}" "$dir/$program.ini" ;;
        *) printf '%b' "$settings" > "$dir/$program.ini" ;;
    esac
    local expected
    expected=$(cat)
    {
        if [ "${put[0]:-}" = "empty" ]; then wine "$robot" empty; else wine "$robot" put "${put[@]}"; fi
        local holder=""
        if [ "${options[0]:-}" = "--hold-first" ]; then
            wine "$robot" hold "${options[1]}" & holder=$!
            options=("${options[@]:2}")
            sleep 1
        fi
        wine "$robot" run "$(winpath "$dir/$program.exe")" "${options[@]}"
        [ -n "$holder" ] && wait "$holder"
        wine "$robot" dump
    } 2>/dev/null > "$dir/actual.txt"
    local i=0 report="" came
    mapfile -t want <<<"$expected"
    mapfile -t got <"$dir/actual.txt"
    # Every line that differs, with what was expected and what came, a stray CR shown as <CR>.
    for ((i = 0; i < ${#want[@]} || i < ${#got[@]}; i++)); do
        [ "$i" -lt "${#want[@]}" ] && [ "$i" -lt "${#got[@]}" ] && matches "${want[i]}" "${got[i]}" && continue
        came=${got[i]-(no line)}
        report+="    line $((i + 1)) expected: ${want[i]-(no line)}"$'\n'"    line $((i + 1)) came:     ${came//$'\r'/<CR>}"$'\n'
    done
    if [ -z "$report" ]; then
        passed=$((passed + 1))
        echo "e2e: $program $name ok"
    else
        failed=$((failed + 1))
        echo "e2e: $program $name FAILED ($dir/actual.txt)"
        printf '%s' "$report"
    fi
}

Q2='罫線データが設定されていません。\n全てのセルに罫線を付けて良いですか？'
DONE='データ変換が終了しました。'
TIMED="$DONE\n\n　経過時間 0分 {N}秒"
CANCELLED='処理はキャンセルされました。'
for program in Gridweave Gridquill; do
    W="box $program for Windows"
    # The markup of the cells "a" and "日本" (in one row) with the case's settings, and with none:
    # Gridweave's legacy table, or its HTML5 table and style element with every flag off (one cell
    # class for both cells); Gridquill's cells between the separators, or run together.
    if [ "$program" = Gridweave ]; then
        settings='[Param]\nhtmlversion=4\n'
        markup='<TABLE BORDER>\r\n<TR>\r\n<TD NOWRAP>a</TD>\r\n<TD NOWRAP>日本</TD>\r\n</TR>\r\n</TABLE>'
        markupWithout='<TABLE>\r\n<TR>\r\n<TD NOWRAP>a</TD>\r\n<TD NOWRAP>日本</TD>\r\n</TR>\r\n</TABLE>\r\n\r\n\r\n'
        markupWithout+='<style type="text/css">\r\n<!--\r\ntd.gweaveC0 {}\r\n-->\r\n</style>\r\n'
    else
        settings='[Param]\ncell_sep=|\nfont_bold=B@b\n'
        markup='|a|日本|\r\n'
        markupWithout='a日本\r\n'
    fi
    converted=$(clipboard_of "$markup")
    # The cells as a spreadsheet puts them on the clipboard, in either text format; the clipboard
    # as the case put it is what a run that converts nothing must leave.
    cells="13=$(utf16hex $'a\t日本\r\n')0000"
    cellsText="1=$(hex $'a\t')93FA967B0D0A00"
    original=$(clipboard_of 'a\t日本\r\n')

    case_ text "$program" "$settings" -- "$cells" -- --answer OK <<EOF
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | $TIMED
exit 0
$converted
EOF

    case_ time-off "$program" "[Log]\nTime=on\n$settings" -- "$cellsText" -- --answer OK <<EOF
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | $DONE
exit 0
$converted
EOF

    case_ cancel "$program" "$settings" -- "$cells" -- --answer Cancel <<EOF
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | $CANCELLED
exit 0
$original
EOF

    case_ no-settings "$program" - -- "$cells" -- --answer Close <<EOF
$W | OK | none | 初期化ファイルがありません。罫線が表示されないかもしれません。
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | $TIMED
exit 0
$(clipboard_of "$markupWithout")
EOF

    case_ empty "$program" "$settings" -- empty <<EOF
$W | OK | NothingWClass | クリップボードにデータがありません。
exit 0
clipboard empty
EOF

    for sylk in "ID;PWXL;N;E" "ID;PCALCOOO32"; do
        case_ "sylk-${sylk:3:4}" "$program" "$settings" -- "$cellsText" "4=$(hex "$sylk")" -- <<EOF
$W | OK | NothingWClass | Calcを起動できませんでした。
exit 0
$(clipboard_of 'a\t日本\r\n' "4=$(hex "$sylk")")
EOF
    done

    case_ held "$program" "$settings" -- "$cells" -- --hold-first 10000 <<EOF
$W | OK | NothingWClass | クリップボードの変換に失敗しました。\nクリップボードを読み込み用に開けません。
exit 0
$original
EOF

    case_ held-for-write "$program" "$settings" -- "$cells" -- --answer OK --hold-at-progress 90,4000 <<EOF
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | クリップボードの変換に失敗しました。\nクリップボードを書き込み用に開けません。
exit 0
$original
EOF

    case_ escape "$program" "$settings" -- "$cells" -- --answer OK --escape-at 1 <<EOF
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | $CANCELLED
exit 0
$original
EOF
done

# The sample wiki settings as the Windows program reads them (ASCII files, quoted values, comment
# lines): a cell holding "|" and one holding ポ and the minus sign (83 7C and 81 7C in code page
# 932, both ending in the byte of "|"; Windows reads 81 7C as the full-width hyphen-minus), and one
# holding ヘベミソ (83 77, 83 78, 83 7E, 83 5C: ending in the bytes of "w", "x", "~" and "\", which
# samples rewrite or escape). The rewrites and escapes must leave every character whole,
# and the markup must be what the Linux program, whose text is UTF-8, writes for the same cells.
W="box Gridquill for Windows"
wikiText="1=$(hex $'a|b\t')837C817C0983778378837E835C0D0A00"
mkdir -p "$work"
printf 'a|b\tポ－\tヘベミソ\r\n' > "$work/wiki-cells.txt"
for sample in "$root"/examples/gridquill/*/Gridquill.ini; do
    preset=$(basename "$(dirname "$sample")")
    # clipboard_of reads escapes (printf %b): the markup's own backslashes are doubled.
    markup=$("$root/build/linux/tools/render-grid" --program gridquill --ini "$sample" --text "$work/wiki-cells.txt" \
        2>/dev/null | sed 's/\\/\\\\/g')
    case_ "example-$preset" Gridquill "file:examples/gridquill/$preset/Gridquill.ini" -- "$wikiText" -- --answer OK <<EOF
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | $TIMED
exit 0
$(clipboard_of "$markup\n")
EOF
done

echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
