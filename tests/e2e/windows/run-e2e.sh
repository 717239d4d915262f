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
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n' | tr a-f A-F; }
utf16hex() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 | tr -d ' \n' | tr a-f A-F; }

# case NAME PROGRAM SETTINGS(- for none, file:PATH for a file of the repository) -- robot put
# arguments... -- robot run options...
# Then the expected output on stdin: the robot's lines (boxes, exit) and the clipboard's dump.
# A line ending in "*" matches any line that starts with what comes before it.
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
    local expected actual
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
    } 2>/dev/null | tr -d '\r' > "$dir/actual.txt"
    actual=$(cat "$dir/actual.txt")
    local ok=1 i=0
    mapfile -t want <<<"$expected"
    mapfile -t got <<<"$actual"
    [ "${#want[@]}" -eq "${#got[@]}" ] || ok=0
    for ((i = 0; ok && i < ${#want[@]}; i++)); do
        if [[ "${want[i]}" == *"*" ]]; then
            [[ "${got[i]}" == "${want[i]%\*}"* ]] || ok=0
        else
            [ "${want[i]}" = "${got[i]}" ] || ok=0
        fi
    done
    if [ "$ok" -eq 1 ]; then
        passed=$((passed + 1))
        echo "e2e: $program $name ok"
    else
        failed=$((failed + 1))
        echo "e2e: $program $name FAILED"
        diff <(echo "$expected") <(echo "$actual") | sed 's/^/    /'
    fi
}

Q2='罫線データが設定されていません。\n全てのセルに罫線を付けて良いですか？'
DONE='データ変換が終了しました。'
CANCELLED='処理はキャンセルされました。'
for program in Gridweave Gridquill; do
    W="box $program for Windows"
    if [ "$program" = Gridweave ]; then
        settings='[Param]\nhtmlversion=4\n'
        wantMarkup='unicode <TABLE BORDER>\n<TR>\n<TD NOWRAP>a</TD>\n<TD NOWRAP>日本</TD>\n</TR>\n</TABLE>'
        wantText='text *'
    else
        settings='[Param]\ncell_sep=|\nfont_bold=B@b\n'
        wantMarkup='unicode |a|日本|\n'
        wantText='text 7C617C93FA967B7C0D0A'
    fi
    # The cells "a" and "日本" as a spreadsheet puts them on the clipboard, in either text format.
    cells="13=$(utf16hex $'a\t日本\r\n')0000"
    cellsText="1=$(hex $'a\t')93FA967B0D0A00"
    original='unicode a\t日本\n'

    case_ text "$program" "$settings" -- "$cells" -- --answer OK <<EOF
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | $DONE\n\n　経過時間 *
exit 0
$wantMarkup
$wantText
EOF

    case_ time-off "$program" "[Log]\nTime=on\n$settings" -- "$cellsText" -- --answer OK <<EOF
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | $DONE
exit 0
$wantMarkup
$wantText
EOF

    case_ cancel "$program" "$settings" -- "$cells" -- --answer Cancel <<EOF
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | $CANCELLED
exit 0
$original
text *
EOF

    case_ no-settings "$program" - -- "$cells" -- --answer Close <<EOF
$W | OK | none | 初期化ファイルがありません。罫線が表示されないかもしれません。
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | $DONE\n\n　経過時間 *
exit 0
unicode *
text *
EOF

    case_ empty "$program" "$settings" -- empty <<EOF
$W | OK | NothingWClass | クリップボードにデータがありません。
exit 0
unicode none
text none
EOF

    for sylk in "ID;PWXL;N;E" "ID;PCALCOOO32"; do
        case_ "sylk-${sylk:3:4}" "$program" "$settings" -- "$cellsText" "4=$(hex "$sylk")" -- <<EOF
$W | OK | NothingWClass | Calcを起動できませんでした。
exit 0
$original
text *
EOF
    done

    case_ held "$program" "$settings" -- "$cells" -- --hold-first 10000 <<EOF
$W | OK | NothingWClass | クリップボードの変換に失敗しました。\nクリップボードを読み込み用に開けません。
exit 0
$original
text *
EOF

    case_ held-for-write "$program" "$settings" -- "$cells" -- --answer OK --hold-at-progress 90,4000 <<EOF
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | クリップボードの変換に失敗しました。\nクリップボードを書き込み用に開けません。
exit 0
$original
text *
EOF

    case_ escape "$program" "$settings" -- "$cells" -- --answer OK --escape-at 1 <<EOF
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | $CANCELLED
exit 0
$original
text *
EOF
done

# The sample wiki settings as the Windows program reads them (ASCII files, quoted values, comment
# lines). Their rewrites of "|" stay commented out: the second byte of ポ (83 7C) must survive.
W="box Gridquill for Windows"
wikiText="1=$(hex $'a|b\t')837C0D0A00"
while IFS=' ' read -r preset markup; do
    case_ "example-$preset" Gridquill "file:examples/gridquill/$preset/Gridquill.ini" -- "$wikiText" -- --answer OK <<EOF
$W | OK,Cancel | NothingWClass | $Q2
$W | OK | NothingWClass | $DONE\n\n　経過時間 *
exit 0
unicode $markup\n
text *
EOF
done <<'PRESETS'
pukiwiki |BGCOLOR(#ffffff):COLOR(#000000):SIZE(10):LEFT:a|b|BGCOLOR(#ffffff):COLOR(#000000):SIZE(10):LEFT:ポ|
dokuwiki |a|b|ポ|
textile |~{background-color:#ffffff;color:#000000;font-size:10pt}<. a|b|~{background-color:#ffffff;color:#000000;font-size:10pt}<. ポ|
PRESETS

echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
