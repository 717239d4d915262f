#!/usr/bin/python3
# Judges wiki table markup by a real engine of its syntax: the engine renders the markup to HTML,
# and the first table of that HTML must show the copied cells as Calc holds them (the grid that
# expect.py derives from the cell facts of workbook.py), never some markup recorded before.
#   wikijudge.py render ENGINE MARKUP_FILE
#   wikijudge.py judge ENGINE MARKUP_FILE GRID_JSON CAPABILITIES
#   wikijudge.py selftest
#   wikijudge.py hostile SAMPLE ENGINE CAPABILITIES TEXTS_FILE [INI]
#   wikijudge.py hostile-all [TEXTS_FILE]
#   wikijudge.py samples
# hostile judges whether every cell's text comes out of the engine exactly as it stands in the cell
# (only the white space that HTML itself collapses may differ; formats are not judged): each text
# of TEXTS_FILE is put alone in a 1 x 1 grid, in every cell of a 3 x 3 grid with plain neighbours,
# after and before a line break in a cell, and as the text of a merged area's anchor; Gridquill
# writes each grid with the sample's settings (examples/gridquill/SAMPLE/Gridquill.ini, or INI)
# through tools/render-grid (WIKIJUDGE_RENDER_GRID, else build/linux/tools/render-grid, built when
# missing) and the engine renders it. Many grids go to the engine in one document; a document with
# differences is judged again in smaller groups, so that each difference is told of the text and position
# that make it. Prints one line per difference and the count; exits with 1 on any.
# TEXTS_FILE, by default tests/data/hostile/SAMPLE.txt, holds one cell text a line, UTF-8: "\n"
# stands for a line break in the cell, "\\" for a backslash, "\#" for "#" (a text may start with
# it); any other character, spaces too, is itself. Lines that start with "#" are comments; empty
# lines are skipped.
# hostile-all runs hostile for every sample of JUDGED_SAMPLES with a list in tests/data/hostile
# (with TEXTS_FILE: that list for every one) and prints "N passed, M failed"; samples prints
# JUDGED_SAMPLES in the form of run-calc-e2e.sh's judged_samples.
# ENGINE is one of ENGINES below. CAPABILITIES name what the syntax can carry, separated by commas:
#   merge=span    a merged area is one cell with colspan/rowspan (the default)
#   merge=blank   the syntax cannot merge: the area's covered cells are empty cells, its text is in
#                 the area's first cell
#   lost=CHARS    characters the syntax cannot write as text (its engine reads them as markup
#                 whatever the escape): texts are compared without them
#   header=yes    the first row is a header row (th), the others are not; header=no (the default):
#                 no header cell anywhere
#   bold, italic, underline, strike, halign, valign, bgcolor, color, size: formatting judged
# Texts are always judged. judge prints one line per difference and exits with 1 on any.
# MediaWiki runs from a private copy of /usr/share/mediawiki, installed once into the folder that
# WIKIJUDGE_WORK names (default build/wikijudge) and reused while it is there.
import json
import os
import re
import shutil
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor
from html.parser import HTMLParser

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
ENGINES = {
    "mediawiki": None,  # the private copy's parse.php, see mediawiki()
    "dokuwiki": ["php", "/usr/share/dokuwiki/bin/render.php"],
    "redcloth": ["ruby", "-e", 'require "redcloth"; print RedCloth.new(STDIN.read.force_encoding("UTF-8")).to_html'],
    # GitHub's flavour: tables, ~~strike~~ and addresses made links; raw HTML such as <br> is kept.
    "cmark-gfm": ["cmark-gfm", "-e", "table", "-e", "strikethrough", "-e", "autolink", "--unsafe"],
    "asciidoctor": ["asciidoctor", "-s", "-o", "-", "-"],
    "pandoc-jira": ["pandoc", "-f", "jira", "-t", "html"],
    "pandoc-creole": ["pandoc", "-f", "creole", "-t", "html"],
}
FORMATS = ["bold", "italic", "underline", "strike", "halign", "valign", "bgcolor", "color", "size"]


def run(command, markup=b""):
    done = subprocess.run(command, input=markup, capture_output=True, timeout=120,
                          env={**os.environ, "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"})
    if done.returncode != 0:
        sys.exit("wikijudge: %s failed: %s" % (command[0], done.stderr.decode("utf-8", "replace")[-2000:]))
    return done.stdout.decode("utf-8", "replace")


