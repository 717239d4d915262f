#!/usr/bin/python3
# Judges the table structure the HTML reader takes from a clipboard document against html5lib, a
# parser we did not write that follows the WHATWG tree construction: every slot's text, the grid's
# size and the merged areas, from `render-grid --html FILE --dump`.
#   htmltables.py fixtures DIR        every DIR/*.html; no-table, two-tables and nested-table must
#                                     be refused (exit 3), the others read (exit 0)
#   htmltables.py random COUNT SEED   COUNT random documents, written to build/htmltables/random-N.html
#   htmltables.py show FILE...        the grid html5lib gives, to read by eye (no reader run)
# The grid: the HTML table model (rows of thead, tbody and tfoot in document order; colspan 0 or
# not a number is 1, at most 1000; rowspan 0 runs to the end of the row group, at most 65534),
# with two readings of what a browser shows: a rowspan stops at the end of its row group (the
# WHATWG model would add rows after it), and a table is as wide as its widest row (col and
# colgroup add no columns). Note: without a doctype (Excel's, Google's copies) a browser is in
# quirks mode and reads rowspan=0 as 1; the reader's rule, and this judge, do not. Excel's
# `mso-ignore:colspan` (text running over empty cells, on one row: Excel gives it no rowspan) is one
# slot and colspan-1 empty slots, not merged. Each prints one line per difference and exits 1 on
# any.
import json
import os
import random
import re
import subprocess
import sys

import html5lib

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
RENDER_GRID = os.environ.get("HTMLTABLES_RENDER_GRID") or os.path.join(ROOT, "build", "linux", "tools", "render-grid")
WORK = os.path.join(ROOT, "build", "htmltables")
REFUSED = ("no-table", "two-tables", "nested-table")
SPACE = " \t\n\r\f"
COLLAPSED = "\0"  # a collapsible space while a line is built; html5lib never leaves U+0000 in text
BLOCKS = set("address article aside blockquote center details dialog dd dir div dl dt fieldset figcaption figure "
             "footer form h1 h2 h3 h4 h5 h6 header hgroup hr legend li listing main menu nav ol p plaintext pre "
             "search section summary ul xmp".split())
UNSHOWN = {"script", "style", "template", "noscript", "title", "head"}
PRE_ELEMENTS = {"pre": "pre", "listing": "pre", "xmp": "pre", "plaintext": "pre"}


def parse(path=None, text=None):
    if path:
        with open(path, encoding="utf-8", newline="") as f:
            text = f.read()
    return html5lib.HTMLParser(tree=html5lib.getTreeBuilder("etree"), namespaceHTMLElements=False).parse(text)


# html5lib 1.1 keeps the line feed right after <pre> or <listing> in a table cell, which the WHATWG
# tree construction drops (as html5lib does outside tables).
PRE_FEED_KEPT = next(parse(text="<table><tr><td><pre>\nx").iter("pre")).text == "\nx"


def style(element, name):
    """The last value of a property in the element's style attribute (names and keywords lower-cased)."""
    found = re.findall(r"(?:^|;)\s*%s\s*:\s*([^;]*)" % name, element.get("style", "").lower())
    return found[-1].strip() if found else None


def white_space(element):
    """The white-space the element declares (inline style, or the UA sheet's pre elements), or None."""
    return style(element, "white-space") or PRE_ELEMENTS.get(element.tag)


