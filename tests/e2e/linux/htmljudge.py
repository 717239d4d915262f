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
#   htmljudge.py source INPUT.html...            Chromium draws each copied HTML (never fetching
#                                                anything) and the table Gridweave writes from the
#                                                grid read from it (every formatting flag on): the
#                                                two compared slot by slot; an input the reader
#                                                does not take (exit 3) is passed over
# Work files (documents, Chromium's private profile) go to HTMLJUDGE_WORK (default
# build/htmljudge). Each prints one line per difference and exits 1 on any.
import html
import itertools
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
RENDER_GRID = os.environ.get("HTMLJUDGE_RENDER_GRID") or os.path.join(ROOT, "build", "linux", "tools", "render-grid")
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


def draw(page, scale=1):
    """The page as headless Chromium leaves it (its DOM), drawn at a device-scale factor of scale."""
    return run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                "--host-resolver-rules=MAP * ~NOTFOUND", "--force-device-scale-factor=%d" % scale,
                "--user-data-dir=" + os.path.join(WORK, "chromium-profile"), "--dump-dom", "file://" + page], 120)


def browser(fragment, grid):
    page = os.path.join(WORK, "page-%s.html" % os.path.basename(fragment))
    os.makedirs(WORK, exist_ok=True)
    write(page, document(read(fragment), probe=True))
    found = re.search(r'<pre id="computed">(.*?)</pre>', draw(page), re.S)
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
                      "charColor": chance.randint(0, 0xFFFFFF), "charHeight": chance.choice([-3, 0, 8, 10, 14]),
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


# --- source: the copied HTML against the table Gridweave writes from the grid read from it --------