def mediawiki():
    """The private MediaWiki's folder, installed on first use (a few seconds)."""
    work = os.path.abspath(os.environ.get("WIKIJUDGE_WORK") or os.path.join(ROOT, "build", "wikijudge"))
    wiki = os.path.join(work, "mediawiki")
    if os.path.exists(os.path.join(wiki, "LocalSettings.php")):
        return wiki
    # Installed aside and moved into place when complete, so that a broken install is never reused.
    fresh, data = wiki + ".new", os.path.join(work, "mediawiki-data")
    for old in (fresh, data, wiki):
        shutil.rmtree(old, ignore_errors=True)
    os.makedirs(data)
    run(["cp", "-a", "/usr/share/mediawiki", fresh])  # -a keeps the package's symlinks
    os.remove(os.path.join(fresh, "LocalSettings.php"))  # the package's link to /etc
    run(["php", os.path.join(fresh, "maintenance", "install.php"), "--dbtype", "sqlite", "--dbpath", data,
         "--dbname", "wikidb", "--pass", "Adm1n-passw0rd!", "--scriptpath", "/w", "--server", "http://localhost",
         "--confpath", fresh, "TestWiki", "Admin"])
    os.rename(fresh, wiki)
    return wiki


# Atlassian documents "\X" as the escape of any special character of Confluence's wiki markup, so
# "\~" for a "~" (a pair makes a subscript). pandoc's Jira reader, the only judge of it here, does
# not know that escape: the judge stands in for it, giving pandoc a private-use character that it
# leaves alone in place of each "\~", and reading a "~" back where it shows one.
JIRA_TILDE = "\ue000"


def render(engine, markup):
    """The HTML that the engine makes of the markup (bytes, UTF-8)."""
    command = ENGINES[engine] or ["php", os.path.join(mediawiki(), "maintenance", "parse.php")]
    if engine == "pandoc-jira":
        return run(command, markup.replace(b"\\~", JIRA_TILDE.encode("utf-8"))).replace(JIRA_TILDE, "~")
    return run(command, markup)


# --- What the HTML shows -------------------------------------------------------------------------

NAMED_COLOURS = {"black": 0, "white": 0xFFFFFF, "red": 0xFF0000, "lime": 0x00FF00, "green": 0x008000,
                 "blue": 0x0000FF, "yellow": 0xFFFF00, "aqua": 0x00FFFF, "fuchsia": 0xFF00FF}
TAGS = {"b": "bold", "strong": "bold", "i": "italic", "em": "italic", "u": "underline", "ins": "underline",
        "s": "strike", "del": "strike", "strike": "strike"}
# Alignment and decoration that engines give as class names: DokuWiki, Asciidoctor.
CLASSES = {"leftalign": ("halign", "left"), "centeralign": ("halign", "center"), "rightalign": ("halign", "right"),
           "halign-left": ("halign", "left"), "halign-center": ("halign", "center"),
           "halign-right": ("halign", "right"), "valign-top": ("valign", "top"),
           "valign-middle": ("valign", "middle"), "valign-bottom": ("valign", "bottom"),
           "underline": ("underline", True), "line-through": ("strike", True)}
VOID = {"br", "img", "hr", "col", "wbr", "input", "meta", "link"}
BLOCKS = {"p", "div", "li"}


def colour(value):
    """A colour as 0xrrggbb when it can be read, else the text as written."""
    value = value.strip().lower()
    if re.fullmatch(r"#[0-9a-f]{3}", value):
        value = "#" + "".join(2 * digit for digit in value[1:])
    if re.fullmatch(r"#[0-9a-f]{6}", value):
        return int(value[1:], 16)
    rgb = re.fullmatch(r"rgb\(\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*\)", value)
    if rgb:
        return sum(int(part) << shift for part, shift in zip(rgb.groups(), (16, 8, 0)))
    return NAMED_COLOURS.get(value, value)


def properties(tag, attrs):
    """The formatting that one element gives to what it holds."""
    a = {name: value or "" for name, value in attrs}
    shown = {}
    if tag in TAGS:
        shown[TAGS[tag]] = True
    classes = a.get("class", "").split()
    if tag == "em" and "u" in classes:
        shown = {"underline": True}  # DokuWiki's underline
    shown.update(CLASSES[name] for name in classes if name in CLASSES)
    for name, key in (("align", "halign"), ("valign", "valign")):
        if a.get(name):
            shown[key] = a[name].lower()
    if a.get("bgcolor"):
        shown["bgcolor"] = colour(a["bgcolor"])
    if a.get("color"):
        shown["color"] = colour(a["color"])  # <font color>, and pandoc's span for Jira's {color}
    for declaration in a.get("style", "").split(";"):
        name, _, value = (part.strip().lower() for part in declaration.partition(":"))
        if name == "font-weight":
            shown["bold"] = value in ("bold", "bolder") or (value.isdigit() and int(value) >= 600)
        elif name == "font-style":
            shown["italic"] = value in ("italic", "oblique")
        elif name in ("text-decoration", "text-decoration-line"):
            # Decorations add up: an inner element cannot take off an outer one's line.
            shown.update({key: True for key, word in (("underline", "underline"), ("strike", "line-through"))
                          if word in value})
        elif name == "color":
            shown["color"] = colour(value)
        elif name in ("background-color", "background"):
            shown["bgcolor"] = colour(value)
        elif name in ("font-size", "text-align", "vertical-align"):
            shown[{"font-size": "size", "text-align": "halign", "vertical-align": "valign"}[name]] = value
    if shown.get("valign") == "center":
        shown["valign"] = "middle"
    return shown