def cell_text(cell, mode):
    """The cell's text as innerText gives it: collapsible white space collapsed and dropped at the
    line edges, <br> and preserved newlines a line feed, a block asks for a line break before and
    after it (a paragraph for two), the most of those asked for together, none at the start or
    end; U+00A0 read as a space; and a <br> that ends the text shows no line after it, so its line
    feed is not the cell's."""
    items = []  # ("t", character), ("s",) a collapsible space, ("n", by_br) a line feed, ("r", count)

    def add(text, mode):
        for ch in text:
            if ch == "\n" and mode in ("pre", "pre-wrap", "break-spaces", "pre-line"):
                items.append(("n", False))
            elif ch in SPACE and mode not in ("pre", "pre-wrap", "break-spaces"):
                items.append(("s",))
            else:
                items.append(("t", " " if ch == "\xa0" else ch))

    def walk(element, mode):
        drop = PRE_FEED_KEPT and element.tag in ("pre", "listing") and (element.text or "").startswith("\n")
        add((element.text or "")[drop:], mode)
        for child in element:
            shown = isinstance(child.tag, str) and child.tag not in UNSHOWN and "hidden" not in child.attrib
            if shown and style(child, "display") != "none":
                if child.tag == "br":
                    items.append(("n", True))
                else:
                    lines = 2 if child.tag == "p" else 1 if child.tag in BLOCKS else 0
                    if lines:
                        items.append(("r", lines))
                    walk(child, white_space(child) or mode)
                    if lines:
                        items.append(("r", lines))
            add(child.tail or "", mode)

    walk(cell, mode)
    # A collapsible space stays only between two characters of one line (no line feed or block
    # between them), once.
    kept, text = [], []
    for i, item in enumerate(items):
        if item[0] == "s":
            after = next((x for x in items[i + 1:] if x[0] != "s"), None)
            if not kept or kept[-1][0] != "t" or after is None or after[0] != "t":
                continue
        kept.append(item)
    while kept and kept[-1][0] == "r":
        kept.pop()
    ends_with_br = kept and kept[-1] == ("n", True)
    run = 0
    for item in kept:
        if item[0] == "r":
            run = max(run, item[1])
            continue
        if run and text:
            text.append("\n" * run)
        run = 0
        text.append("\n" if item[0] == "n" else " " if item[0] == "s" else item[1])
    return "".join(text)[:-1] if ends_with_br else "".join(text)


def integer(value):
    """HTML's rules for parsing non-negative integers; None where they fail."""
    found = re.match(r"[\t\n\f\r ]*([-+]?)([0-9]+)", value or "")
    if value is None or not found or (found.group(1) == "-" and int(found.group(2))):
        return None
    return int(found.group(2))


def expected(root):
    """The grid of the document's only table: rows, columns, every slot's text, the merged areas, and
    the slots two cells cover (a table model error: a rowspan and a later colspan overlap)."""
    parents = {child: parent for parent in root.iter() for child in parent}

    def mode(element):
        while element is not None and not white_space(element):
            element = parents.get(element)
        return "normal" if element is None else white_space(element)

    table = next(root.iter("table"))
    owners, cells, top = {}, [], 0
    for group in [g for g in table if g.tag in ("thead", "tbody", "tfoot")]:  # html5lib puts every tr in one
        rows = [tr for tr in group if tr.tag == "tr"]
        for y, tr in enumerate(rows, top):
            x = 0
            for cell in [c for c in tr if c.tag in ("td", "th")]:
                while (y, x) in owners:
                    x += 1
                colspan, rowspan = integer(cell.get("colspan")), integer(cell.get("rowspan"))
                colspan = min(colspan or 1, 1000)
                rowspan = top + len(rows) - y if rowspan == 0 else min(1 if rowspan is None else rowspan, 65534, top + len(rows) - y)
                spill = re.sub(r"\s", "", style(cell, "mso-ignore") or "") == "colspan"
                cells.append((cell, y, x, colspan, rowspan, spill))
                for r in range(y, y + rowspan):
                    for c in range(x, x + colspan):
                        owners.setdefault((r, c), []).append(len(cells) - 1)
                x += colspan
        top += len(rows)
    # A row with no cell that no area crosses shows nothing: it is no row of the grid.
    live = sorted({r for r, _ in owners})
    index = {r: n for n, r in enumerate(live)}
    cells = [(cell, index[y], x, cs, rs, spill) for cell, y, x, cs, rs, spill in cells]
    owners = {(index[r], c): who for (r, c), who in owners.items()}
    top = len(live)
    columns = max([c + 1 for _, c in owners] or [0])
    texts = {(y, x): cell_text(cell, mode(cell)) for cell, y, x, _, _, _ in cells}
    merges = {(x, x + cs - 1, y, y + rs - 1): n for n, (_, y, x, cs, rs, spill) in enumerate(cells)
              if (cs > 1 or rs > 1) and not spill}
    shared = {slot for slot, who in owners.items() if len(who) > 1}
    return top, columns, texts, merges, shared, owners