# Computes every cell of the first table: its place by the HTML table model (rowIndex, then the
# first column no cell above still takes; rowspan ends at its row group's end, 0 reaching it), and
# what Chromium draws of it. Run on the copied HTML (where Google Sheets' gridlines are taken away
# first, GOOGLE_SHEETS being true) and on Gridweave's table alike; the nonce lets this script run
# and no script of the page.
SOURCE_PROBE = """<script nonce="htmljudge">
(() => {
  const table = document.querySelector("table"), style = e => getComputedStyle(e);
  const transparent = colour => /^rgba\\(.*, 0\\)$/.test(colour) || colour === "transparent";
  const sides = s => Object.fromEntries(["Left", "Right", "Top", "Bottom"].map(n =>
    [n.toLowerCase(), [parseFloat(s["border" + n + "Width"]), s["border" + n + "Style"], s["border" + n + "Color"]]]));
  // Google Sheets draws its gridlines by "td {border:1px solid #cccccc}" and the table's border
  // attribute: the sheet's look, not lines of the cells.
  if (GOOGLE_SHEETS) {
    for (const sheet of document.styleSheets)
      for (const rule of sheet.cssRules)
        if (rule.selectorText === "td")
          for (const name of [...rule.style]) if (name.startsWith("border")) rule.style.removeProperty(name);
    table.removeAttribute("border");
  }
  // Excel's mso-ignore:colspan, which CSS drops: the selectors of the rules that hold it.
  const ignoring = [];
  for (const sheet of document.querySelectorAll("style"))
    for (const [, selectors, body] of sheet.textContent.matchAll(/([^{}]*)\\{([^{}]*)\\}/g))
      if (/mso-ignore\\s*:\\s*colspan/i.test(body)) ignoring.push(...selectors.replace(/<!--|-->/g, "").split(","));
  const matches = (td, selector) => { try { return td.matches(selector.trim()); } catch { return false; } };
  const ignores = td => /mso-ignore\\s*:\\s*colspan/i.test(td.getAttribute("style") || "") ||
    ignoring.some(selector => matches(td, selector));
  const look = td => {
    // The text's formatting is that of the element holding its first visible non-blank text.
    let holder = td;
    const walker = document.createTreeWalker(td, NodeFilter.SHOW_TEXT);
    for (let node; (node = walker.nextNode());)
      if (/\\S/.test(node.data) && node.parentElement.checkVisibility({visibilityProperty: true})) {
        holder = node.parentElement;
        break;
      }
    let block = holder;  // text-align acts on the block that lays the text out
    while (block !== td && style(block).display.startsWith("inline")) block = block.parentElement;
    const decoration = new Set();  // text-decoration propagates to the descendants
    for (let e = holder; e !== td.parentElement; e = e.parentElement)
      style(e).textDecorationLine.split(" ").forEach(line => decoration.add(line));
    // The cell's background, else its row's, row group's, table's; else the page's white shows.
    const background = [td, td.parentElement, td.parentElement.parentElement, table]
      .map(e => style(e).backgroundColor).find(colour => !transparent(colour));
    const s = style(holder);
    // A <br> that ends the cell's text ends its last line and shows no line after it: innerText
    // counts its line feed all the same.
    let last = null;
    const nodes = document.createTreeWalker(td, NodeFilter.SHOW_TEXT | NodeFilter.SHOW_ELEMENT);
    for (let node; (node = nodes.nextNode());)
      if (node.nodeName === "BR" || (node.nodeType === Node.TEXT_NODE && /\\S/.test(node.data))) last = node;
    const text = SOURCE_SIDE && last && last.nodeName === "BR" ? td.innerText.replace(/\\n$/, "") : td.innerText;
    return {text, background: background || "rgb(255, 255, 255)", color: s.color,  // black unless set
      bold: parseFloat(s.fontWeight) >= 700, italic: /^(italic|oblique)/.test(s.fontStyle),
      underline: decoration.has("underline"), "line-through": decoration.has("line-through"),
      size: parseFloat(s.fontSize), align: style(block).textAlign, valign: style(td).verticalAlign,
      ...sides(style(td))};
  };
  const cells = [], taken = [];
  for (const tr of table.rows) {
    const r = tr.rowIndex, group = tr.parentElement.rows, end = group[group.length - 1].rowIndex;
    let c = 0;
    for (const td of tr.cells) {
      while (taken[r] && taken[r][c]) c++;
      const last = td.rowSpan === 0 ? end : Math.min(end, r + td.rowSpan - 1);
      for (let y = r; y <= last; y++) for (let x = c; x < c + td.colSpan; x++) (taken[y] = taken[y] || [])[x] = true;
      cells.push({row: r, column: c, rows: last - r + 1, columns: td.colSpan, ignore: ignores(td), ...look(td)});
      c += td.colSpan;
    }
  }
  const out = document.createElement("pre");
  out.id = "htmljudge-source";
  out.textContent = JSON.stringify({cells, table: {...sides(style(table)),
    collapse: style(table).borderCollapse === "collapse"}});
  document.body.appendChild(out);
})();
</script>"""
# Nothing is fetched: no file, no address; only the page's own styles and the probe run.
POLICY = (b'<meta http-equiv="Content-Security-Policy" content="default-src \'none\'; '
          b'style-src \'unsafe-inline\'; script-src \'nonce-htmljudge\'">')
# Computed border widths are snapped to whole device pixels: at 100 device pixels a CSS pixel they
# keep two decimals, so only widths from 3.0236 to 3.03px would be taken for thin.
SCALE = 100
NO_LINE = [0, "none", ""]
STYLE_ORDER = ["double", "solid", "dashed", "dotted", "ridge", "outset", "groove", "inset"]


