#!/usr/bin/python3
# Holds the CLIPBOARD selection of the display (DISPLAY) as a plain program, not the office, would:
# offers each TARGET with the bytes of its FILE (as calcclip.py saved them), prints "owner ready"
# once it owns the selection and ends when another program takes the selection over.
#   clipowner.py TARGET FILE [TARGET FILE...]
import sys

import gi
gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402


def main():
    pairs = sys.argv[1:]
    contents = [open(path, "rb").read() for path in pairs[1::2]]
    owner = Gtk.Invisible()
    owner.realize()
    for info, target in enumerate(pairs[0::2]):
        Gtk.selection_add_target(owner, Gdk.SELECTION_CLIPBOARD, Gdk.Atom.intern(target, False), info)
    owner.connect("selection-get", lambda _, data, info, __: data.set(data.get_target(), 8, contents[info]))
    owner.connect("selection-clear-event", lambda *_: Gtk.main_quit())
    if not Gtk.selection_owner_set(owner, Gdk.SELECTION_CLIPBOARD, Gdk.CURRENT_TIME):
        sys.exit("clipowner.py: the selection was not taken")
    print("owner ready", flush=True)
    Gtk.main()


if __name__ == "__main__":
    main()
