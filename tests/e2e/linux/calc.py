#!/usr/bin/python3
# Drives the private LibreOffice of the end-to-end tests as a user would: makes the test workbook
# (from the cell facts of workbook.py) and copies ranges of it to the clipboard. Runs under
# Debian's python3, which has the uno module.
#   calc.py PIPE wait                  until the office accepts on the pipe
#   calc.py PIPE workbook FILE         writes the test workbook to FILE (.ods)
#   calc.py PIPE sample FILE           writes the sample workbook of the demo to FILE (.ods)
#   calc.py PIPE copy FILE RANGE       opens FILE (once), selects RANGE and copies it
#   calc.py PIPE quit                  ends the office
import sys
import time

import uno
import workbook
from com.sun.star.beans import PropertyValue
from com.sun.star.table import BorderLine2
from com.sun.star.table import CellVertJustify2
from com.sun.star.table.BorderLineStyle import DOUBLE, SOLID
from com.sun.star.awt.FontWeight import BOLD
from com.sun.star.awt.FontSlant import ITALIC


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
    """The cells of workbook.py, then their merged areas."""
    document, sheet = new_hidden_sheet(context)
    for name, properties in workbook.CELLS.items():
        target = sheet.getCellRangeByName(name)
        for key, value in properties.items():
            if key in workbook.SIDES:
                style, width, colour = value
                value = line(width, colour, DOUBLE if style == "DOUBLE" else SOLID)
            elif key == "HoriJustify":
                value = hori_justify(value)
            elif key == "CharPosture":
                value = uno.Enum("com.sun.star.awt.FontSlant", value)
            setattr(target, key, value)
    for area in workbook.MERGED:
        sheet.getCellRangeByName(area).merge(True)
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