def drawn_cells(name, markup, sheets=False, source_side=False):
    """Chromium's cells of the markup (bytes of a whole document) with the probe: (cells, table sides)."""
    if markup.startswith(b"Version:"):  # the Windows clipboard's header: the document starts at StartHTML
        markup = markup[int(re.search(rb"StartHTML:(\d+)", markup).group(1)):]
    # Excel's own line styles, which CSS does not know (a browser drops the declaration), are lines
    # in Excel: drawn here as the nearest style CSS has.
    for excel, css in ((rb"hairline", b"solid"), (rb"slash-dot-dash|dot-dash", b"dashed"), (rb"dot-dot-dash", b"dotted")):
        markup = re.sub(rb"(border[-a-z]*\s*:[^;}'\"]*?)\b(?:%s)\b" % excel, rb"\1" + css, markup, flags=re.I)
    # The policy goes after any doctype, so that the document keeps its mode (quirks or not).
    doctype = re.match(rb"(\xef\xbb\xbf)?\s*(<!--.*?-->\s*)*<!doctype[^>]*>", markup, re.I | re.S)
    at = doctype.end() if doctype else 0
    page = os.path.join(WORK, "source-" + name)
    with open(page, "wb") as f:
        f.write(markup[:at] + POLICY + markup[at:] +
                SOURCE_PROBE.replace("GOOGLE_SHEETS", "true" if sheets else "false")
                .replace("SOURCE_SIDE", "true" if source_side else "false").encode())
    found = re.search(r'<pre id="htmljudge-source">(.*?)</pre>', draw(page, SCALE), re.S)
    if not found:
        return None, None
    drawn = json.loads(html.unescape(found.group(1)))
    return drawn["cells"], drawn["table"]


def slot_map(cells, rows_of=None, columns_of=None):
    """Each grid slot's cell. Where rows_of and columns_of are given, the cells stand in the places
    of the table Gridweave writes, which leaves out the grid's rows and columns that merged areas
    cover whole: a grid slot is then the table slot of its row and column there."""
    placed = {}
    for n, cell in enumerate(cells):
        for r in range(cell["row"], cell["row"] + cell["rows"]):
            for c in range(cell["column"], cell["column"] + cell["columns"]):
                placed.setdefault((r, c), n)
    if rows_of is None:
        return placed
    return {(r, c): placed[(rows_of[r], columns_of[c])] for r in range(len(rows_of)) for c in range(len(columns_of))
            if (rows_of[r], columns_of[c]) in placed}


def ignored_colspans(cells):
    """Excel's mso-ignore:colspan is text running over empty cells, not a merge: the text in the
    first slot, then empty unmerged cells with the cell's lines (left only first, right only last)
    and background."""
    pieces = []
    for cell in cells:
        count = cell["columns"] if cell["ignore"] else 1
        for k in range(count):
            piece = dict(cell, column=cell["column"] + k, columns=cell["columns"] if count == 1 else 1, runs_over=k > 0)
            if k > 0:
                piece.update(text="", left=NO_LINE)
            if k < count - 1:
                piece["right"] = NO_LINE
            pieces.append(piece)
    return pieces


def live_lines(grid):
    """For each grid row and column, its row and column in Gridweave's table, which leaves out those
    that merged areas cover whole (no cell begins in them)."""
    rows, columns = grid["rows"], grid["columns"]
    covered = set()
    for c0, c1, r0, r1 in grid.get("merges", []):
        covered.update((r, c) for r in range(r0, r1 + 1) for c in range(c0, c1 + 1) if (r, c) != (r0, c0))
    for n, cell in enumerate(grid.get("cells", [])):
        if cell.get("mergePosition", 0) > 1:
            covered.add(divmod(n, columns))
    live_rows = [any((r, c) not in covered for c in range(columns)) for r in range(rows)]
    live_columns = [any((r, c) not in covered for r in range(rows)) for c in range(columns)]
    return ([max(n - 1, 0) for n in itertools.accumulate(live)] for live in (live_rows, live_columns))


def extents(placed):
    """Each cell's first slot and its rows and columns of slots."""
    corners = {}
    for (r, c), n in placed.items():
        r0, c0, r1, c1 = corners.get(n, (r, c, r, c))
        corners[n] = (min(r0, r), min(c0, c), max(r1, r), max(c1, c))
    return {n: ((r0, c0), (r1 - r0 + 1, c1 - c0 + 1)) for n, (r0, c0, r1, c1) in corners.items()}


