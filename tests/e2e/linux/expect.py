#!/usr/bin/python3
# What a copy of a range of the end-to-end tests' workbook must give, derived from the cell facts
# of workbook.py:
#   expect.py text RANGE   the text that Calc offers for the copied range: the texts of each row
#                          between tabs, every row ended by a line feed
import sys

import workbook


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


def main():
    command, area = sys.argv[1], sys.argv[2]
    if command == "text":
        sys.stdout.buffer.write(copied_text(area).encode("utf-8"))
    else:
        sys.exit("expect.py: text RANGE")


if __name__ == "__main__":
    main()
