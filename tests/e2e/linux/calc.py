#!/usr/bin/python3
# Drives the private LibreOffice of the end-to-end tests as a user would: makes the test workbook
# (from the cell facts of workbook.py) and copies ranges of it to the clipboard. Runs under
# Debian's python3, which has the uno module.
#   calc.py PIPE wait                  until the office accepts on the pipe
#   calc.py PIPE workbook FILE         writes the test workbook to FILE (.ods)
#   calc.py PIPE sample FILE           writes the sample workbook of the demo to FILE (.ods)
#   calc.py PIPE random FILE SEED      writes a workbook of randomly filled and formatted cells to
#                                      FILE (.ods), the same for the same SEED (make_random)
#   calc.py PIPE edges FILE            writes the workbook of hard cases for the capture to FILE (.ods,
#                                      make_edges)
#   calc.py PIPE copy FILE RANGE       opens FILE (once), selects RANGE and copies it
#   calc.py PIPE plain ROWS COLUMNS RANGE
#                                      selects RANGE in a new document of ROWS x COLUMNS cells of
#                                      plain text (r1c1, r1c2, ...; made once, kept open unsaved)
#                                      and copies it
#   calc.py PIPE documents             prints the office's open documents, one a line: its title
#                                      and its URL (empty for a document never saved)
#   calc.py PIPE quit                  ends the office
import random
import sys
import time

import uno
import workbook
from com.sun.star.beans import PropertyValue
from com.sun.star.lang import Locale
from com.sun.star.table import BorderLine2
from com.sun.star.table import CellVertJustify2
from com.sun.star.table.BorderLineStyle import DOUBLE, SOLID
from com.sun.star.awt.FontWeight import BOLD
from com.sun.star.awt.FontSlant import ITALIC
from com.sun.star.text.ControlCharacter import PARAGRAPH_BREAK


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


# The random workbook: three blocks of 60 rows by 20 columns, one under the other (A1:T60,
# A61:T120, A121:T180), each filled and formatted on its own, so that a reader can be compared on
# three ranges of the same sheet; six more blocks below them make A1:T540 a range the fast capture
# reads in three requests (of 250, 250 and 40 rows), with merged areas across the rows where the
# second ends (LARGE_RANGE_AREAS). Cells get their contents in one setDataArray call per block and
# their formats mostly by rectangles, since each call over the bridge costs a millisecond or two.
RANDOM_BLOCKS, RANDOM_ROWS, RANDOM_COLUMNS = 9, 60, 20
LARGE_RANGE_AREAS = ((0, 498, 1, 501), (5, 499, 5, 500), (10, 495, 13, 505), (19, 500, 19, 503), (7, 499, 8, 499))

RANDOM_WORDS = ("apple", "Grid", "x", "Total", "price list", "a<b>c", "R&D", "pipe|bar", "\"quoted\"",
                "{{brace}}", "''quotes''", "007", "1,5", "-", "*", "#", "=not a formula", "!x")
RANDOM_JAPANESE = ("日本語", "カタカナ", "ｶﾀｶﾅ", "ﾊﾝｶｸ ｶﾅ", "漢字", "ひらがな", "全角　空白", "１２３",
                   "東京都千代田区", "ﾃｽﾄ・テスト", "表計算ソフト")
RANDOM_NUMBER_FORMATS = ("0.00", "#,##0", "#,##0.00", "0%", "0.0%", "YYYY-MM-DD", "DD.MM.YY", "HH:MM:SS",
                         "0.00E+00", "#,##0.00;[RED]-#,##0.00", "0.0", "@")
RANDOM_LINE_WIDTHS = (0, 1, 26, 35, 53, 80, 81, 88, 141)  # 1/100 mm; 80 is the widest thin line
RANDOM_HORI_JUSTIFY = ("STANDARD", "LEFT", "CENTER", "RIGHT", "BLOCK", "REPEAT")


def random_colour(rng):
    return rng.choice((0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF, rng.randrange(0x1000000), rng.randrange(0x1000000)))


