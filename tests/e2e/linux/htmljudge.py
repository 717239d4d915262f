#!/usr/bin/python3
# Judges Gridweave's inline-style HTML by tools we did not write: the Nu Html Checker (vnu.jar, from
# the npm registry, run with Debian's Java) and headless Chromium, whose computed styles of every
# table cell are compared with the copied cells as Calc holds them (the grid expect.py derives
# from the cell facts of workbook.py), never with markup recorded before.
#   htmljudge.py validate FRAGMENT...            every fragment in a minimal HTML5 document: no
#                                                error and no warning
#   htmljudge.py browser FRAGMENT GRID_JSON      Chromium's computed style of every cell against
#                                                the grid (every formatting flag on)
#   htmljudge.py random COUNT DIR                COUNT random grids with random flags, written by
#                                                tools/render-grid into DIR (then: validate DIR/*)
# Work files (documents, Chromium's private profile) go to HTMLJUDGE_WORK (default
# build/htmljudge). Each prints one line per difference and exits 1 on any.
import html
import json
import os
import random
import re
import signal
import subprocess
import sys

from wikijudge import layout

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
VNU = os.path.join(ROOT, "build", "npm", "node_modules", "vnu-jar", "build", "dist", "vnu.jar")
RENDER_GRID = os.path.join(ROOT, "build", "linux", "tools", "render-grid")
WORK = os.path.abspath(os.environ.get("HTMLJUDGE_WORK") or os.path.join(ROOT, "build", "htmljudge"))
FLAGS = ["line_color_yn", "line_width_yn", "back_color_yn", "font_color_yn", "font_size_yn", "font_bold_yn",
         "font_underline_yn", "font_italic_yn", "font_strikethrough_yn", "cell_posh_yn", "cell_posv_yn"]

# Writes the computed style of every cell into the page, for --dump-dom to print.
PROBE = """<script>
const cells = [];
for (const td of document.querySelectorAll("td")) {
  const s = getComputedStyle(td), table = getComputedStyle(td.closest("table"));
  const side = n => [s["border" + n + "Width"], s["border" + n + "Style"], s["border" + n + "Color"]];
  cells.push({row: td.parentElement.rowIndex, text: td.innerText, colspan: td.colSpan, rowspan: td.rowSpan,
    background: s.backgroundColor === "rgba(0, 0, 0, 0)" ? table.backgroundColor : s.backgroundColor,
    color: s.color, size: s.fontSize, weight: s.fontWeight, style: s.fontStyle,
    decoration: s.textDecorationLine, align: s.textAlign, valign: s.verticalAlign,
    left: side("Left"), right: side("Right"), top: side("Top"), bottom: side("Bottom")});
}
const out = document.createElement("pre");
out.id = "computed";
out.textContent = JSON.stringify(cells);
document.body.appendChild(out);
</script>"""


def document(fragment, probe=False):
    return ('<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n<title>table</title>\n</head>\n'
            "<body>\n%s\n%s</body>\n</html>\n" % (fragment, PROBE if probe else ""))


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def run(command, timeout):
    """The command's output; on a timeout its whole process group, which it leads, is ended."""
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        out, _ = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        sys.exit("htmljudge: %s did not end within %d s" % (command[0], timeout))
    return out.decode("utf-8", "replace")


def validate(fragments):
    folder = os.path.join(WORK, "documents")
    os.makedirs(folder, exist_ok=True)
    documents = []
    lines = []
    for n, fragment in enumerate(fragments):
        if "<table" not in read(fragment).lower():
            lines.append("%s: no table" % fragment)
        documents.append(os.path.join(folder, "%d-%s.html" % (n, os.path.basename(fragment))))
        write(documents[-1], document(read(fragment)))
    report = json.loads(run(["java", "-jar", VNU, "--format", "json", "--stdout"] + documents, 600))
    for message in report.get("messages", []):
        kind = message.get("subType") if message.get("type") == "info" else message.get("type")
        if kind in ("error", "warning", "fatal", "non-document-error"):
            lines.append("%s: %s: %s" % (os.path.basename(message.get("url", "?")), kind, message.get("message")))
    return lines, len(documents)


