#!/usr/bin/env bash
# The peak memory of the real Linux programs on three large plain-text pastes, offered by xclip on
# a private virtual display and measured with /usr/bin/time -v: 20,000,000 characters on one line,
# 20,000,000 spaces (each one "&nbsp;" in HTML) and 5,000 rows of 100 cells. Gridweave uses the
# HTML5 sample settings, Gridquill the PukiWiki one. Prints each figure beside the one measured the
# same way before the program's copies were cut and, for Gridweave, beside its bound: 4 x (input +
# output, in UTF-16) plus the grid's cell records. A run fails when the conversion does not
# complete or Gridweave goes over its bound. Ends with "large-paste-programs: N passed, M failed".
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/linux"
work="$root/build/large-paste-programs"
rm -rf "$work" && mkdir -p "$work"

source "$root/scripts/display-env"
start_private_display 250 290
started=()
cleanup() {
    for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
    kill "$display_pid" 2>/dev/null  # the keepers the programs left are its clients and end with it
    wait "$display_pid" 2>/dev/null
}
trap cleanup EXIT
source "$root/tests/e2e/linux/dialogs.sh"

head -c 20000000 /dev/zero | tr '\0' x > "$work/one-line.txt"
head -c 20000000 /dev/zero | tr '\0' ' ' > "$work/spaces.txt"
awk 'BEGIN { for (r = 0; r < 5000; ++r) { for (c = 0; c < 100; ++c) printf "%sr%04dc%02d", (c ? "\t" : ""), r, c; printf "\n" } }' \
    > "$work/cells.txt"

passed=0
failed=0
mb() { echo $(($1 / 1000000)); }

# measure PROGRAM INPUT CELLS BEFORE-MB: one conversion of the file's text.
measure() {
    local program=$1 input=$2 cells=$3 before=$4
    caption=${program^}
    local dir="$work/$program-$input"
    mkdir -p "$dir"
    cp "$build/$program" "$build/grid-clipboard-keeper" "$dir/"
    case $program in
        gridweave) cp "$root/examples/gridweave/html5/Gridweave.ini" "$dir/" ;;
        gridquill) cp "$root/examples/gridquill/pukiwiki/Gridquill.ini" "$dir/" ;;
    esac
    xclip -quiet -selection clipboard -i < "$work/$input.txt" >/dev/null 2>&1 &
    local owner=$!
    started+=("$owner")
    sleep 0.5
    /usr/bin/time -v "$dir/$program" 2> "$dir/time.txt" &
    local pid=$!
    started+=("$pid")
    local ok=1
    answer Return 600 && answer Return 600 || ok=0
    wait_for_end "$pid" 600 || ok=0
    wait "$pid" 2>/dev/null
    kill "$owner" 2>/dev/null
    local peak output inputBytes unit records bound
    peak=$(($(sed -n 's/.*Maximum resident set size (kbytes): //p' "$dir/time.txt") * 1024))
    output=$(timeout 60 xclip -selection clipboard -o | wc -c)
    inputBytes=$(wc -c < "$work/$input.txt")
    [ "$output" -gt "$inputBytes" ] || ok=0
    local line="$program, $input: input $(mb "$inputBytes") MB, markup $(mb "$output") MB, peak $(mb "$peak") MB"
    if [ "$program" = gridweave ]; then
        unit=2 records=$((cells * 120))  # UTF-16; a cell record is 120 bytes here
        bound=$((4 * unit * (inputBytes + output) + records))
        line+=" (bound $(mb "$bound") MB)"
        [ "$peak" -le "$bound" ] || ok=0
    fi
    line+=", before $before MB"
    if [ "$ok" -eq 1 ]; then
        passed=$((passed + 1))
        echo "large-paste-programs: $line ok"
    else
        failed=$((failed + 1))
        echo "large-paste-programs: $line FAILED"
    fi
}

# The last figures: the peak of the programs of 2026-12-08 before their copies were cut, measured
# by this script.
measure gridweave one-line 1 517
measure gridweave spaces 1 1767
measure gridweave cells 500000 712
measure gridquill one-line 1 230
measure gridquill spaces 1 230
measure gridquill cells 500000 256

echo "large-paste-programs: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
