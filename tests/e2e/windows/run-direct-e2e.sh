#!/usr/bin/env bash
# End-to-end tests of the direct capture (direct_capture_yn=ON) of Gridweave.exe and Gridquill.exe
# under Wine, where no office exists, on real copies from Calc: the copies that run-calc-e2e.sh saved
# (build/e2e-calc/copies/NAME: the package, the link, the text and the Sylk data, with the markup
# and the dialogs of the Linux programs on the same copy and settings) are put on the Wine clipboard
# as Calc offers them on Windows, each program runs from a fresh folder with the same settings
# through the robot, and its markup and message boxes must be the Linux program's (a run that went
# on to the office would end in the message that Calc cannot be started). Last, a package
# cut short: the program goes on to Calc without a word, and Calc cannot be started here. Then the
# pages that run-e2e.sh converted on Linux (build/e2e-linux/html-copies), as "HTML Format". Without
# the copies from Calc, only the pages run, and the run fails. Prints one line per case and "e2e-direct: N passed, M
# failed"; exits non-zero on any failure. An argument names another folder of saved copies from Calc.
set -uo pipefail
root="$(cd "$(dirname "$0")/../../.." && pwd)"
build="$root/build/windows"
robot="$build/tests/e2e/windows/robot.exe"
helper="$build/tests/clipboard-helper.exe"
work="$root/build/e2e-direct"
# The copies are taken first: a later run of run-calc-e2e.sh or run-e2e.sh empties its folder.
copies="$work/copies" pages="$work/html-copies"
rm -rf "$work" && mkdir -p "$work"
passed=0
failed=0
if ! cp -r "${1:-$root/build/e2e-calc/copies}" "$copies" 2>/dev/null || ! ls "$copies"/*/package.zip >/dev/null 2>&1; then
    echo "e2e-direct: no saved copies in ${1:-$root/build/e2e-calc/copies} (tests/e2e/linux/run-calc-e2e.sh saves them): only the pages run"
    failed=1
    rm -rf "$copies"
fi
if ! cp -r "$root/build/e2e-linux/html-copies" "$pages" 2>/dev/null || ! ls "$pages"/*/page.html >/dev/null 2>&1; then
    echo "e2e-direct: no saved pages in $root/build/e2e-linux/html-copies (tests/e2e/linux/run-e2e.sh saves them)"
    failed=1
    rm -rf "$pages"
fi
shopt -s nullglob
source "$root/scripts/wine-env"
wine_prefix_ready
source "$root/scripts/display-env"
start_private_display 90 130
trap 'kill "$display_pid" 2>/dev/null; wineserver -k 2>/dev/null' EXIT

winpath() { echo "Z:${1//\//\\}"; }
tally() {  # NAME OK
    if [ "$2" -eq 1 ]; then passed=$((passed + 1)); echo "e2e-direct: $1 ok"
    else failed=$((failed + 1)); echo "e2e-direct: $1 FAILED"; fi
}

# put_copy COPY [PACKAGE]: the copy on the clipboard as Calc offers it on Windows: its text
# (UTF-16, ended by a NUL; Wine makes CF_TEXT of it), the Sylk data, the package and the link.
put_copy() {
    local copy=$1 package=${2:-$1/package.zip}
    { iconv -f UTF-8 -t UTF-16LE "$copy/text.txt"; printf '\0\0'; } > "$work/text.utf16"
    wine "$helper" put "13=$(winpath "$work/text.utf16")" "4=$(winpath "$copy/sylk.bin")" \
        "Star Embed Source (XML)=$(winpath "$package")" "Link=$(winpath "$copy/link.bin")" 2>/dev/null
}

# Without a window manager on the display, Wine waits 2 s for one whenever a managed window goes;
# the programs run here under names of their own (the file's name is all that changes), whose
# windows Wine does not have managed.
for program in Gridweave Gridquill; do
    wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$program-direct.exe\\X11 Driver" /v Managed /d N /f >/dev/null 2>&1
done

# convert PROGRAM DIR INI: PROGRAM run from the fresh folder DIR with the settings INI through the
# robot, which answers every box with OK: its boxes and exit code in DIR/boxes; the clipboard's text
# afterwards (CF_UNICODETEXT, or CF_TEXT for Gridquill) as UTF-8 in DIR/markup.
convert() {
    local program=$1 dir=$2 format=13 encoding=UTF-16LE
    [ "$program" = Gridquill ] && format=1 encoding=CP932
    mkdir -p "$dir" && cp "$build/$program.exe" "$dir/$program-direct.exe" && cp "$3" "$dir/$program.ini"
    wine "$robot" run "$(winpath "$dir/$program-direct.exe")" 2>/dev/null > "$dir/boxes"
    wine "$helper" dump 2>/dev/null | tr -d '\r' | sed -n "s/^$format \\([0-9A-F]*\\)\$/\\1/p" | xxd -r -p \
        | iconv -f "$encoding" -t UTF-8 > "$dir/markup"
}

# Boxes, the Linux dialog log's lines as the robot shows them, the minutes and seconds left out.
boxes() {
    sed -E 's/^dialog (.*) for Linux \| (.*) \| progress \| /box \1 for Windows | \2 | NothingWClass | /;
            s/(　経過時間 )[0-9]+分 [0-9]+秒$/\1N分 N秒/' "$@"
}