class FirstTable(HTMLParser):
    """The rows of the first table: each cell with its tag, spans, own formatting and its text as
    pieces, each with the formatting of the elements around it."""

    def __init__(self, every=False):
        super().__init__(convert_charrefs=True)
        self.rows, self.nested, self.done, self.cell, self.open = None, 0, False, None, []
        # every: read every table that is not inside another one, each into self.tables.
        self.every, self.tables = every, []

    def handle_starttag(self, tag, attrs):
        if self.done:
            return
        if tag == "table":
            if self.rows is None:
                self.rows = []
            else:
                self.nested += 1
            return
        if self.rows is None or self.nested:
            return
        if tag == "tr":
            self.rows.append([])
            self.cell = None
        elif tag in ("td", "th"):
            a = dict(attrs)
            span = lambda name: int(a[name]) if (a.get(name) or "").isdigit() and int(a[name]) > 0 else 1
            self.open = [(tag, properties(tag, attrs))]
            self.cell = {"tag": tag, "colspan": span("colspan"), "rowspan": span("rowspan"),
                         "own": self.open[0][1], "pieces": []}
            if not self.rows:
                self.rows.append([])
            self.rows[-1].append(self.cell)
        elif self.cell is not None:
            if tag == "br":
                self.add("\n")
            elif tag not in VOID:
                if tag in BLOCKS and "".join(text for text, _ in self.cell["pieces"]).strip():
                    self.add("\n")  # a further paragraph starts on a line of its own
                self.open.append((tag, properties(tag, attrs)))

    def handle_endtag(self, tag):
        if self.done or self.rows is None:
            return
        if tag == "table":
            if self.nested:
                self.nested -= 1
            elif self.every:
                self.tables.append(self.rows)
                self.rows, self.cell = None, None
            else:
                self.done = True
        elif self.nested:
            return
        elif tag in ("td", "th", "tr"):
            self.cell = None
        elif self.cell is not None:
            for i in range(len(self.open) - 1, 0, -1):
                if self.open[i][0] == tag:
                    del self.open[i:]
                    break

    def handle_data(self, data):
        if self.cell is not None and not self.done and not self.nested:
            self.add(data.replace("\n", " "))  # a line end of the HTML source is a space

    def add(self, text):
        shown = {}
        for _, given in self.open:
            for key, value in given.items():
                shown[key] = (shown.get(key) or value) if key in ("underline", "strike") else value
        self.cell["pieces"].append((text, shown))


def first_table(html):
    reader = FirstTable()
    reader.feed(html)
    reader.close()
    return reader.rows


def every_table(html):
    """The rows of each table that is not inside another one, in the order of the HTML."""
    reader = FirstTable(every=True)
    reader.feed(html)
    reader.close()
    return reader.tables + ([reader.rows] if reader.rows is not None else [])  # one left open


def layout(rows):
    """The HTML cells by the row and column where each starts, by the table model of HTML."""
    taken, placed = set(), {}
    for r, row in enumerate(rows):
        c = 0
        for cell in row:
            while (r, c) in taken:
                c += 1
            placed[(r, c)] = cell
            taken.update((r + dr, c + dc) for dr in range(cell["rowspan"]) for dc in range(cell["colspan"]))
            c += cell["colspan"]
    return placed


def plain(text):
    """A text as it reads: spaces collapsed, none around line breaks or at the ends."""
    return "\n".join(" ".join(line.split()) for line in text.split("\n")).strip(" ")


def shown_value(cell, key):
    """What the cell shows of one formatting: one value for all its visible text (the cell's own
    when it has none), else "mixed"."""
    values = {repr(shown.get(key)): shown.get(key) for text, shown in cell["pieces"] if text.strip()}
    if not values:
        return cell["own"].get(key)
    return values.popitem()[1] if len(values) == 1 else "mixed"


# --- The comparison ------------------------------------------------------------------------------

def wanted(grid, merge):
    """The cells that the table must have: (row, column) -> (grid cell, rows, columns, covered)."""
    columns = grid["columns"]
    cells = {}
    for r in range(grid["rows"]):
        for c in range(columns):
            cell = grid["cells"][r * columns + c]
            anchor = cell["mergePosition"] != 0 and cell.get("mergeFirstRow") == r and cell.get("mergeFirstColumn") == c
            covered = cell["mergePosition"] != 0 and not anchor
            if anchor and merge == "span":
                cells[(r, c)] = (cell, cell["mergeLastRow"] - r + 1, cell["mergeLastColumn"] - c + 1, False)
            elif not covered or merge == "blank":
                cells[(r, c)] = (cell, 1, 1, covered)
    return cells