def tables(root):
    """(top-level tables, nested tables) as html5lib builds them."""
    nested = {inner for outer in root.iter("table") for inner in outer.iter("table") if inner is not outer}
    return len(list(root.iter("table"))) - len(nested), len(nested)


def judge(path, refuse):
    """The differences between the reader's grid of path and html5lib's."""
    name = os.path.basename(path)
    done = subprocess.run([RENDER_GRID, "--program", "gridweave", "--ini", "/dev/null", "--html", path, "--dump"],
                          capture_output=True, timeout=120)
    root = parse(path)
    if (tables(root) == (1, 0)) == refuse:
        return ["%s: html5lib finds %s top-level and %s nested tables" % ((name,) + tables(root))]
    if refuse:
        return [] if done.returncode == 3 else ["%s: exit %d, the reader must refuse it (3)" % (name, done.returncode)]
    rows, columns, texts, merges, shared, owners = expected(root)
    # Overlapping spans: the WHATWG model keeps both cells, the reader may refuse the document.
    if shared and done.returncode == 3:
        return []
    if done.returncode != 0:
        return ["%s: exit %d%s: %s" % (name, done.returncode, " (spans overlap)" if shared else "",
                                        done.stderr.decode("utf-8", "replace").strip())]
    grid = json.loads(done.stdout)
    if (grid["rows"], grid["columns"]) != (rows, columns):
        return ["%s: %d x %d read, %d x %d expected" % (name, grid["rows"], grid["columns"], rows, columns)]
    # Where spans overlap only the slots of cells that take part in no overlap are compared.
    unsure = {s for slot in shared for n in owners[slot] for s, who in owners.items() if n in who}
    lines = []
    for r in range(rows):
        for c in range(columns):
            got, want = grid["cells"][r * columns + c]["text"], texts.get((r, c), "")
            if (r, c) not in unsure and got != want:
                lines.append("%s: row %d column %d: text %r read, %r expected" % (name, r + 1, c + 1, got, want))
    read = {tuple(m) for m in grid["merges"]}
    sure = lambda area: not any((r, c) in unsure for r in range(area[2], area[3] + 1) for c in range(area[0], area[1] + 1))
    lines += ["%s: merged area %s read, not expected" % (name, list(m)) for m in sorted(read - set(merges)) if sure(m)]
    lines += ["%s: merged area %s expected, not read" % (name, list(m)) for m in sorted(set(merges) - read) if sure(m)]
    return lines


# Random documents: what html5lib makes of them is the expectation, so they may be as odd as the
# tokenizer allows, as long as no text lands outside a cell (the reader refuses that).
TEXTS = ["abc", "Zy", "42", "日本語", "ﾃｽﾄｶﾅ", "全角　空白", "&amp;", "&lt;b&gt;", "a&lt;b", "a < b", "x<1", "<>", "a>b",
         "&quot;q&quot;", "it's", "&#39;", "&#x263A;", "&#169;", "&copy", "&ampx", "&eacute;", "&nbsp;", "\u00a0", " ",
         "   ", "\t", "\r\n", "\n", "\r", "\f", "<br>", "<BR/>", "<b>bold</b>", "<I>it</I> ", "<span class=x>sp an</span>",
         "<font color=red>red</font>", "<!-- note -->", "<p>para</p>", "<div> block </div>", "<a href='#x'>link</a>"]
SPANS = ["2", "3", "0", "1", "x", "3x", " 2", "+2", "-1", "2.5", "9"]
STYLES = ["white-space:pre", "white-space: pre-wrap", "WHITE-SPACE:pre-line", "white-space:nowrap", "mso-ignore:colspan",
          "color:red;font-weight:bold"]


def attribute(chance, name, value):
    name = chance.choice([name, name.upper(), "".join(chance.choice([ch, ch.upper()]) for ch in name)])
    if value is None:
        return " " + name
    quotes = ['"', "'"] + ([""] if value and not re.search(r"[\s\"'=<>`]", value) else [])
    quote = chance.choice(quotes)
    return " %s=%s%s%s" % (name, quote, value, quote)