def line(candidates, thick, collapse):
    """What an edge between two slots shows: with border-collapse a line belongs to both cells (a
    source may write a shared edge once), so the edge has a line when either side has one; its
    colour is that of the winner by CSS's collapse order (wider, then the style's rank, then the
    left or top cell; the table's own border last)."""
    drawn = [side for side in candidates if side and side[1] not in ("none", "hidden") and side[0] > 0]
    if not drawn:
        return "none"
    # Collapsed, inset is drawn (and ranked, as Chromium shows) as ridge and outset as groove.
    drawn_as = {"inset": "ridge", "outset": "groove"} if collapse else {}
    rank = lambda style: STYLE_ORDER.index(drawn_as.get(style, style))
    winner = min(enumerate(drawn), key=lambda e: (-e[1][0], rank(e[1][1]), e[0]))[1]
    return "%s %s" % ("thick" if thick(winner) else "thin", winner[2])


def horizontal(align):
    # -webkit-center is a td's align="center"; the start is the left (left-to-right text).
    align = align.replace("-webkit-", "").replace("-internal-", "")
    return {"start": "left", "auto": "left", "end": "right"}.get(align, align)


def vertical(align):
    # The grid's standard (bottom, which Gridweave writes as bottom) is the input's bottom or
    # baseline; CSS draws a cell with any other value than top, middle or bottom at the baseline;
    # middle, a web table cell's default, stays middle.
    return align if align in ("top", "middle") else "bottom"


def plain_text(text, source=None):
    """A cell's text as the comparison takes it: U+00A0 as a space. Gridweave writes a tab as it is,
    which a browser shows as a space and drops at a line's end; a browser drops a form feed at a
    line's edges but not inside one, where the reader, as HTML, takes it for white space. Where the
    source has either, both sides are read with them as collapsed spaces."""
    source = text if source is None else source
    text = text.replace("\u00a0", " ")
    if "\t" in source or "\x0c" in source:
        text = "\n".join(re.sub(r"[ \t\x0c]+", " ", line).strip(" ") for line in text.split("\n"))
    return text