def format_differences(cell, html_cell, formats):
    """What the HTML cell shows otherwise than the grid cell, as (what, shown, in the cells)."""
    differences = []
    has_text = bool(plain(cell["text"]))
    for key, want in (("bold", cell["bold"]), ("italic", cell["italic"]),
                      ("underline", cell["underline"]), ("strike", cell["strikeout"])):
        if key not in formats or not has_text or (key == "bold" and html_cell["tag"] == "th"):
            continue  # a browser shows every header cell bold
        shown = shown_value(html_cell, key)
        shown = shown if shown == "mixed" else bool(shown)
        if shown != bool(want):
            differences.append((key, shown, bool(want)))
    if "halign" in formats:
        want = {2: "center", 3: "right"}.get(cell["horiJustify"], "left")
        shown = shown_value(html_cell, "halign")
        fits = shown == want or (shown is None and want == "left") or (shown == "justify" and cell["horiJustify"] == 4)
        if not fits and not (shown is None and html_cell["tag"] == "th"):  # a header's own centring
            differences.append(("horizontal alignment", shown, want))
    if "valign" in formats:
        want = {1: "top", 2: "middle"}.get(cell["vertJustify"], "bottom")  # Calc's standard is bottom
        shown = shown_value(html_cell, "valign")
        if shown != want:
            differences.append(("vertical alignment", shown, want))
    for key, field, default in (("bgcolor", "backColor", 0xFFFFFF), ("color", "charColor", 0)):
        shown = shown_value(html_cell, key)
        # A colour that is not shown is the default one.
        if key in formats and (default if shown is None else shown) != cell[field]:
            differences.append((key, "#%06x" % shown if isinstance(shown, int) else shown, "#%06x" % cell[field]))
    if "size" in formats:
        shown = shown_value(html_cell, "size")
        points = re.fullmatch(r"(\d+(?:\.\d+)?)pt", shown or "")
        # A size that is not shown is the default one, Calc's 10 points.
        if (float(points.group(1)) != cell["charHeight"]) if points else (shown is not None or cell["charHeight"] != 10):
            differences.append(("font size", shown, "%dpt" % cell["charHeight"]))
    return differences


def compare(html, grid, capabilities):
    """The differences between the first table of the HTML and the grid, one line each."""
    return compare_rows(first_table(html), grid, capabilities)


def compare_rows(rows, grid, capabilities):
    """The differences between a table's rows (FirstTable's form) and the grid, one line each."""
    options = dict(item.split("=", 1) for item in capabilities if "=" in item)
    formats = {item for item in capabilities if "=" not in item}
    merge, header = options.get("merge", "span"), options.get("header", "no")
    # Characters the syntax cannot write as text (its engine reads them as markup whatever the
    # escape): the texts are compared without them.
    lost = options.get("lost", "")
    if merge not in ("span", "blank") or header not in ("yes", "no") or formats - set(FORMATS) \
            or set(options) - {"merge", "header", "lost"}:
        sys.exit("wikijudge: capabilities not known: %s" % ",".join(capabilities))
    if rows is None:
        return ["no table shown"]
    lines = []
    if len(rows) != grid["rows"]:
        lines.append("%d rows shown, %d in the cells" % (len(rows), grid["rows"]))
    placed = layout(rows)
    where = lambda r, c: "row %d column %d" % (r + 1, c + 1)
    for (r, c), (cell, rowspan, colspan, covered) in sorted(wanted(grid, merge).items()):
        html_cell = placed.pop((r, c), None)
        if html_cell is None:
            lines.append("%s: no cell starts here (the cells have %r)" % (where(r, c), "" if covered else cell["text"]))
            continue
        if (html_cell["rowspan"], html_cell["colspan"]) != (rowspan, colspan):
            lines.append("%s: spans %d x %d shown, %d x %d in the cells" % (
                where(r, c), html_cell["rowspan"], html_cell["colspan"], rowspan, colspan))
        shown_text = plain("".join(ch for text, _ in html_cell["pieces"] for ch in text if ch not in lost))
        want_text = "" if covered else plain("".join(ch for ch in cell["text"] if ch not in lost))
        if shown_text != want_text:
            lines.append("%s: text %r shown, %r in the cells" % (where(r, c), shown_text, want_text))
        want_tag = "th" if header == "yes" and r == 0 else "td"
        if html_cell["tag"] != want_tag:
            lines.append("%s: a %s shown, a %s wanted" % (where(r, c), html_cell["tag"], want_tag))
        if not covered:
            lines += ["%s: %s %s shown, %s in the cells" % ((where(r, c),) + difference)
                      for difference in format_differences(cell, html_cell, formats)]
    for (r, c), html_cell in sorted(placed.items()):
        lines.append("%s: a cell shown that the cells do not have: %r" % (
            where(r, c), plain("".join(text for text, _ in html_cell["pieces"]))))
    return lines


