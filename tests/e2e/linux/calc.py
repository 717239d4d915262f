#!/usr/bin/python3
# Drives the private LibreOffice of the end-to-end tests as a user would: makes the test workbook
# and copies ranges of it to the clipboard. Runs under Debian's python3, which has the uno module.
#   calc.py PIPE wait                  until the office accepts on the pipe
#   calc.py PIPE workbook FILE         writes the test workbook to FILE (.ods)
#   calc.py PIPE sample FILE           writes the sample workbook of the demo to FILE (.ods)
#   calc.py PIPE copy FILE RANGE       opens FILE (once), selects RANGE and copies it
#   calc.py PIPE quit                  ends the office
import sys
import time

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.table import BorderLine2
from com.sun.star.table import CellVertJustify2
from com.sun.star.table.BorderLineStyle import DOUBLE, SOLID
from com.sun.star.awt.FontWeight import BOLD
from com.sun.star.awt.FontSlant import ITALIC
from com.sun.star.awt.FontUnderline import SINGLE
from com.sun.star.awt.FontStrikeout import SINGLE as STRIKE


def connect(pipe, attempts=1):
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
    for attempt in range(attempts):
        try:
            return resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
        except Exception:
            if attempt == attempts - 1:
                raise
            time.sleep(0.25)


def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


def desktop_of(context):
    return context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)


def line(width, colour=0, style=SOLID):
    border = BorderLine2()
    border.LineStyle = style
    border.Color = colour
    if style == DOUBLE:
        border.LineWidth = 53  # inner, gap and outer line
    else:
        border.LineWidth = width
        border.OuterLineWidth = width
    return border


def all_sides(cell, border):
    for side in ("LeftBorder", "RightBorder", "TopBorder", "BottomBorder"):
        setattr(cell, side, border)


def hori_justify(name):
    """The horizontal alignment of that name (STANDARD, LEFT, CENTER, RIGHT, BLOCK, REPEAT)."""
    return uno.Enum("com.sun.star.table.CellHoriJustify", name)


def new_hidden_sheet(context):
    document = desktop_of(context).loadComponentFromURL("private:factory/scalc", "_blank", 0, (prop("Hidden", True),))
    return document, document.Sheets.getByIndex(0)


def store_and_close(document, path):
    document.storeToURL(uno.systemPathToFileUrl(path), (prop("FilterName", "calc8"),))
    document.close(True)


def make_workbook(context, path):
    document, sheet = new_hidden_sheet(context)
    cell = sheet.getCellRangeByName

    # A1:D4 texts, sizes and type faces, the Japanese text and the line break.
    texts = [["Name", "日本語", "Size 14", "Plain"],
             ["Bold", "Italic", "Underline", "Strike"],
             ["Ten", "Ten and a half", "Two\nlines", "右"],
             ["赤", "Blue text", "Yellow back", "End"]]
    for r, row in enumerate(texts):
        for c, text in enumerate(row):
            sheet.getCellByPosition(c, r).String = text
    for name in ("A1", "B1", "C1", "D1", "A2", "B2", "C2", "D2", "A3", "B3", "C3", "D3", "A4", "B4", "C4", "D4"):
        cell(name).CharHeight = 12
    cell("C1").CharHeight = 14
    cell("A3").CharHeight = 10
    cell("B3").CharHeight = 10.5
    cell("A2").CharWeight = BOLD
    cell("B2").CharPosture = ITALIC
    cell("C2").CharUnderline = SINGLE
    cell("D2").CharStrikeout = STRIKE
    cell("C3").IsTextWrapped = True
    cell("A4").CharColor = 0xFF0000
    cell("B4").CharColor = 0x0000FF
    cell("C4").CellBackColor = 0xFFFF00
    # Thin, thick and double lines with colours.
    all_sides(cell("A1"), line(26))
    all_sides(cell("B1"), line(26, 0x00FF00))
    all_sides(cell("C1"), line(141, 0x0000FF))
    all_sides(cell("D1"), line(0, 0xFF0000, DOUBLE))

    # A6:F8 every horizontal alignment, then every vertical one.
    horizontal = ["Standard", "Left", "Center", "Right", "Block", "Repeat"]
    for c, text in enumerate(horizontal):
        target = sheet.getCellByPosition(c, 5)
        target.String = text
        target.HoriJustify = hori_justify(text.upper())
    vertical = [("Standard", CellVertJustify2.STANDARD), ("Top", CellVertJustify2.TOP),
                ("Middle", CellVertJustify2.CENTER), ("Bottom", CellVertJustify2.BOTTOM),
                ("Justified", CellVertJustify2.BLOCK)]
    for c, (text, justify) in enumerate(vertical):
        target = sheet.getCellByPosition(c, 6)
        target.String = text
        target.VertJustify = justify

    # A10:E14 merged areas of 2 x 2, 1 x 3 (one row, three columns) and 3 x 1, with lines round.
    for r in range(9, 14):
        for c in range(0, 5):
            target = sheet.getCellByPosition(c, r)
            target.String = "%s%d" % ("ABCDE"[c], r + 1)
            all_sides(target, line(26))
    for area, text in (("A10:B11", "Two by two"), ("C10:E10", "One by three"), ("E11:E13", "Three by one")):
        sheet.getCellRangeByName(area).merge(True)
        cell(area.split(":")[0]).String = text

    # A16:C16 characters that wiki table syntaxes read as markup.
    for c, text in enumerate(["a|b", "2^3", "plain"]):
        sheet.getCellByPosition(c, 15).String = text

    store_and_close(document, path)