def compare_source(path):
    """The differences between the copied HTML and Gridweave's table of it, and a line on what was
    compared."""
    name = os.path.basename(path)
    ini = os.path.join(WORK, "source.ini")
    os.makedirs(WORK, exist_ok=True)
    write(ini, "[Param]\ninline_style_yn=ON\n" + "".join("%s=ON\n" % flag for flag in FLAGS))
    render = lambda *more: subprocess.run([RENDER_GRID, "--program", "gridweave", "--html", path] + list(more),
                                          capture_output=True, timeout=60)
    written = render("--ini", ini)
    if written.returncode == 3:
        return [], "not taken (render-grid exits 3)"
    dumped = render("--ini", "/dev/null", "--dump")
    if written.returncode != 0 or dumped.returncode != 0:
        why = (written.stderr + dumped.stderr).decode("utf-8", "replace").strip()
        return ["%s: render-grid failed: %s" % (name, why)], "failed"
    grid = json.loads(dumped.stdout)
    with open(path, "rb") as f:
        markup = f.read()
    sheets = b"google-sheets-html-origin" in markup
    source, source_table = drawn_cells(name, markup, sheets, True)
    output, output_table = drawn_cells(name + "-gridweave.html", document(written.stdout.decode()).encode())
    if source is None or output is None:
        return ["%s: Chromium drew no table" % name], "failed"
    source = ignored_colspans(source)
    # A row with no cell that no area crosses shows nothing: it is no row of the grid.
    live = {r: n for n, r in enumerate(sorted({r for r, _ in slot_map(source)}))}
    source = [dict(cell, row=live[cell["row"]]) for cell in source]
    into = slot_map(source)
    rows_of, columns_of = live_lines(grid)
    out = slot_map(output, rows_of, columns_of)
    rows, columns = grid["rows"], grid["columns"]
    lines = []
    size = (max(r for r, _ in into) + 1, max(c for _, c in into) + 1) if into else (0, 0)
    if size != (rows, columns):
        lines.append("%s: the input's table has %d x %d slots, the grid %d x %d" % ((name,) + size + (rows, columns)))
    table = slot_map(output)
    if table and (max(table)[0] != rows_of[-1] or max(c for _, c in table) != columns_of[-1]):
        lines.append("%s: Gridweave's table is not the grid's live rows and columns" % name)

    def differ(r, c, field, want, got):
        if want != got:
            lines.append("%s row %d column %d: %s: input %s, output %s" % (name, r + 1, c + 1, field, want, got))

    compared = 0
    spans_in, spans_out = extents(into), extents(out)
    for n, cell in enumerate(source):  # slots with no input cell (a short row) are not compared
        r, c = cell["row"], cell["column"]
        if into.get((r, c)) != n or r >= rows or c >= columns:
            continue
        compared += 1
        if (r, c) not in out:
            differ(r, c, "cell", "present", "absent")
            continue
        shown = output[out[(r, c)]]
        start, spans = spans_out[out[(r, c)]]
        differ(r, c, "spans", "%d x %d" % spans_in[n][1],
               "%d x %d" % spans + ("" if start == (r, c) else " from row %d column %d" % (start[0] + 1, start[1] + 1)))
        differ(r, c, "text", repr(plain_text(cell["text"])), repr(plain_text(shown["text"], cell["text"])))
        differ(r, c, "background", cell["background"], shown["background"])
        if cell["runs_over"]:
            continue  # an empty cell the text runs over: its text has no formatting to show
        for field in ("color", "bold", "italic", "underline", "line-through"):
            differ(r, c, field, cell[field], shown[field])
        # The grid keeps whole points, truncated.
        differ(r, c, "size", "%dpt" % int(cell["size"] * 0.75 + 0.001), "%dpt" % round(shown["size"] * 0.75))
        differ(r, c, "horizontal alignment", horizontal(cell["align"]), horizontal(shown["align"]))
        differ(r, c, "vertical alignment", vertical(cell["valign"]), vertical(shown["valign"]))
    # Every edge between two slots and round the grid, but inside one cell (in either table) and
    # where the input has no cell on either side. Thick: over 80/100 mm (3.0236px, the grid's rule
    # for Calc's widths) or double in the input; Gridweave writes thin as 1px and thick as 2px.
    thick_in = lambda side: side[0] > 3.0236 or side[1] == "double"
    thick_out = lambda side: side[0] >= 2
    # A grid with no line at all gets every cell's lines (the programs ask first, the tool answers
    # OK): there is nothing of the input's to compare.
    if not any(any(cell["border"]) for cell in grid["cells"]):
        rows = columns = 0
    for r in range(rows + 1):
        for c in range(columns + 1):
            for a, b, near, far in (((r, c - 1), (r, c), "right", "left"), ((r - 1, c), (r, c), "bottom", "top")):
                if r == rows and far == "left" or c == columns and far == "top":
                    continue
                ends = [slot for slot in (a, b) if 0 <= slot[0] < rows and 0 <= slot[1] < columns]
                if not any(slot in into for slot in ends) or a in into and into.get(a) == into.get(b) \
                        or a in out and out.get(a) == out.get(b):
                    continue
                # The table's own border meets the cells' on the grid's edges only where borders collapse.
                edge = lambda cells, placed, table, thick: line(
                    [cells[placed[a]][near] if a in placed else None, cells[placed[b]][far] if b in placed else None,
                     table[near if a in ends else far] if len(ends) == 1 and table["collapse"] else None],
                    thick, table["collapse"])
                at, side = (b, far) if b in into else (a, near)
                differ(at[0], at[1], side + " line", edge(source, into, source_table, thick_in),
                       edge(output, out, output_table, thick_out))
    return lines, "source: %d cells compared%s" % (compared, "; drawn without Google Sheets' gridlines (its td "
                                                   "border rule and the table's border attribute)" if sheets else "")


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
    elif command == "source" and len(sys.argv) > 2:
        lines = []
        for path in sys.argv[2:]:
            found, note = compare_source(path)
            lines += found
            print("htmljudge: %s: %s" % (os.path.basename(path), note))
        summary = "htmljudge: %d inputs, %d differences" % (len(sys.argv) - 2, len(lines))
    else:
        sys.exit("htmljudge.py validate FRAGMENT... | browser FRAGMENT GRID_JSON | random COUNT DIR | source INPUT...")
    for line in lines:
        print("htmljudge: " + line)
    print(summary)
    sys.exit(1 if lines else 0)


if __name__ == "__main__":
    main()