def judge(engine, markup, grid, capabilities):
    lines = compare(render(engine, markup), grid, capabilities)
    for line in lines:
        print("wikijudge: %s: %s" % (engine, line))
    if not lines:
        print("wikijudge: %s: ok, %d x %d cells (%s)" % (
            engine, grid["rows"], grid["columns"], ",".join(capabilities)))
    return not lines


# --- The judge's own test ------------------------------------------------------------------------

# For each engine: what the syntax carries, markup by hand of three ranges of the test workbook
# (merged areas; "a|b", "2^3", "plain"; bold and italic), and faults that the judge must find,
# each a change of one of those markups: (range, what the fault is, text, its replacement).
SELFTEST = {
    "mediawiki": ("merge=span,header=no", {
        "A10:E13": '{|\n| colspan="2" rowspan="2" | Two by two || colspan="3" | One by three\n|-\n'
                   '| C11 || D11 || rowspan="3" | Three by one\n|-\n| A12 || B12 || C12 || D12\n|-\n'
                   '| A13 || B13 || C13 || D13\n|}\n',
        "A16:C16": "{|\n| a&#124;b || 2^3 || plain\n|}\n",
        "A1:B2": "{|\n| Name || 日本語\n|-\n| '''Bold''' || ''Italic''\n|}\n"}, [
        ("A10:E13", "lost colspan", 'colspan="3" | ', ""),
        ("A10:E13", "broken row", "B12 || C12", "B12\n|-\n| C12"),
        ("A16:C16", "| splits a cell", "&#124;", "|"),
        ("A1:B2", "italic for bold", "'''Bold'''", "''Bold''")]),
    "dokuwiki": ("merge=span,header=no", {
        "A10:E13": "| Two by two || One by three |||\n| ::: || C11 | D11 | Three by one |\n"
                   "| A12 | B12 | C12 | D12 | ::: |\n| A13 | B13 | C13 | D13 | ::: |\n",
        "A16:C16": "| a%%|%%b | 2%%^%%3 | plain |\n",
        "A1:B2": "| Name | 日本語 |\n| **Bold** | //Italic// |\n"}, [
        ("A10:E13", "lost colspan", "One by three |||", "One by three |"),
        ("A10:E13", "broken row", "B12 | C12", "B12 |\n| C12"),
        ("A16:C16", "| splits a cell", "a%%|%%b", "a|b"),
        ("A16:C16", "^ makes a header cell", "2%%^%%3", "2^3"),
        ("A1:B2", "underline for italic", "//Italic//", "__Italic__")]),
    "redcloth": ("merge=span,header=no", {
        "A10:E13": "|\\2/2. Two by two|\\3. One by three|\n|C11|D11|/3. Three by one|\n"
                   "|A12|B12|C12|D12|\n|A13|B13|C13|D13|\n",
        "A16:C16": "|a&#124;b|2^3|plain|\n",
        "A1:B2": "|Name|日本語|\n|*Bold*|_Italic_|\n"}, [
        ("A10:E13", "lost colspan", "\\3. One", "One"),
        ("A10:E13", "broken row", "B12|C12", "B12|\n|C12"),
        ("A16:C16", "| splits a cell", "&#124;", "|"),
        ("A1:B2", "italic for bold", "*Bold*", "_Bold_")]),
    "asciidoctor": ("merge=span,header=no", {
        "A10:E13": '[cols="5*"]\n|===\n2.2+|Two by two 3+|One by three\n|C11 |D11 .3+|Three by one\n'
                   "|A12 |B12 |C12 |D12\n|A13 |B13 |C13 |D13\n|===\n",
        "A16:C16": '[cols="3*"]\n|===\n|a\\|b |2^3 |plain\n|===\n',
        "A1:B2": '[cols="2*"]\n|===\n|Name |日本語\n|*Bold* |_Italic_\n|===\n'}, [
        ("A10:E13", "lost colspan", "3+|One", "|One"),
        ("A10:E13", "lost cell", "|C12 |D12", "|C12"),
        ("A16:C16", "| splits a cell", "a\\|b", "a|b"),
        ("A1:B2", "plain for italic", "_Italic_", "Italic")]),
    "cmark-gfm": ("merge=blank,header=yes", {
        "A10:E13": "| Two by two | | One by three | | |\n| --- | --- | --- | --- | --- |\n"
                   "| | | C11 | D11 | Three by one |\n| A12 | B12 | C12 | D12 | |\n| A13 | B13 | C13 | D13 | |\n",
        "A16:C16": "| a\\|b | 2^3 | plain |\n| --- | --- | --- |\n",
        "A1:B2": "| Name | 日本語 |\n| --- | --- |\n| **Bold** | *Italic* |\n"}, [
        ("A10:E13", "lost covered cell", "| | | C11", "| | C11"),
        ("A10:E13", "broken row", "B12 | C12", "B12\n| C12"),
        ("A16:C16", "| splits a cell", "a\\|b", "a|b"),
        ("A1:B2", "strike for bold", "**Bold**", "~~Bold~~")]),
    "pandoc-jira": ("merge=blank,header=no", {
        "A10:E13": "|Two by two| |One by three| | |\n| | |C11|D11|Three by one|\n"
                   "|A12|B12|C12|D12| |\n|A13|B13|C13|D13| |\n",
        "A16:C16": "|a&verbar;b|2^3|plain|\n",
        "A1:B2": "|Name|日本語|\n|*Bold*|_Italic_|\n"}, [
        ("A10:E13", "lost covered cell", "| | |C11", "| |C11"),
        ("A10:E13", "broken row", "B12|C12", "B12|\n|C12"),
        ("A16:C16", "| splits a cell", "&verbar;", "|"),
        ("A1:B2", "header for cell", "|Name|日本語|", "||Name||日本語||")]),
    "pandoc-creole": ("merge=blank,header=no", {
        "A10:E13": "|Two by two| |One by three| | |\n| | |C11|D11|Three by one|\n"
                   "|A12|B12|C12|D12| |\n|A13|B13|C13|D13| |\n",
        "A16:C16": "|a~|b|2^3|plain|\n",
        "A1:B2": "|Name|日本語|\n|**Bold**|//Italic//|\n"}, [
        ("A10:E13", "lost covered cell", "| | |C11", "| |C11"),
        ("A10:E13", "broken row", "B12|C12", "B12|\n|C12"),
        ("A16:C16", "| splits a cell", "a~|b", "a|b"),
        ("A1:B2", "italic for bold", "**Bold**", "//Bold//")]),
}