def make_sample(context, path):
    """A small price list: a merged title, a header row, lines, colours, Japanese names and a sum."""
    document, sheet = new_hidden_sheet(context)
    cell = sheet.getCellRangeByName
    rows = [["Fruit", "品名", "Boxes", "Price"],
            ["Apple", "りんご", 3, 120],
            ["Pear", "梨", 2, 150],
            ["Grapes", "ぶどう", 1, 480]]
    for r, row in enumerate(rows):
        for c, value in enumerate(row):
            target = sheet.getCellByPosition(c, r + 1)
            if isinstance(value, str):
                target.String = value
            else:
                target.Value = value
                target.HoriJustify = hori_justify("RIGHT")
    cell("A1").String = "Fruit prices / 果物の値段"
    cell("A1:D1").merge(True)
    cell("A1").CharHeight = 14
    cell("A1").CharWeight = BOLD
    cell("A1").HoriJustify = hori_justify("CENTER")
    cell("A1").CellBackColor = 0xDDEEFF
    header = cell("A2:D2")
    header.CharWeight = BOLD
    header.CellBackColor = 0xEEEEEE
    header.HoriJustify = hori_justify("CENTER")
    cell("A6").String = "Total"
    cell("A6:C6").merge(True)
    cell("A6").CharPosture = ITALIC
    cell("A6").HoriJustify = hori_justify("RIGHT")
    cell("D6").Formula = "=SUMPRODUCT(C3:C5;D3:D5)"
    cell("D6").CharWeight = BOLD
    cell("D6").CharColor = 0xC00000
    cell("D6").HoriJustify = hori_justify("RIGHT")
    cell("A3:D6").VertJustify = CellVertJustify2.CENTER
    for r in range(0, 6):
        for c in range(0, 4):
            all_sides(sheet.getCellByPosition(c, r), line(26, 0x336699))
    store_and_close(document, path)


def dispatch(context, frame, command, arguments=()):
    helper = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.DispatchHelper", context)
    helper.executeDispatch(frame, command, "", 0, tuple(arguments))


def open_once(context, path, kind="scalc"):
    desktop = desktop_of(context)
    url = uno.systemPathToFileUrl(path)
    components = desktop.Components.createEnumeration()
    while components.hasMoreElements():
        component = components.nextElement()
        if getattr(component, "URL", "") == url:
            return component
    return desktop.loadComponentFromURL(url, "_default", 0, ())


def copy_range(context, path, area):
    document = open_once(context, path)
    controller = document.CurrentController
    controller.select(document.Sheets.getByIndex(0).getCellRangeByName(area))
    dispatch(context, controller.Frame, ".uno:Copy")


def main():
    pipe, command = sys.argv[1], sys.argv[2]
    if command == "wait":
        connect(pipe, attempts=480)
        return
    context = connect(pipe, attempts=40)
    if command == "workbook":
        make_workbook(context, sys.argv[3])
    elif command == "sample":
        make_sample(context, sys.argv[3])
    elif command == "copy":
        copy_range(context, sys.argv[3], sys.argv[4])
    elif command == "quit":
        try:
            desktop_of(context).terminate()
        except Exception:
            pass  # the office is gone before it can answer


if __name__ == "__main__":
    main()
