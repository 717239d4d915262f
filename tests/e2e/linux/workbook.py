# The cells of the end-to-end tests' workbook, as Calc holds them: calc.py makes the workbook from
# these facts, and expect.py derives from them what a copy of a range must give. Each cell is a
# dict of cell properties by their UNO names; a property not given has the value that a new Calc
# document reports (DEFAULTS). Enumerations are given by name, constants by value.

SIDES = ("LeftBorder", "RightBorder", "TopBorder", "BottomBorder")

DEFAULTS = {
    "String": "",
    "CharHeight": 10.0,  # the default cell style's font
    "CharWeight": 100.0,  # FontWeight NORMAL
    "CharPosture": "NONE",  # FontSlant
    "CharUnderline": 0,  # FontUnderline NONE
    "CharStrikeout": 0,  # FontStrikeout NONE
    "CharColor": -1,  # automatic
    "CellBackColor": -1,  # no colour
    "HoriJustify": "STANDARD",  # CellHoriJustify
    "VertJustify": 0,  # CellVertJustify2 STANDARD
    "IsTextWrapped": False,
    "LeftBorder": None,
    "RightBorder": None,
    "TopBorder": None,
    "BottomBorder": None,
}

BOLD = 150.0  # FontWeight BOLD
SINGLE = 1  # FontUnderline SINGLE, FontStrikeout SINGLE


# A line is (style, width in 1/100 mm, colour): Calc holds a solid line as its outer part alone, a
# double one as an inner and an outer part with a gap between, a third of its width each.
def solid(width, colour=0):
    return ("SOLID", width, colour)


def double(colour=0):
    return ("DOUBLE", 53, colour)


def cell_name(column, row):
    """The name of the cell of that column and row (0-based), up to column Z."""
    return "%s%d" % (chr(ord("A") + column), row + 1)


def cell_position(name):
    """The column and row (0-based) of a cell name, up to column Z."""
    return ord(name[0]) - ord("A"), int(name[1:]) - 1


CELLS = {}


def put(name, **properties):
    CELLS.setdefault(name, {}).update(properties)


def all_sides(name, line):
    put(name, **{side: line for side in SIDES})


# A1:D4 texts, sizes and type faces, the Japanese text and the line break.
for r, row in enumerate([["Name", "日本語", "Size 14", "Plain"],
                         ["Bold", "Italic", "Underline", "Strike"],
                         ["Ten", "Ten and a half", "Two\nlines", "右"],
                         ["赤", "Blue text", "Yellow back", "End"]]):
    for c, text in enumerate(row):
        put(cell_name(c, r), String=text, CharHeight=12.0)
put("C1", CharHeight=14.0)
put("A3", CharHeight=10.0)
put("B3", CharHeight=10.5)
put("A2", CharWeight=BOLD)
put("B2", CharPosture="ITALIC")
put("C2", CharUnderline=SINGLE)
put("D2", CharStrikeout=SINGLE)
put("C3", IsTextWrapped=True)
put("A4", CharColor=0xFF0000)
put("B4", CharColor=0x0000FF)
put("C4", CellBackColor=0xFFFF00)
# Thin, thick and double lines with colours.
all_sides("A1", solid(26))
all_sides("B1", solid(26, 0x00FF00))
all_sides("C1", solid(141, 0x0000FF))
all_sides("D1", double(0xFF0000))

# A6:F7 every horizontal alignment, then every vertical one.
for c, text in enumerate(["Standard", "Left", "Center", "Right", "Block", "Repeat"]):
    put(cell_name(c, 5), String=text, HoriJustify=text.upper())
for c, (text, justify) in enumerate([("Standard", 0), ("Top", 1), ("Middle", 2), ("Bottom", 3), ("Justified", 4)]):
    put(cell_name(c, 6), String=text, VertJustify=justify)  # CellVertJustify2

# A10:E14 merged areas of 2 x 2, 1 x 3 (one row, three columns) and 3 x 1, with lines round; the
# first cell of each area holds its title.
for r in range(9, 14):
    for c in range(0, 5):
        put(cell_name(c, r), String="%s%d" % ("ABCDE"[c], r + 1))
        all_sides(cell_name(c, r), solid(26))
MERGED = ["A10:B11", "C10:E10", "E11:E13"]
put("A10", String="Two by two")
put("C10", String="One by three")
put("E11", String="Three by one")

# A16:C16 characters that wiki table syntaxes read as markup.
for c, text in enumerate(["a|b", "2^3", "plain"]):
    put(cell_name(c, 15), String=text)

# A18:F18 markup characters of the wiki syntaxes that the engines of the tests read: cell and
# format marks, tags, an entity, links, sub- and superscripts and quotes, which must all show as
# they stand; among them a bold, an italic and a right-aligned cell.
for c, text in enumerate(["a|b|c", "x*y*z", "_u_v_", "<b>not bold</b> &amp;", "[[no link]] {{x}}",
                          "2^3 {x} ~y~ 'q'"]):
    put(cell_name(c, 17), String=text)
put("A18", CharWeight=BOLD)
put("C18", CharPosture="ITALIC")
put("F18", HoriJustify="RIGHT")


def facts(name):
    """Every property of the cell of that name."""
    return {**DEFAULTS, **CELLS.get(name, {})}