def selftest():
    """Every good markup must be judged the same as the cells, every changed one not."""
    sys.dont_write_bytecode = True  # no cache of expect.py in the source tree
    import expect
    failures, checks = 0, 0
    for engine, (options, markups, faults) in SELFTEST.items():
        trials = [(area, "good", markup) for area, markup in markups.items()]
        trials += [(area, what, markups[area].replace(old, new) if old in markups[area] else None)
                   for area, what, old, new in faults]
        for area, what, markup in trials:
            capabilities = options.split(",") + (["bold", "italic"] if area == "A1:B2" else [])
            lines = compare(render(engine, markup.encode("utf-8")), expect.grid_of(area), capabilities) \
                if markup else ["the text to change is not in the markup"]
            checks += 1
            if bool(lines) == (what == "good") or markup is None:
                failures += 1
                print("wikijudge selftest: %s %s %s FAILED%s" % (engine, area, what, "".join(
                    "\n    " + line for line in lines) or ": judged the same as the cells"))
    print("wikijudge selftest: %d of %d checks ok" % (checks - failures, checks))
    return failures == 0


# --- Hostile texts: every cell's text must come out of the engine as it stands in the cell --------

# Each judged sample of examples/gridquill with its engine and what its syntax carries: the same
# list as run-calc-e2e.sh's judged_samples (keep the two alike; `wikijudge.py samples` prints this
# one in that script's form). PukiWiki has no engine here. pandoc's Jira reader is given Atlassian's
# "\~" as render() says.
JUDGED_SAMPLES = [
    ("mediawiki", "mediawiki", "merge=span,header=yes,bold,italic,underline,strike,halign,valign,bgcolor,color,size"),
    ("textile", "redcloth", "merge=span,header=yes,bold,italic,underline,strike,halign,valign,bgcolor,color,size"),
    ("dokuwiki", "dokuwiki", "merge=span,header=no,bold,italic,underline,strike,halign"),
    ("asciidoc", "asciidoctor", "merge=span,header=no,bold,italic,underline,strike,halign"),
    ("markdown", "cmark-gfm", "merge=blank,header=yes,bold,italic,underline,strike"),
    ("confluence", "pandoc-jira", "merge=blank,header=yes,bold,italic,underline,strike,color"),
    ("creole", "pandoc-creole", "merge=blank,header=no,bold,italic"),
]
HOSTILE = os.path.join(ROOT, "tests", "data", "hostile")
# Between the tables of one document given to an engine: a paragraph of its own.
BETWEEN = b"\r\n\r\nwikijudgenext\r\n\r\n"


def hostile_texts(path):
    """The cell texts of a list in tests/data/hostile: one text a line; in a line "\\n" stands for
    a line break in the cell, "\\\\" for a backslash and "\\#" for "#" (so that a text can start
    with one); any other backslash is itself. A line that starts with "#" is a comment, and empty
    lines (or lines of spaces only) are skipped; every other character stands as it is, spaces at
    the line's ends too."""
    texts = []
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            line = line.rstrip("\r\n")
            if not line.strip() or line.startswith("#"):
                continue
            texts.append(re.sub(r"\\([n\\#])", lambda m: {"n": "\n", "\\": "\\", "#": "#"}[m.group(1)], line))
    return texts