def rgb(colour):
    return "rgb(%d, %d, %d)" % (colour >> 16 & 255, colour >> 8 & 255, colour & 255)


def expected_style(cell, outline):
    """What Chromium must compute for a captured cell whose element shows the lines of outline (its
    own, or a merged area's: as the sheet shows it), every formatting flag on."""
    decoration = [name for name, on in (("underline", cell["underline"]), ("line-through", cell["strikeout"])) if on]
    want = {"background": rgb(cell["backColor"]), "color": rgb(cell["charColor"]),
            "weight": "700" if cell["bold"] else "400", "style": "italic" if cell["italic"] else "normal",
            "decoration": " ".join(decoration) or "none",
            "align": {2: "center", 3: "right", 4: "justify"}.get(cell["horiJustify"], "start"),
            "valign": {1: "top", 2: "middle"}.get(cell["vertJustify"], "bottom")}
    for n, side in enumerate(("left", "right", "top", "bottom")):
        kind, colour = outline[n]
        want[side] = ["%dpx" % kind, "solid" if kind else "none", rgb(colour) if kind else None]
    return want


def browser(fragment, grid):
    page = os.path.join(WORK, "page-%s.html" % os.path.basename(fragment))
    os.makedirs(WORK, exist_ok=True)
    write(page, document(read(fragment), probe=True))
    dom = run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + os.path.join(WORK, "chromium-profile"),
               "--dump-dom", "file://" + page], 120)
    found = re.search(r'<pre id="computed">(.*?)</pre>', dom, re.S)
    if not found:
        return ["Chromium showed no computed styles"]
    rows = []
    for cell in json.loads(html.unescape(found.group(1))):
        rows += [[] for _ in range(cell["row"] + 1 - len(rows))]
        rows[cell["row"]].append(cell)
    placed = layout(rows)
    lines = []
    columns = grid["columns"]
    for r in range(grid["rows"]):
        for c in range(columns):
            cell = grid["cells"][r * columns + c]
            if cell["mergePosition"] > 1:
                continue
            where = "row %d column %d" % (r + 1, c + 1)
            shown = placed.pop((r, c), None)
            if shown is None:
                lines.append("%s: no cell starts here" % where)
                continue
            spans = (cell["mergeLastRow"] - r + 1, cell["mergeLastColumn"] - c + 1) if cell["mergePosition"] == 1 else (1, 1)
            if (shown["rowspan"], shown["colspan"]) != spans:
                lines.append("%s: spans %s shown, %s in the cells" % (where, (shown["rowspan"], shown["colspan"]), spans))
            if shown["text"].replace("\u00a0", " ") != cell["text"]:
                lines.append("%s: text %r shown, %r in the cells" % (where, shown["text"], cell["text"]))
            size = float(shown["size"][:-2]) if shown["size"].endswith("px") else -1
            if abs(size - cell["charHeight"] * 4 / 3) > 0.01:
                lines.append("%s: font size %s shown, %dpt in the cells" % (where, shown["size"], cell["charHeight"]))
            # A merged area shows the lines of its edges: the normalised grid keeps its right line in
            # its last column and its bottom line in its last row.
            last_row, last_column = r + spans[0] - 1, c + spans[1] - 1
            edge = lambda row, column, n: (grid["cells"][row * columns + column]["border"][n],
                                           grid["cells"][row * columns + column]["borderColor"][n])
            outline = [edge(r, c, 0), edge(r, last_column, 1), edge(r, c, 2), edge(last_row, c, 3)]
            for key, want in expected_style(cell, outline).items():
                got = shown[key]
                if key in ("left", "right", "top", "bottom") and want[2] is None:
                    got = got[:2]
                    want = want[:2]
                if key == "align" and got == "left" and want == "start":
                    continue
                if got != want:
                    lines.append("%s: %s %s shown, %s in the cells" % (where, key, got, want))
    lines += ["row %d column %d: a cell shown that the cells do not have" % (r + 1, c + 1) for (r, c) in placed]
    return lines


