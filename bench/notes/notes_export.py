#!/usr/bin/env python3
# The plain script the notes export is measured against: reads every note of a
# NoteStore.sqlite with its title and body (gzip, then the protocol-buffer
# document, field 2 -> 3 -> 2), and writes one escaped HTML page per note into
# a folder, synced once at the end.
#   bench/notes/notes_export.py NoteStore.sqlite OUTPUT_FOLDER
import gzip
import html
import os
import sqlite3
import sys
import zlib


def varint(data, i):
    shift = value = 0
    while True:
        b = data[i]
        i += 1
        value |= (b & 0x7F) << shift
        if b < 0x80:
            return value, i
        shift += 7


def field(data, wanted):
    i = 0
    while i < len(data):
        key, i = varint(data, i)
        number, kind = key >> 3, key & 7
        if kind == 0:
            _, i = varint(data, i)
        elif kind == 1:
            i += 8
        elif kind == 5:
            i += 4
        elif kind == 2:
            length, i = varint(data, i)
            if number == wanted:
                return data[i:i + length]
            i += length
        else:
            return None
    return None


def text_of(blob):
    if not blob:
        return ""
    data = zlib.decompress(blob, 47)  # gzip or zlib
    for number in (2, 3, 2):
        data = field(data, number) if data is not None else None
    return data.decode("utf-8", "replace") if data is not None else ""


def main():
    store, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    db = sqlite3.connect(f"file:{store}?mode=ro", uri=True)
    rows = db.execute(
        "SELECT n.ZTITLE1, d.ZDATA FROM ZICCLOUDSYNCINGOBJECT n "
        "JOIN ZICNOTEDATA d ON d.ZNOTE = n.Z_PK")
    taken = set()
    for title, blob in rows:
        title = title or "Untitled"
        name = title.replace("/", "_")
        n = 1
        while name in taken:
            name = f"{title} {n}"
            n += 1
        taken.add(name)
        body = html.escape(text_of(blob)).replace("\n", "<br/>")
        page = ("<!DOCTYPE HTML>\n<html>\n<head>\n\t<title>%s</title>\n</head>\n<body>"
                "\n\t<p>%s</p>\n</body>\n</html>" % (html.escape(title), body))
        with open(os.path.join(out, name + ".html"), "w", encoding="utf-8") as f:
            f.write(page)
    os.sync()


if __name__ == "__main__":
    main()