for copy in "$copies"/*/; do
    copy=${copy%/}
    name=$(basename "$copy")
    for program in Gridweave Gridquill; do
        dir="$work/$name/$program" ok=1
        put_copy "$copy" || { ok=0; echo "    the copy could not be put on the clipboard"; }
        convert "$program" "$dir" "$copies/$program.ini"
        if ! diff <({ boxes "$copy/expected-${program,}-dialogs.txt"; echo "exit 0"; }) <(boxes "$dir/boxes") \
            > "$dir/boxes.diff"; then
            ok=0
            echo "    the boxes differ from the Linux program's dialogs:"
            sed 's/^/    /' "$dir/boxes.diff"
        fi
        if cmp -s "$copy/text.txt" "$dir/markup"; then
            ok=0
            echo "    the clipboard still holds the copied cells"
        elif ! cmp -s "$copy/expected-${program,}.txt" "$dir/markup"; then
            ok=0
            echo "    the markup differs from the Linux program's ($dir/markup):"
            diff "$copy/expected-${program,}.txt" "$dir/markup" | head -20 | cut -c1-200 | sed 's/^/    /'
        fi
        tally "$program $name" "$ok"
    done
done

# A package that is not understood (cut short): the office's way is taken quietly, and under Wine
# Calc cannot be started; the copied cells stay on the clipboard.
if [ -d "$copies" ]; then
    copy=$(ls -d "$copies"/*/ | head -1)
    copy=${copy%/}
    dir="$work/cut-package/Gridweave" ok=1
    head -c "$(($(stat -c %s "$copy/package.zip") / 2))" "$copy/package.zip" > "$work/cut-package.zip"
    put_copy "$copy" "$work/cut-package.zip" || ok=0
    convert Gridweave "$dir" "$copies/Gridweave.ini"
    printf 'box Gridweave for Windows | OK | NothingWClass | Calcを起動できませんでした。\nexit 0\n' | diff - "$dir/boxes" \
        | sed 's/^/    /' || ok=0
    cmp -s "$copy/text.txt" "$dir/markup" || { ok=0; echo "    the copied cells did not stay on the clipboard"; }
    tally "Gridweave cut-package" "$ok"
fi

# html_format PAGE: Windows' "HTML Format" of the page PAGE (UTF-8): the header, whose offsets count
# bytes from its start (StartHTML and EndHTML around the page, the fragment between the page's first
# StartFragment and last EndFragment comments, or from its first table to the end of its last),
# then the page.
html_format() {
    local page=$1 from to
    if grep -q '<!--StartFragment-->' "$page"; then
        from=$(($(grep -boa '<!--StartFragment-->' "$page" | head -1 | cut -d: -f1) + 20))
        to=$(grep -boa '<!--EndFragment-->' "$page" | tail -1 | cut -d: -f1)
    else
        from=$(grep -boai '<table' "$page" | head -1 | cut -d: -f1)
        to=$(($(grep -boai '</table>' "$page" | tail -1 | cut -d: -f1) + 8))
    fi
    printf 'Version:0.9\r\nStartHTML:%010d\r\nEndHTML:%010d\r\nStartFragment:%010d\r\nEndFragment:%010d\r\n' \
        105 $((105 + $(stat -c %s "$page"))) $((105 + from)) $((105 + to))
    cat "$page"
}

# The pages that the Linux programs converted with direct_capture_yn=ON (html-copies/NAME: the page,
# the text, each program's settings, markup and dialogs), put on the clipboard as a browser does on
# Windows, the page as "HTML Format" beside the text (Excel's own copy, excel-desktop, with its Sylk
# data too): each program with the same settings must give the Linux program's markup and dialogs,
# and no run may go on to the office (the message that Calc cannot be started). Where code page 932
# cannot hold Gridquill's markup, Gridquill says so, as on any copy, and the copied text stays.
for copy in "$pages"/*/; do
    copy=${copy%/} name=$(basename "$copy")
    html_format "$copy/page.html" > "$copy/html-format.bin"
    { iconv -f UTF-8 -t UTF-16LE "$copy/text.txt"; printf '\0\0'; } > "$copy/text.utf16"
    formats=("13=$(winpath "$copy/text.utf16")" "HTML Format=$(winpath "$copy/html-format.bin")")
    if [[ $name == excel-desktop* ]]; then
        printf 'ID;PWXL;N;E\r\nC;Y1;X1;K"%s"\r\nE\r\n' "$name" > "$copy/sylk.bin"
        formats+=("4=$(winpath "$copy/sylk.bin")")
    fi
    for program in Gridweave Gridquill; do
        dir="$work/html-$name/$program" ok=1 expected="$copy/${program,}.out"
        expected_boxes=$(boxes "$copy/${program,}.dialogs")
        if [ "$program" = Gridquill ] && ! iconv -f UTF-8 -t CP932 "$expected" >/dev/null 2>&1; then
            expected="$copy/text.txt" expected_boxes="box Gridquill for Windows | OK | NothingWClass | 変換できない特殊文字があります。"
        fi
        wine "$helper" put "${formats[@]}" 2>/dev/null || { ok=0; echo "    the page could not be put on the clipboard"; }
        convert "$program" "$dir" "$copy/${program,}.ini"
        diff <(echo "$expected_boxes"; echo "exit 0") <(boxes "$dir/boxes") | sed 's/^/    /' || ok=0
        ! grep -q 'Calcを起動できませんでした' "$dir/boxes" || { ok=0; echo "    the run went on to the office"; }
        cmp -s "$expected" "$dir/markup" || {
            ok=0
            echo "    the markup differs from the expected ($dir/markup):"
            diff "$expected" "$dir/markup" | head -20 | cut -c1-200 | sed 's/^/    /'
        }
        tally "$program html-$name" "$ok"
    done
done

echo "e2e-direct: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
