#!/usr/bin/env bash
# Packaging tests, from the finished builds build/linux and build/windows: both are installed into
# folders under build/packaging (the Linux one with DESTDIR and the prefix /usr), CPack makes the
# ZIP of the Windows programs and the Debian package of the Linux ones, and the checks look at
# what they hold: the files in their places, the .desktop entries, the libraries of the installed
# programs, the package's fields and dependencies, and the package unpacked into a root of its
# own. Prints one line per check and "packaging: N passed, M failed"; exits non-zero on any
# failure.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$root/build/packaging"
rm -rf "$work" && mkdir -p "$work"

passed=0
failed=0
# check NAME COMMAND...: passes when the command succeeds; its output is shown when it fails.
check() {
    local name=$1
    shift
    if "$@" >"$work/check.log" 2>&1; then
        passed=$((passed + 1))
        echo "packaging: $name ok"
    else
        failed=$((failed + 1))
        echo "packaging: $name FAILED"
        sed 's/^/    /' "$work/check.log"
    fi
}

# present DIR PATH...: every path exists under DIR.
present() {
    local dir=$1 path ok=0
    shift
    for path in "$@"; do
        [ -e "$dir/$path" ] || { echo "missing: $path"; ok=1; }
    done
    return $ok
}

# The files of examples/, as the install trees and the packages must hold them.
mapfile -t examples < <(cd "$root" && find examples -type f | sort)
[ ${#examples[@]} -gt 0 ] || echo "packaging: examples/ holds no files"

# The documentation shipped beside the README: both languages, the licence, docs/ with its pictures.
mapfile -t documents < <(cd "$root" && { printf '%s\n' README.md README.ja.md LICENSE; find docs -type f; } | sort)
linux_files=(usr/bin/gridweave usr/bin/gridquill usr/bin/grid-clipboard-keeper
    usr/share/applications/gridweave.desktop usr/share/applications/gridquill.desktop
    usr/share/icons/hicolor/scalable/apps/gridweave.svg usr/share/icons/hicolor/scalable/apps/gridquill.svg
    usr/share/icons/hicolor/48x48/apps/gridweave.png usr/share/icons/hicolor/48x48/apps/gridquill.png
    usr/share/gridweave/Gridweave.ini usr/share/gridquill/Gridquill.ini usr/share/doc/gridweave/copyright
    "${documents[@]/#/usr/share/doc/gridweave/}" "${examples[@]/#/usr/share/doc/gridweave/}")
programs=(gridweave gridquill grid-clipboard-keeper)

# executables DIR: the three programs are executable files.
executables() {
    local program ok=0
    for program in "${programs[@]}"; do
        [ -f "$1/usr/bin/$program" ] && [ -x "$1/usr/bin/$program" ] || { echo "not executable: $program"; ok=1; }
    done
    return $ok
}

# desktop_entries DIR: both entries pass desktop-file-validate, start a program installed beside
# them by its name, without a terminal, and name an installed icon.
desktop_entries() {
    local dir=$1 name entry exec icon ok=0
    for name in gridweave gridquill; do
        entry="$dir/usr/share/applications/$name.desktop"
        desktop-file-validate "$entry" || ok=1
        exec=$(sed -n 's/^Exec=//p' "$entry")
        icon=$(sed -n 's/^Icon=//p' "$entry")
        [ -x "$dir/usr/bin/${exec%% *}" ] || { echo "$name: Exec=$exec is not installed"; ok=1; }
        [ -f "$dir/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || { echo "$name: no icon $icon"; ok=1; }
        grep -qx 'Terminal=false' "$entry" || { echo "$name: not Terminal=false"; ok=1; }
        grep -qx 'Categories=Office;Utility;' "$entry" || { echo "$name: other categories"; ok=1; }
    done
    return $ok
}

# libraries DIR: ldd finds every library of the installed programs, the UNO ones through the run
# path to LibreOffice's program directory.
libraries() {
    local program ok=0
    for program in "${programs[@]}"; do
        ldd "$1/usr/bin/$program" | grep 'not found' && { echo "$program: libraries not found"; ok=1; }
    done
    for program in gridweave gridquill; do
        objdump -p "$1/usr/bin/$program" | grep -E '^ +RUNPATH +/usr/lib/libreoffice/program$' \
            || { echo "$program: run path"; objdump -p "$1/usr/bin/$program" | grep -E 'R(UN)?PATH'; ok=1; }
    done
    return $ok
}

icon_png() {
    local name ok=0
    for name in gridweave gridquill; do
        file "$1/usr/share/icons/hicolor/48x48/apps/$name.png" | grep -q 'PNG image data, 48 x 48' || ok=1
    done
    return $ok
}

# links_resolve DIR: every relative link and picture of the Markdown files shipped in DIR leads to
# a file shipped there.
links_resolve() {
    local dir=$1 file target ok=0
    while read -r file; do
        while read -r target; do
            target=${target%%#*}
            [ -z "$target" ] || [ -e "$(dirname "$dir/$file")/$target" ] || { echo "$file: $target not shipped"; ok=1; }
        done < <(grep -oE '\]\([^)[:space:]]+\)' "$dir/$file" | sed 's/^](//; s/)$//' | grep -vE '^[a-z]+:')
    done < <(cd "$dir" && find . -name '*.md' ! -path './examples/*' | sed 's|^\./||')
    return $ok
}

# package_defaults DIR: the package's default settings are the HTML5 and PukiWiki samples, and the
# copyright file names the MIT (Expat) licence of LICENSE.
package_defaults() {
    cmp "$root/examples/gridweave/html5/Gridweave.ini" "$1/usr/share/gridweave/Gridweave.ini" &&
        cmp "$root/examples/gridquill/pukiwiki/Gridquill.ini" "$1/usr/share/gridquill/Gridquill.ini" &&
        grep -qx 'License: Expat' "$1/usr/share/doc/gridweave/copyright" &&
        grep -q 'Permission is hereby granted' "$1/usr/share/doc/gridweave/copyright" &&
        cmp "$root/LICENSE" "$1/usr/share/doc/gridweave/LICENSE"
}

# fresh_user_converts DIR: the unpacked programs, started by a user with no settings file of their
# own, convert copied text with the package's defaults at once: no message about a missing file,
# the borders question answered OK, and the markup the sample makes of the text.
fresh_user_converts() {
    local dir=$1 home="$work/fresh-home" program ok=0
    local text=$'Fruit\tPrice\nApple\t120'
    (
        source "$root/scripts/display-env"
        source "$root/tests/e2e/linux/dialogs.sh"
        start_private_display 520 560 || { echo "no free display"; exit 1; }
        trap 'kill "$display_pid" 2>/dev/null; wait "$display_pid" 2>/dev/null' EXIT
        for program in gridweave gridquill; do
            caption=${program^}
            rm -rf "$home" && mkdir -p "$home"
            printf '%s' "$text" | xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
            copier=$!
            sleep 0.3
            env -u XDG_CONFIG_HOME HOME="$home" "$dir/usr/bin/$program" >"$work/$program.out" 2>&1 &
            pid=$!
            wait_for_dialog || { echo "$program: no question"; ok=1; }
            answer Return || { echo "$program: the question was not answered"; ok=1; }
            answer Return || { echo "$program: no closing message"; ok=1; }
            wait_for_end "$pid" || { echo "$program: did not end"; ok=1; }
            printf '%s' "$text" > "$work/text"
            "$root/build/linux/tools/render-grid" --program "$program" \
                --ini "$dir/usr/share/$program/$caption.ini" --text "$work/text" > "$work/$program.expected" 2>/dev/null
            timeout 5 xclip -selection clipboard -o > "$work/$program.got" 2>/dev/null
            cmp "$work/$program.expected" "$work/$program.got" || { echo "$program: other markup"; diff "$work/$program.expected" "$work/$program.got"; ok=1; }
            kill "$copier" 2>/dev/null
        done
        exit $ok
    )
}

# command_line DIR: --version and --help answer on standard output without a conversion; without a
# display the programs say so on standard error and fail.
command_line() {
    local program ok=0 out
    for program in gridweave gridquill; do
        out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$1/usr/bin/$program" --version) && [ "$out" = "$program $(field Version)" ] ||
            { echo "$program --version: $out"; ok=1; }
        env -u DISPLAY -u WAYLAND_DISPLAY "$1/usr/bin/$program" --help | grep -q "^Usage: $program " ||
            { echo "$program --help"; ok=1; }
        out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$1/usr/bin/$program" 2>&1 >/dev/null) &&
            { echo "$program: succeeded without a display"; ok=1; }
        grep -q "^$program: cannot open the display" <<<"$out" || { echo "$program without a display: $out"; ok=1; }
    done
    return $ok
}

# cpack_in BUILD GENERATOR FOLDER: CPack run in the build tree, the package made in FOLDER.
cpack_in() { (cd "$1" && cpack -G "$2" -B "$3"); }

# --- the Linux install tree
linux_root="$work/linux-root"
check "linux: cmake --install" env DESTDIR="$linux_root" cmake --install "$root/build/linux" --prefix /usr
check "linux: installed files" present "$linux_root" "${linux_files[@]}"
check "linux: programs executable, keeper beside them" executables "$linux_root"
check "linux: examples as in the source" diff -r "$root/examples" "$linux_root/usr/share/doc/gridweave/examples"
check "linux: the package's defaults are the HTML5 and PukiWiki samples; the licence" package_defaults "$linux_root"
check "linux: the shipped documents' links and pictures are shipped" links_resolve "$linux_root/usr/share/doc/gridweave"
check "linux: desktop entries" desktop_entries "$linux_root"
check "linux: 48 x 48 icons" icon_png "$linux_root"
check "linux: installed programs find their libraries" libraries "$linux_root"

# --- the Windows install tree and the ZIP
windows_root="$work/windows-root"
check "windows: cmake --install" cmake --install "$root/build/windows" --prefix "$windows_root"
check "windows: installed files" present "$windows_root" Gridweave.exe Gridquill.exe Gridweave.ini Gridquill.ini \
    "${documents[@]}" "${examples[@]}"
check "windows: the shipped documents' links and pictures are shipped" links_resolve "$windows_root"
check "windows: examples as in the source" diff -r "$root/examples" "$windows_root/examples"
# Unzipped and started, each program finds a settings file beside it: the HTML5 and PukiWiki samples.
ready_settings() {
    cmp "$root/examples/gridweave/html5/Gridweave.ini" "$windows_root/Gridweave.ini" &&
        cmp "$root/examples/gridquill/pukiwiki/Gridquill.ini" "$windows_root/Gridquill.ini"
}
check "windows: the settings files beside the programs are the HTML5 and PukiWiki samples" ready_settings
# Each program carries its own writer alone: no wiki key in Gridweave, no HTML class in Gridquill.
own_writer_only() {
    local ok=0 weave quill
    # Read whole first: a grep that stops at its first match would fail the pipeline.
    weave=$(strings "$windows_root/Gridweave.exe"; strings -el "$windows_root/Gridweave.exe")
    quill=$(strings "$windows_root/Gridquill.exe"; strings -el "$windows_root/Gridquill.exe")
    grep -q 'cell_mrgh' <<<"$weave" && { echo "Gridweave.exe holds the wiki keys"; ok=1; }
    grep -q 'gweave' <<<"$quill" && { echo "Gridquill.exe holds the HTML classes"; ok=1; }
    grep -q 'cell_mrgh' <<<"$quill" || { echo "Gridquill.exe lacks its keys"; ok=1; }
    grep -q 'gweave' <<<"$weave" || { echo "Gridweave.exe lacks its classes"; ok=1; }
    return $ok
}
check "windows: each program holds its own writer alone" own_writer_only
check "windows: cpack -G ZIP" cpack_in "$root/build/windows" ZIP "$work/zip"
zip=$(ls "$work"/zip/Gridweave-*-win64.zip 2>/dev/null | head -1)
# Everything is in one folder of the ZIP's name.
zip_holds() {
    local listing path top ok=0
    listing=$(cmake -E tar tf "$zip") || return 1
    top=$(basename "$zip" .zip)
    for path in Gridweave.exe Gridquill.exe Gridweave.ini Gridquill.ini "${documents[@]}" "${examples[@]}"; do
        grep -qx "$top/$path" <<<"$listing" || { echo "not in the ZIP: $path"; ok=1; }
    done
    return $ok
}
check "windows: the ZIP holds both programs with their settings files, the documents and examples/" zip_holds

# --- the Debian package
check "linux: cpack -G DEB" cpack_in "$root/build/linux" DEB "$work/deb"
deb=$(ls "$work"/deb/gridweave_*.deb 2>/dev/null | head -1)
field() { dpkg-deb -f "$deb" "$1"; }
# The names in a field, without versions.
names() { field "$1" | tr ',' '\n' | sed 's/(.*)//; s/ //g' | grep .; }

fields() {
    local ok=0
    [ "$(field Package)" = gridweave ] || { echo "Package: $(field Package)"; ok=1; }
    [ "$(field Section)" = utils ] || { echo "Section: $(field Section)"; ok=1; }
    [ -n "$(field Maintainer)" ] || { echo "no Maintainer"; ok=1; }
    [ "$(field Description | wc -l)" -gt 1 ] || { echo "no long Description"; ok=1; }
    return $ok
}
check "deb: package, section, maintainer, description" fields

# Every library the built programs link, mapped to its Debian package, is in Depends; so is ure,
# LibreOffice's UNO runtime; libreoffice-calc is recommended.
depends_libraries() {
    local depends program library path package ok=0
    depends=$(names Depends)
    echo "Depends: $(field Depends)"
    for program in "${programs[@]}"; do
        for library in $(objdump -p "$root/build/linux/$program" | awk '$1 == "NEEDED" { print $2 }'); do
            path=$(ldd "$root/build/linux/$program" | awk -v l="$library" '$1 == l { print $3 }')
            package=$(dpkg -S "$path" 2>/dev/null | head -1 | cut -d: -f1)
            [ -n "$package" ] || package=$(dpkg -S "$(readlink -f "$path")" | head -1 | cut -d: -f1)
            grep -qx "$package" <<<"$depends" || { echo "$program: $library ($package) not in Depends"; ok=1; }
        done
    done
    grep -qx ure <<<"$depends" || { echo "ure not in Depends"; ok=1; }
    names Recommends | grep -qx libreoffice-calc || { echo "libreoffice-calc not recommended"; ok=1; }
    return $ok
}
check "deb: Depends holds the packages of the linked libraries, and ure" depends_libraries

# Every dependency is installed here, in a version it allows.
depends_installed() {
    local dependency name op version installed ok=0
    while read -r dependency; do
        name=${dependency%% *}
        installed=$(dpkg-query -W -f='${Version}' "$name" 2>/dev/null | head -1)
        [ -n "$installed" ] || { echo "not installed: $name"; ok=1; continue; }
        if [[ $dependency =~ \((\>=|\<=|\>\>|\<\<|=)\ ([^\)]+)\) ]]; then
            op=${BASH_REMATCH[1]} version=${BASH_REMATCH[2]}
            case $op in '>=') op=ge ;; '<=') op=le ;; '>>') op=gt ;; '<<') op=lt ;; '=') op=eq ;; esac
            dpkg --compare-versions "$installed" "$op" "$version" || { echo "$name $installed: not $dependency"; ok=1; }
        fi
    done < <(field Depends | tr ',' '\n' | sed 's/^ *//')
    return $ok
}
check "deb: its dependencies are installed here" depends_installed

