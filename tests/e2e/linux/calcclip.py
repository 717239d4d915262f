#!/usr/bin/python3
# Copies a range in the running private office (as calc.py does) and keeps what Calc then offers on
# the CLIPBOARD selection of the display (DISPLAY, the office's), one file per offer, read with
# xclip. Runs under Debian's python3, which has the uno module.
#   calcclip.py PIPE FILE SHEET RANGE FOLDER
# FILE is opened once; SHEET is a sheet's name, or its index (from 0) when no sheet has that name;
# RANGE is a range name of that sheet (B2:D5, C7, A:B). FOLDER receives:
#   targets.txt  the names of the targets offered, one a line
#   package.zip  the whole document of the copied cells (Star Embed Source (XML), an .ods package)
#   link.bin     the Link target (application, document, sheet and range, each ended by a NUL)
#   sylk.bin     the Sylk target
#   html.html    text/html
#   text.txt     the text (text/plain;charset=utf-8)
# A file is left out when its target is not offered.
import os
import subprocess
import sys

import calc

TARGETS = (
    ("package.zip", "application/x-openoffice-embed-source-xml;"),
    ("link.bin", "application/x-openoffice-link;"),
    ("sylk.bin", "application/x-openoffice-sylk;"),
    ("html.html", "text/html"),
    ("text.txt", "text/plain;charset=utf-8"),
)


def clipboard(target):
    """The bytes of target on the CLIPBOARD selection."""
    return subprocess.run(["xclip", "-selection", "clipboard", "-t", target, "-o"], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=20, check=True).stdout


def copy_sheet_range(context, path, sheet, area):
    document = calc.open_once(context, path)
    sheets = document.Sheets
    target = sheets.getByName(sheet) if sheets.hasByName(sheet) else sheets.getByIndex(int(sheet))
    controller = document.CurrentController
    controller.setActiveSheet(target)
    controller.select(target.getCellRangeByName(area))
    calc.dispatch(context, controller.Frame, ".uno:Copy")


def save_clipboard(folder):
    os.makedirs(folder, exist_ok=True)
    offered = clipboard("TARGETS").decode("utf-8", "replace").splitlines()
    with open(os.path.join(folder, "targets.txt"), "w", encoding="utf-8") as out:
        out.write("".join(name + "\n" for name in offered))
    for file_name, prefix in TARGETS:
        name = next((name for name in offered if name == prefix or name.startswith(prefix) and prefix[-1] == ";"),
                    None)
        if name is not None:
            with open(os.path.join(folder, file_name), "wb") as out:
                out.write(clipboard(name))


def main():
    pipe, path, sheet, area, folder = sys.argv[1:6]
    copy_sheet_range(calc.connect(pipe, attempts=40), os.path.abspath(path), sheet, area)
    save_clipboard(folder)


if __name__ == "__main__":
    main()