def hostile_grid(rows, columns, texts, merge=None):
    """A grid in the form render-grid reads: the texts by row, every cell with lines all round (so
    that no question on lines arises), and the merged area [firstColumn, lastColumn, firstRow,
    lastRow] if any."""
    grid = {"rows": rows, "columns": columns, "merges": [merge] if merge else [],
            "cells": [{"text": text, "border": [1, 1, 1, 1]} for text in texts]}
    return grid


def grid_to_judge(grid):
    """The grid in the form compare() reads: its merged areas in every cell they take."""
    # The formats are those of a plain cell; compare() is not asked to judge them.
    plain_cell = {"bold": 0, "italic": 0, "underline": 0, "strikeout": 0, "horiJustify": 0, "vertJustify": 0,
                  "charColor": 0, "backColor": 0xFFFFFF, "charHeight": 10, "mergePosition": 0}
    cells = [{**plain_cell, "text": cell["text"]} for cell in grid["cells"]]
    for c0, c1, r0, r1 in grid["merges"]:
        for r in range(r0, r1 + 1):
            for c in range(c0, c1 + 1):
                cells[r * grid["columns"] + c].update(mergePosition=1, mergeFirstColumn=c0, mergeLastColumn=c1,
                                                      mergeFirstRow=r0, mergeLastRow=r1)
    return {"rows": grid["rows"], "columns": grid["columns"], "cells": cells}


def hostile_positions():
    """Every place a text is put in: (name, the grid of a text)."""
    letters = "abcdefghi"
    around = lambda at, text: [text if i == at else letters[i] for i in range(9)]
    positions = [("alone", lambda text: hostile_grid(1, 1, [text]))]
    for r in range(3):
        for c in range(3):
            positions.append(("3x3 row %d column %d" % (r + 1, c + 1),
                              lambda text, at=3 * r + c: hostile_grid(3, 3, around(at, text))))
    positions.append(("3x3 middle, after a line break", lambda text: hostile_grid(3, 3, around(4, "x\n" + text))))
    positions.append(("3x3 middle, before a line break", lambda text: hostile_grid(3, 3, around(4, text + "\nx"))))
    # The anchor of a 2 x 2 merged area; the cells it covers are empty, as Calc gives them.
    positions.append(("3x3 anchor of the merged A1:B2", lambda text: hostile_grid(
        3, 3, [text, "", "c", "", "", "f", "g", "h", "i"], [0, 1, 0, 1])))
    positions.append(("3x3 anchor of the merged B2:C3", lambda text: hostile_grid(
        3, 3, ["a", "b", "c", "d", text, "", "g", "", ""], [1, 2, 1, 2])))
    return positions


def render_grid_tool():
    """render-grid: WIKIJUDGE_RENDER_GRID, else the build's, built when it is not there."""
    tool = os.environ.get("WIKIJUDGE_RENDER_GRID")
    if tool:
        return tool
    tool = os.path.join(ROOT, "build", "linux", "tools", "render-grid")
    if not os.path.exists(tool):
        run(["cmake", "--build", os.path.join(ROOT, "build", "linux"), "--target", "render-grid"])
    return tool