# dpkg-deb -c lists the same files as the install tree.
same_files() {
    diff <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | sort) \
         <(cd "$linux_root" && find . ! -type d | sed 's|^\./||' | sort)
}
check "deb: dpkg-deb -c lists the installed files" same_files

# The package unpacked into a root of its own.
deb_root="$work/deb-root"
check "deb: dpkg -x" dpkg -x "$deb" "$deb_root"
check "deb: unpacked files" present "$deb_root" "${linux_files[@]}"
check "deb: unpacked desktop entries" desktop_entries "$deb_root"
check "deb: unpacked programs find their libraries" libraries "$deb_root"
check "deb: --version, --help, and no display" command_line "$deb_root"
check "deb: a user without settings of their own converts with the package's defaults" fresh_user_converts "$deb_root"

# Installed with dpkg into an empty root (without its dependencies there), listed, and removed
# without a file left behind.
dpkg_root="$work/dpkg-root"
dpkg_round_trip() {
    local dpkg=(dpkg --root="$dpkg_root" --force-depends --force-script-chrootless) left
    mkdir -p "$dpkg_root/var/lib/dpkg/info" "$dpkg_root/var/lib/dpkg/updates"
    touch "$dpkg_root/var/lib/dpkg/status" "$dpkg_root/var/lib/dpkg/available"
    "${dpkg[@]}" -i "$deb" || return 1
    "${dpkg[@]}" -s gridweave | grep -qx 'Status: install ok installed' || { echo "not installed"; return 1; }
    "${dpkg[@]}" -L gridweave | grep -qx /usr/bin/gridweave || { echo "dpkg -L lacks /usr/bin/gridweave"; return 1; }
    present "$dpkg_root" "${linux_files[@]}" || return 1
    "${dpkg[@]}" -r gridweave || return 1
    left=$(find "$dpkg_root" -path "$dpkg_root/var" -prune -o ! -type d -print)
    [ -z "$left" ] || { echo "left after removal: $left"; return 1; }
}
if [ "$(id -u)" -eq 0 ]; then
    check "deb: dpkg --root installs and removes it" dpkg_round_trip
else
    echo "packaging: deb: dpkg --root skipped (needs root)"
fi

echo "packaging: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