def random_grid(chance):
    rows, columns = chance.randint(1, 6), chance.randint(1, 6)
    cells = []
    for _ in range(rows * columns):
        text = "".join(chance.choice(["a", "B", "日", " ", "<", ">", "&", '"', "'", "\n", "1"])
                       for _ in range(chance.randint(0, 6)))
        cells.append({"text": text, "horiJustify": chance.randint(0, 5), "vertJustify": chance.randint(0, 4),
                      "charColor": chance.randint(0, 0xFFFFFF), "charHeight": chance.choice([0, 8, 10, 14]),
                      "bold": chance.randint(0, 1), "italic": chance.randint(0, 1),
                      "underline": chance.randint(0, 2), "strikeout": chance.randint(0, 2),
                      "backColor": chance.choice([0xFFFFFF, chance.randint(0, 0xFFFFFF)]), "mergePosition": 0,
                      "border": [chance.randint(0, 2) for _ in range(4)],
                      "borderColor": [chance.randint(0, 0xFFFFFF) for _ in range(4)]})
    grid = {"rows": rows, "columns": columns, "cells": cells}
    for _ in range(chance.randint(0, 2)):  # merged areas, where they do not overlap one another
        r0, c0 = chance.randrange(rows), chance.randrange(columns)
        r1, c1 = chance.randint(r0, rows - 1), chance.randint(c0, columns - 1)
        area = [cells[r * columns + c] for r in range(r0, r1 + 1) for c in range(c0, c1 + 1)]
        if len(area) < 2 or any(cell["mergePosition"] for cell in area):
            continue
        cells[r0 * columns + c0].update(mergeFirstColumn=c0, mergeLastColumn=c1, mergeFirstRow=r0, mergeLastRow=r1)
        for r in range(r0, r1 + 1):
            for c in range(c0, c1 + 1):
                code = 1 if c == c0 else 3 if c == c1 else 2
                cells[r * columns + c]["mergePosition"] = code + (0 if r == r0 else 6 if r == r1 else 3)
    return grid


def make_random(count, folder):
    chance = random.Random(20261208)
    os.makedirs(folder, exist_ok=True)
    for n in range(count):
        grid = random_grid(chance)
        flags = "".join("%s=ON\n" % flag for flag in FLAGS if chance.random() < 0.6)
        position = chance.choice(["", "center", "CENTER", "right", "left"])
        write(os.path.join(folder, "grid-%d.json" % n), json.dumps(grid))
        write(os.path.join(folder, "grid-%d.ini" % n),
              "[Param]\ninline_style_yn=ON\ntable_posh=%s\n%s" % (position, flags))
        done = subprocess.run([RENDER_GRID, "--program", "gridweave", "--ini", os.path.join(folder, "grid-%d.ini" % n),
                               "--grid", os.path.join(folder, "grid-%d.json" % n), "--normalise"],
                              capture_output=True, timeout=60)
        if done.returncode != 0:
            sys.exit("htmljudge: render-grid failed on grid %d: %s" % (n, done.stderr.decode()))
        with open(os.path.join(folder, "grid-%d.html" % n), "wb") as f:
            f.write(done.stdout)


def main():
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "validate" and len(sys.argv) > 2:
        lines, count = validate(sys.argv[2:])
        faulty = len({line.split(":")[0] for line in lines})
        summary = "htmljudge: %d documents, %d errors and warnings; %d passed, %d failed" % (
            count, len(lines), count - faulty, faulty)
    elif command == "browser" and len(sys.argv) == 4:
        with open(sys.argv[3]) as f:
            grid = json.load(f)
        lines = browser(sys.argv[2], grid)
        summary = "htmljudge: %d x %d cells in Chromium, %d differences" % (grid["rows"], grid["columns"], len(lines))
    elif command == "random" and len(sys.argv) == 4:
        make_random(int(sys.argv[2]), sys.argv[3])
        return
    else:
        sys.exit("htmljudge.py validate FRAGMENT... | browser FRAGMENT GRID_JSON | random COUNT DIR")
    for line in lines:
        print("htmljudge: " + line)
    print(summary)
    sys.exit(1 if lines else 0)


if __name__ == "__main__":
    main()