def random_text(rng):
    kind = rng.randrange(6)
    if kind == 0:
        return rng.choice(RANDOM_WORDS)
    if kind == 1:
        return " ".join(rng.choice(RANDOM_WORDS) for _ in range(rng.randint(2, 4)))
    if kind == 2:
        return rng.choice(RANDOM_JAPANESE)
    if kind == 3:
        return rng.choice(RANDOM_JAPANESE) + rng.choice(("", " ", "・")) + rng.choice(RANDOM_WORDS)
    if kind == 4:  # lines within the cell
        pieces = [rng.choice(RANDOM_WORDS + RANDOM_JAPANESE) for _ in range(rng.randint(2, 3))]
        if rng.random() < 0.2:
            pieces.insert(1, "")  # an empty line between
        return "\n".join(pieces)
    return rng.choice(("", " ", "  ")) + rng.choice(RANDOM_WORDS + RANDOM_JAPANESE) + rng.choice((" ", "  ", ""))


def random_number(rng):
    kind = rng.randrange(6)
    if kind == 0:
        return float(rng.randint(-1000, 1000))
    if kind == 1:
        return float(rng.randint(0, 10 ** rng.randint(3, 9)))
    if kind == 2:
        return round(rng.uniform(-1000, 1000), rng.randint(1, 4))
    if kind == 3:
        return round(rng.random(), 4)  # shows as a percentage under 0%
    if kind == 4:
        return float(rng.randint(30000, 50000))  # a date under YYYY-MM-DD
    return round(rng.randint(30000, 50000) + rng.random(), 5)  # a date and a time


def random_contents(rng):
    """The rows of one block for setDataArray: texts ("" leaves a cell empty) and numbers."""
    rows = []
    for _ in range(RANDOM_ROWS):
        row = []
        for _ in range(RANDOM_COLUMNS):
            draw = rng.random()
            row.append("" if draw < 0.25 else random_number(rng) if draw < 0.5 else random_text(rng))
        rows.append(tuple(row))
    return tuple(rows)


def number_format_keys(document):
    """The keys of RANDOM_NUMBER_FORMATS in the document, added where it has none yet."""
    formats, locale = document.NumberFormats, Locale("en", "US", "")
    keys = []
    for code in RANDOM_NUMBER_FORMATS:
        key = formats.queryKey(code, locale, False)
        keys.append(key if key != -1 else formats.addNew(code, locale))
    return keys


