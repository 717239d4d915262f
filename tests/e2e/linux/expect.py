#!/usr/bin/python3
# What a copy of a range of the end-to-end tests' workbook must give, derived from the cell facts
# of workbook.py by the rules of the capture and of the grid normalisation, written here apart
# from the programs' code:
#   expect.py text RANGE   the text that Calc offers for the copied range: the texts of each row
#                          between tabs, every row ended by a line feed
#   expect.py grid RANGE   the cell grid that the capture fills from the range, normalised as the run
#                          does before the writer (after OK to the question on lines), as JSON for
#                          tools/render-grid
import json
import sys

import workbook

HORI_JUSTIFY = ["STANDARD", "LEFT", "CENTER", "RIGHT", "BLOCK", "REPEAT"]
POSTURE_ITALIC = "ITALIC"  # FontSlant 2; OBLIQUE (1) is not italic


def cells_of(area):
    """The first column and row of the range and the names of its cells, row by row."""
    first, last = area.split(":")
    c0, r0 = workbook.cell_position(first)
    c1, r1 = workbook.cell_position(last)
    return c0, r0, [[workbook.cell_name(c, r) for c in range(c0, c1 + 1)] for r in range(r0, r1 + 1)]


def copied_text(area):
    _, _, rows = cells_of(area)
    lines = []
    for row in rows:
        texts = [workbook.facts(name)["String"] for name in row]
        if any(set(text) & set("\t\n\"") for text in texts):
            sys.exit("expect.py: Calc quotes a text with a tab, a line break or a quote; not done here")
        lines.append("\t".join(texts) + "\n")
    return "".join(lines)


def line_kind(line):
    """The border kind and colour that the capture reads from a line: 2 for a line wider than 80 or
    a double line, 1 for any other line, 0 for none (whose colour Calc reports as 0)."""
    if line is None:
        return 0, 0
    style, width, colour = line
    inner, outer = (width // 3, width // 3) if style == "DOUBLE" else (0, width)
    if inner > 80 or outer > 80 or (inner > 0 and outer > 0):
        return 2, colour
    return (1 if inner > 0 or outer > 0 else 0), colour


def captured(name):
    """The cell record that the capture fills from one cell."""
    f = workbook.facts(name)
    record = {
        "text": f["String"],
        "horiJustify": HORI_JUSTIFY.index(f["HoriJustify"]),
        "vertJustify": f["VertJustify"],
        "charColor": 0 if f["CharColor"] == -1 else f["CharColor"],
        "charHeight": int(f["CharHeight"]),  # truncated: 10.5 points are 10
        "bold": 1 if f["CharWeight"] >= 150.0 else 0,
        "italic": 1 if f["CharPosture"] == POSTURE_ITALIC else 0,
        "underline": f["CharUnderline"],
        "strikeout": f["CharStrikeout"],
        "backColor": 0xFFFFFF if f["CellBackColor"] == -1 else f["CellBackColor"],
        "mergePosition": 0,
    }
    kinds = [line_kind(f[side]) for side in workbook.SIDES]
    record["border"] = [kind for kind, _ in kinds]
    record["borderColor"] = [colour for _, colour in kinds]
    return record


def place_merged_areas(grid, c0, r0, columns, rows):
    """Marks each merged area inside the range from its first cell, by the codes of the cell grid:
    1, 2, 3 across the first row, plus 3 in a row between, plus 6 in the last row."""
    if columns * rows == 1:
        return  # a single cell is asked about no merged area
    for area in workbook.MERGED:
        first, last = area.split(":")
        fc, fr = workbook.cell_position(first)
        lc, lr = workbook.cell_position(last)
        inside = c0 <= fc and lc < c0 + columns and r0 <= fr and lr < r0 + rows
        overlaps = fc < c0 + columns and lc >= c0 and fr < r0 + rows and lr >= r0
        if overlaps and not inside:
            sys.exit("expect.py: the range cuts the merged area %s; not done here" % area)
        if not overlaps:
            continue
        fc, lc, fr, lr = fc - c0, lc - c0, fr - r0, lr - r0
        anchor = grid[fr][fc]
        anchor.update(mergeFirstColumn=fc, mergeLastColumn=lc, mergeFirstRow=fr, mergeLastRow=lr)
        for r in range(fr, lr + 1):
            for c in range(fc, lc + 1):
                code = 1 if c == fc else 3 if c == lc else 2
                if r != fr:
                    code += 6 if r == lr else 3
                grid[r][c]["mergePosition"] = code


def normalise(grid):
    """Lines on every side of every cell when no cell has one; then each merged area gets the
    outline of its first cell: its left and top lines on the area's left and top edge, its right
    and bottom lines on the right and bottom edge, and no line inside."""
    cells = [cell for row in grid for cell in row]
    if not any(any(cell["border"]) for cell in cells):
        for cell in cells:
            cell["border"] = [1, 1, 1, 1]
    for row in grid:
        for anchor in row:
            if anchor["mergePosition"] != 1:
                continue
            left, right, top, bottom = anchor["border"]
            for r in range(anchor["mergeFirstRow"], anchor["mergeLastRow"] + 1):
                for c in range(anchor["mergeFirstColumn"], anchor["mergeLastColumn"] + 1):
                    grid[r][c]["border"] = [
                        left if c == anchor["mergeFirstColumn"] else 0,
                        right if c == anchor["mergeLastColumn"] else 0,
                        top if r == anchor["mergeFirstRow"] else 0,
                        bottom if r == anchor["mergeLastRow"] else 0,
                    ]


def grid_of(area):
    c0, r0, names = cells_of(area)
    grid = [[captured(name) for name in row] for row in names]
    rows, columns = len(grid), len(grid[0])
    place_merged_areas(grid, c0, r0, columns, rows)
    normalise(grid)
    return {"rows": rows, "columns": columns, "cells": [cell for row in grid for cell in row]}


def main():
    command, area = sys.argv[1], sys.argv[2]
    if command == "text":
        sys.stdout.buffer.write(copied_text(area).encode("utf-8"))
    elif command == "grid":
        sys.stdout.write(json.dumps(grid_of(area), indent=1) + "\n")
    else:
        sys.exit("expect.py: text RANGE or grid RANGE")


if __name__ == "__main__":
    main()