def hostile(sample, engine, capabilities, texts_path, ini=None):
    """Judges every text of the list in every position (only texts: formats are not asked) and
    prints one line per difference and the count; True when there is none."""
    import tempfile
    import time
    started, runs = time.monotonic(), [0]
    # Only what shapes the table and its texts; a bad item is refused by compare().
    capabilities = [item for item in capabilities if "=" in item]
    texts, positions = hostile_texts(texts_path), hostile_positions()
    ini = ini or os.path.join(ROOT, "examples", "gridquill", sample, "Gridquill.ini")
    tool = render_grid_tool()
    # Several runs at a time: render-grid always; an engine only when it shares nothing (each
    # run of MediaWiki's parse.php opens the one private wiki's database).
    workers = os.cpu_count() or 4

    def alone(work, items):
        """work done for every item; a pool of its own, as work may need one too."""
        if engine == "mediawiki":
            return [work(item) for item in items]
        with ThreadPoolExecutor(max_workers=workers) as pool:
            return list(pool.map(work, items))

    pool = ThreadPoolExecutor(max_workers=workers)
    with tempfile.TemporaryDirectory(prefix="wikijudge-hostile-") as folder:
        def written(n_case):
            n, (text, (name, grid_of)) = n_case
            grid, grid_file = grid_of(text), os.path.join(folder, "grid-%d.json" % n)
            with open(grid_file, "w", encoding="utf-8") as out:
                json.dump(grid, out, ensure_ascii=False)
            done = subprocess.run([tool, "--program", "gridquill", "--ini", ini, "--grid", grid_file, "--normalise"],
                                  capture_output=True, timeout=60)
            if done.returncode != 0:
                return "render-grid failed on %r (%s): %s" % (text, name, done.stderr.decode("utf-8", "replace"))
            return text, name, grid_to_judge(grid), done.stdout
        # (text, position, grid to judge, markup)
        cases = list(pool.map(written, enumerate((text, position) for text in texts for position in positions)))
    for case in cases:
        if isinstance(case, str):
            sys.exit("wikijudge hostile: %s: %s" % (sample, case))

    def shown(ids):
        """The tables that the engine shows of the cases' markups, in one document."""
        runs[0] += 1
        return every_table(render(engine, BETWEEN.join(cases[i][3] for i in ids)))

    def judged(ids):
        """The differences of the cases, by case (None: of the cases together, each alone is
        right). Many cases go to the engine in one document; when it shows differences, the
        cases are judged again alone, or in halves when the document's tables are broken."""
        tables = shown(ids)
        if len(ids) == 1:
            lines = compare_rows(tables[0] if tables else None, cases[ids[0]][2], capabilities)
            if len(tables) > 1:
                lines.append("%d tables shown, one in the markup" % len(tables))
            return {ids[0]: lines} if lines else {}
        if len(tables) == len(ids):
            doubtful = [i for i, rows in zip(ids, tables) if compare_rows(rows, cases[i][2], capabilities)]
            if not doubtful:
                return {}
            found = {}
            for each in alone(judged, [[i] for i in doubtful]):
                found.update(each)
            if len(found) == len(doubtful):
                return found  # the other cases' tables were right
            if found:
                found.update(judged([i for i in ids if i not in found]))
                return found
        half = len(ids) // 2
        found = {}
        for each in alone(judged, [ids[:half], ids[half:]]):
            found.update(each)
        if not found:
            found[None] = ["%d tables shown for %d grids together, each of which is right alone" % (len(tables), len(ids))]
        return found

    pool.shutdown()
    found = judged(list(range(len(cases)))) if cases else {}
    count = 0
    for i, lines in sorted(found.items(), key=lambda item: -1 if item[0] is None else item[0]):
        what = "the texts together" if i is None else "%r in %s" % (cases[i][0], cases[i][1])
        for line in lines:
            print("wikijudge hostile: %s: %s: %s" % (sample, what, line))
            count += 1
    print("wikijudge hostile: %s: %d engine runs of %s, %.1f s" % (sample, runs[0], engine, time.monotonic() - started))
    print("wikijudge hostile: %s: %d texts in %d positions, %d differences" % (sample, len(texts), len(positions), count))
    return count == 0


def hostile_all(texts_path=None):
    """Every judged sample with a list of its own (or with the list given); one verdict each."""
    passed, failed = 0, 0
    for sample, engine, capabilities in JUDGED_SAMPLES:
        path = texts_path or os.path.join(HOSTILE, sample + ".txt")
        if not os.path.exists(path):
            print("wikijudge hostile: %s: no list %s" % (sample, os.path.relpath(path, ROOT)))
            continue
        if hostile(sample, engine, capabilities.split(","), path):
            passed += 1
        else:
            failed += 1
    print("wikijudge hostile: %d passed, %d failed" % (passed, failed))
    return failed == 0


def main():
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "render" and len(sys.argv) == 4 and sys.argv[2] in ENGINES:
        with open(sys.argv[3], "rb") as markup:
            sys.stdout.write(render(sys.argv[2], markup.read()))
    elif command == "judge" and len(sys.argv) == 6 and sys.argv[2] in ENGINES:
        with open(sys.argv[3], "rb") as markup, open(sys.argv[4]) as grid:
            sys.exit(0 if judge(sys.argv[2], markup.read(), json.load(grid), sys.argv[5].split(",")) else 1)
    elif command == "selftest":
        sys.exit(0 if selftest() else 1)
    elif command == "hostile" and len(sys.argv) in (6, 7) and sys.argv[3] in ENGINES:
        sys.exit(0 if hostile(sys.argv[2], sys.argv[3], sys.argv[4].split(","), sys.argv[5],
                              sys.argv[6] if len(sys.argv) == 7 else None) else 1)
    elif command == "hostile-all" and len(sys.argv) in (2, 3):
        sys.exit(0 if hostile_all(sys.argv[2] if len(sys.argv) == 3 else None) else 1)
    elif command == "samples" and len(sys.argv) == 2:
        print("\n".join(" ".join(entry) for entry in JUDGED_SAMPLES))
    else:
        sys.exit("wikijudge.py render ENGINE MARKUP_FILE | judge ENGINE MARKUP_FILE GRID_JSON CAPABILITIES"
                 " | selftest | hostile SAMPLE ENGINE CAPABILITIES TEXTS_FILE [INI] | hostile-all [TEXTS_FILE]"
                 " | samples\nENGINE: " + ", ".join(ENGINES))


if __name__ == "__main__":
    main()