def random_rectangle(rng, top, most=RANDOM_COLUMNS):
    """Column, row, last column and last row of a rectangle inside the block from row top: small
    ones mostly, some whole rows, columns or large areas of the block."""
    shape = rng.random()
    if shape < 0.55:
        width, height = rng.randint(1, 4), rng.randint(1, 6)
    elif shape < 0.7:
        width, height = most, rng.randint(1, 2)
    elif shape < 0.85:
        width, height = rng.randint(1, 2), rng.randint(RANDOM_ROWS // 3, RANDOM_ROWS)
    else:
        width, height = rng.randint(3, max(3, most)), rng.randint(5, RANDOM_ROWS // 2)
    width, height = min(width, RANDOM_COLUMNS), min(height, RANDOM_ROWS)
    column, row = rng.randint(0, RANDOM_COLUMNS - width), top + rng.randint(0, RANDOM_ROWS - height)
    return column, row, column + width - 1, row + height - 1


def random_format(rng, keys):
    """A cell property and a value for it."""
    name = rng.choice(("CharWeight", "CharPosture", "CharUnderline", "CharStrikeout", "CharColor", "CharHeight",
                       "CellBackColor", "HoriJustify", "VertJustify", "NumberFormat", "IsTextWrapped"))
    if name == "CharWeight":
        value = rng.choice((100.0, 110.0, 150.0, 200.0))  # normal, semibold, bold, ultrabold
    elif name == "CharPosture":
        value = uno.Enum("com.sun.star.awt.FontSlant", rng.choice(("NONE", "OBLIQUE", "ITALIC")))
    elif name == "CharUnderline":
        value = rng.choice((0, 1, 1, 2, 3, 10))  # none, single, double, dotted, wave
    elif name == "CharStrikeout":
        # none, single, double, not known (the .ods file keeps it as none), bold, x
        value = rng.choice((0, 1, 1, 2, 3, 4, 6))
    elif name in ("CharColor", "CellBackColor"):
        value = -1 if rng.random() < 0.3 else random_colour(rng)  # automatic, no colour
    elif name == "CharHeight":
        value = rng.choice((8.0, 10.0, 10.5, 12.0, 14.5, 20.0))
    elif name == "HoriJustify":
        value = hori_justify(rng.choice(RANDOM_HORI_JUSTIFY))
    elif name == "VertJustify":
        value = rng.randint(0, 4)  # CellVertJustify2 STANDARD, TOP, CENTER, BOTTOM, BLOCK
    elif name == "NumberFormat":
        value = rng.choice(keys)
    else:
        value = rng.random() < 0.5
    return name, value


def random_line(rng):
    colour = rng.choice((0, 0, -1, random_colour(rng)))  # the .ods file keeps -1 as white
    if rng.random() < 0.2:
        return line(0, colour, DOUBLE)
    return line(rng.choice(RANDOM_LINE_WIDTHS), colour)


def random_merged_areas(rng, top, count=15):
    """Up to count rectangles of 1-4 columns by 1-4 rows (two cells at least) inside the block from
    row top, none overlapping another."""
    taken, areas = set(), []
    for _ in range(count * 20):
        if len(areas) == count:
            break
        width, height = rng.randint(1, 4), rng.randint(1, 4)
        if width * height < 2:
            continue
        column, row = rng.randint(0, RANDOM_COLUMNS - width), top + rng.randint(0, RANDOM_ROWS - height)
        cells = {(c, r) for c in range(column, column + width) for r in range(row, row + height)}
        if cells & taken:
            continue
        taken |= cells
        areas.append((column, row, column + width - 1, row + height - 1))
    return areas


def make_random(context, path, seed):
    """RANDOM_BLOCKS blocks of random contents, formats, lines and merged areas, drawn from seed."""
    rng = random.Random(seed)
    document, sheet = new_hidden_sheet(context)
    keys = number_format_keys(document)
    for block in range(RANDOM_BLOCKS):
        top = block * RANDOM_ROWS
        area = sheet.getCellRangeByPosition(0, top, RANDOM_COLUMNS - 1, top + RANDOM_ROWS - 1)
        area.setDataArray(random_contents(rng))
        # Overlapping rectangles, each with one to three properties, leave the cells with many
        # different combinations of them.
        for _ in range(80):
            target = sheet.getCellRangeByPosition(*random_rectangle(rng, top))
            for _ in range(rng.randint(1, 3)):
                name, value = random_format(rng, keys)
                setattr(target, name, value)
        # A range's LeftBorder (and so on) is that side of each of its cells.
        for _ in range(10):
            target = sheet.getCellRangeByPosition(*random_rectangle(rng, top, most=6))
            for side in rng.sample(workbook.SIDES, rng.randint(1, 2)):
                setattr(target, side, random_line(rng))
        for _ in range(35):
            target = sheet.getCellByPosition(rng.randrange(RANDOM_COLUMNS), top + rng.randrange(RANDOM_ROWS))
            for side in rng.sample(workbook.SIDES, rng.randint(1, 4)):
                setattr(target, side, random_line(rng))
        # The first three blocks' own areas; the rest take the fixed ones across row 500.
        for column, row, last_column, last_row in random_merged_areas(rng, top) if block < 3 else ():
            sheet.getCellRangeByPosition(column, row, last_column, last_row).merge(True)
    for column, row, last_column, last_row in LARGE_RANGE_AREAS:
        sheet.getCellRangeByPosition(column, row, last_column, last_row).merge(True)
    store_and_close(document, path)


# The workbook of hard cases for the readers of a copy, all on the sheet "My 'Sheet' 1": B2:H9 (data in
# C3:G8, an empty formatted cell on the right and on the bottom edge; nothing in B2:L14 past it),
# M1:P6 (rich text, paragraphs, a hyperlink, a comment, a tab, column O formatted as a whole column),
# B15:K28 (every line style of Calc but the 3D ones, by width), B30:K33 (the 3D ones: EMBOSSED,
# ENGRAVED, OUTSET, INSET), B35:T39 (every underline, strikeout, weight, posture; sizes, colours,
# backgrounds; T39 empty but formatted), B41:G49 (merged areas whose covered cells keep their text).
EDGE_WIDTHS = (2, 18, 26, 53, 79, 80, 81, 88, 141, 159)
EDGE_LINES = ("SOLID", "DOTTED", "DASHED", "DOUBLE", "THINTHICK_SMALLGAP", "THINTHICK_MEDIUMGAP",
              "THINTHICK_LARGEGAP", "THICKTHIN_SMALLGAP", "THICKTHIN_MEDIUMGAP", "THICKTHIN_LARGEGAP",
              "FINE_DASHED", "DOUBLE_THIN", "DASH_DOT", "DASH_DOT_DOT")
EDGE_3D_LINES = ("EMBOSSED", "ENGRAVED", "OUTSET", "INSET")
EDGE_COLOURS = (0x000080, 0, 0xFF0000, 0xFFFFFF, -1, 0x3366CC, 0x00FF00)


def styled_line(style, width, colour):
    border = BorderLine2()
    border.LineStyle = uno.getConstantByName("com.sun.star.table.BorderLineStyle." + style)
    border.LineWidth, border.Color = width, colour
    return border


def set_span(cell, start, length, **properties):
    """Properties of length characters of the cell's text from start."""
    cursor = cell.createTextCursor()
    cursor.gotoStart(False)
    cursor.goRight(start, False)
    cursor.goRight(length, True)
    for key, value in properties.items():
        setattr(cursor, key, value)


def make_edges(context, path):
    document, sheet = new_hidden_sheet(context)
    sheet.Name = "My 'Sheet' 1"  # Calc takes no name that begins or ends with a quote
    assert sheet.Name == "My 'Sheet' 1"
    cell = sheet.getCellRangeByName
    column = sheet.Columns.getByIndex(14)  # O, before the cells' own formats
    column.CellBackColor, column.CharWeight, column.HoriJustify = 0xCCFFCC, BOLD, hori_justify("CENTER")
    for r in range(2, 8):
        for c in range(2, 7):
            target = sheet.getCellByPosition(c, r)
            if (r + c) % 3:
                target.String = "r%dc%d" % (r + 1, c + 1)
            else:
                target.Value = r * 10.5 - c
            target.CharColor = EDGE_COLOURS[(r + c) % len(EDGE_COLOURS)]
    cell("C3").CellBackColor, cell("G8").CharWeight = 0xFFFF00, BOLD
    cell("H5").CellBackColor = 0xFF00FF  # empty, on the right edge of B2:H9
    cell("D9").BottomBorder = styled_line("SOLID", 26, 0x336699)  # empty, on the bottom edge
    rich = cell("N2")
    rich.String = "plain bold end"
    set_span(rich, 6, 4, CharWeight=BOLD)
    set_span(rich, 11, 3, CharColor=0xFF0000, CharUnderline=1, CharPosture=ITALIC)
    paragraphs = cell("N3")
    paragraphs.String = "first"
    for text in ("", "  third  two   spaces "):
        paragraphs.insertControlCharacter(paragraphs.getEnd(), PARAGRAPH_BREAK, False)
        paragraphs.insertString(paragraphs.getEnd(), text, False)
    link = document.createInstance("com.sun.star.text.TextField.URL")
    link.URL, link.Representation = "https://example.com/a?b=1&c=2", "Example"
    target = cell("N4")
    target.String = "see "
    cursor = target.createTextCursor()
    cursor.gotoEnd(False)
    target.insertTextContent(cursor, link, False)
    cell("N5").String = "with a comment"
    sheet.Annotations.insertNew(cell("N5").CellAddress, "the comment")
    cell("N6").Formula = '="a"&CHAR(9)&"b"'  # a tab (a loaded cell's own tab is dropped by Calc)
    cell("O2").String, cell("O4").String, cell("O4").CharColor = "in col O", "red", 0xFF0000
    cell("O5").String = "bold? no"
    set_span(cell("O5"), 0, 4, CharWeight=100.0)
    cell("P3").String = "beside"
    for r, style in enumerate(EDGE_LINES + EDGE_3D_LINES):
        r += 14 if r < len(EDGE_LINES) else 15
        for c, width in enumerate(EDGE_WIDTHS):
            target = sheet.getCellByPosition(c + 1, r)
            target.String = "%s %d" % (style.lower(), width)
            all_sides(target, styled_line(style, width, EDGE_COLOURS[(r + c) % len(EDGE_COLOURS)]))
            if c % 2:  # the sides differ
                target.BottomBorder = styled_line(style, EDGE_WIDTHS[c - 1], 0x808080)
    fonts = [("CharUnderline", u) for u in range(19)] + [("CharStrikeout", s) for s in range(7)] + \
        [("CharWeight", float(w)) for w in (0, 50, 60, 75, 90, 100, 110, 150, 175, 200)] + \
        [("CharPosture", uno.Enum("com.sun.star.awt.FontSlant", p))
         for p in ("NONE", "OBLIQUE", "ITALIC", "REVERSE_OBLIQUE", "REVERSE_ITALIC")] + \
        [("CharHeight", h) for h in (10.5, 7.0, 6.5, 10.0, 12.0)] + \
        [("CharColor", v) for v in (-1, 0, 0xFF0000, 0xFFFFFF, 1)] + \
        [("CellBackColor", v) for v in (-1, 0, 0xFFFFFF, 0xFFFF00)]
    for i, (key, value) in enumerate(fonts):
        target = sheet.getCellByPosition(1 + i % 19, 34 + i // 19)
        target.String = "%s %s" % (key[4:], getattr(value, "value", value))
        setattr(target, key, value)
    cell("T39").CellBackColor = 0x00FF00
    cell("T39").IsCellBackgroundTransparent = True
    for r in range(40, 49):
        for c in range(1, 7):
            sheet.getCellByPosition(c, r).String = "%s%d" % (chr(65 + c), r + 1)
    for area in ("C42:D43", "F42:F44", "C46:E46", "B48:C49", "E48:G49"):
        cell(area).merge(True)
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


def plain_document(context, rows, columns):
    """The open document of plain cells of that size (its sheet named for it), else a new one."""
    name = "Plain %dx%d" % (rows, columns)
    desktop = desktop_of(context)
    components = desktop.Components.createEnumeration()
    while components.hasMoreElements():
        component = components.nextElement()
        if hasattr(component, "Sheets") and component.Sheets.hasByName(name):
            return component
    document = desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, ())
    sheet = document.Sheets.getByIndex(0)
    sheet.Name = name
    # One request per block of rows, each far below what the bridge carries at once.
    for top in range(0, rows, 10000):
        bottom = min(rows, top + 10000)
        block = tuple(tuple("r%dc%d" % (r + 1, c + 1) for c in range(columns)) for r in range(top, bottom))
        sheet.getCellRangeByPosition(0, top, columns - 1, bottom - 1).setDataArray(block)
    return document


def copy_plain(context, rows, columns, area):
    document = plain_document(context, rows, columns)
    controller = document.CurrentController
    controller.select(document.Sheets.getByIndex(0).getCellRangeByName(area))
    dispatch(context, controller.Frame, ".uno:Copy")


def list_documents(context):
    components = desktop_of(context).Components.createEnumeration()
    while components.hasMoreElements():
        component = components.nextElement()
        print("%s\t%s" % (getattr(component, "Title", ""), getattr(component, "URL", "")))


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
    elif command == "edges":
        make_edges(context, sys.argv[3])
    elif command == "random":
        make_random(context, sys.argv[3], int(sys.argv[4]))
    elif command == "copy":
        copy_range(context, sys.argv[3], sys.argv[4])
    elif command == "plain":
        copy_plain(context, int(sys.argv[3]), int(sys.argv[4]), sys.argv[5])
    elif command == "documents":
        list_documents(context)
    elif command == "quit":
        try:
            desktop_of(context).terminate()
        except Exception:
            pass  # the office is gone before it can answer


if __name__ == "__main__":
    main()