def random_cell(chance):
    attributes = ""
    for name, values, odds in (("style", STYLES, 0.2), ("colspan", SPANS, 0.3), ("rowspan", SPANS, 0.25),
                               ("class", ["xl65", "num"], 0.2), ("nowrap", [None], 0.1)):
        if chance.random() < odds and not (name == "rowspan" and "mso-ignore" in attributes):
            attributes += attribute(chance, name, chance.choice(values))
    tag = chance.choice(["td", "td", "td", "TD", "th", "Th"])
    text = "".join(chance.choice(TEXTS) for _ in range(chance.randint(0, 6)))
    return "<%s%s>%s%s" % (tag, attributes, text, "</%s>" % tag if chance.random() < 0.6 else "")


def random_document(chance):
    gap = lambda: chance.choice(["", "", "\n", "\r\n  ", " ", "\t", "<!-- between -->"])
    groups = chance.choice([[""], ["tbody"], ["thead", "tbody"], ["", "tbody"], ["thead", "", "tfoot"], ["tbody", "tbody", "tfoot"]])
    body = ""
    for group in groups:
        body += gap() + ("<%s>" % chance.choice([group, group.upper()]) if group else "")
        for _ in range(chance.randint(1 if group != "tbody" else 0, 5)):
            row = "".join(gap() + random_cell(chance) for _ in range(chance.choice([0, 1, 2, 3, 3, 4, 5])))
            body += gap() + "<tr%s>" % (attribute(chance, "align", "center") if chance.random() < 0.1 else "") + row
            body += gap() + ("</tr>" if chance.random() < 0.5 else "")
        body += "</%s>" % group if group and chance.random() < 0.5 else ""
    head = chance.choice(["", "<!DOCTYPE html>\n", "<meta charset='utf-8'>", "<html>\r\n<body>\r\n<!--StartFragment-->"])
    table = "<%s%s>" % (chance.choice(["table", "TABLE"]), attribute(chance, "border", "1") if chance.random() < 0.5 else "")
    end = chance.choice(["</table>", "</TABLE>\n<!--EndFragment-->", ""])
    return head + table + body + gap() + end


def run_random(count, seed):
    chance = random.Random(seed)
    os.makedirs(WORK, exist_ok=True)
    lines, failed, n = [], 0, 0
    while n < count:
        document = random_document(chance)
        if not expected(parse(text=document))[1]:
            continue  # a table with no cell at all is no copied range
        path = os.path.join(WORK, "random-%d.html" % n)
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(document)
        found = judge(path, False)
        lines += found
        failed += bool(found)
        n += 1
    return lines, "htmltables: %d random documents (seed %d), %d differences; %d passed, %d failed" % (
        count, seed, len(lines), count - failed, failed)


def run_fixtures(folder):
    paths = sorted(os.path.join(folder, name) for name in os.listdir(folder) if name.endswith(".html"))
    lines, failed = [], 0
    for path in paths:
        found = judge(path, os.path.basename(path)[:-5] in REFUSED)
        lines += found
        failed += bool(found)
    return lines, "htmltables: %d documents, %d differences; %d passed, %d failed" % (
        len(paths), len(lines), len(paths) - failed, failed)


def show(paths):
    for path in paths:
        root = parse(path)
        top, nested = tables(root)
        print("%s: %d top-level and %d nested tables" % (path, top, nested))
        if top:
            rows, columns, texts, merges, shared, _ = expected(root)
            print("  %d x %d, merges %s%s" % (rows, columns, sorted(merges), ", overlapping %s" % sorted(shared) if shared else ""))
            for r in range(rows):
                print("  " + " | ".join(repr(texts.get((r, c), "")) for c in range(min(columns, 8))) + (" ..." if columns > 8 else ""))


def main():
    command, arguments = (sys.argv[1], sys.argv[2:]) if len(sys.argv) > 1 else ("", [])
    if command == "fixtures" and len(arguments) == 1:
        lines, summary = run_fixtures(arguments[0])
    elif command == "random" and len(arguments) == 2:
        lines, summary = run_random(int(arguments[0]), int(arguments[1]))
    elif command == "show" and arguments:
        return show(arguments)
    else:
        sys.exit("htmltables.py fixtures DIR | random COUNT SEED | show FILE...")
    for line in lines:
        print("htmltables: " + line)
    print(summary)
    sys.exit(1 if lines else 0)


if __name__ == "__main__":
    main()
