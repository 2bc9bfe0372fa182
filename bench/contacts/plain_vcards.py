#!/usr/bin/env python3
# The same work as the contacts benchmark, as a plain script would do it:
# reads AddressBook.sqlitedb, folds entries of one name together in one
# pass, and writes one vCard 3.0 file per person (each under a temporary
# name, then renamed, and one sync at the end). Prints its seconds.
#   plain_vcards.py ADDRESSBOOK OUTPUT_FOLDER
import os
import sqlite3
import sys
import time

PHONE, EMAIL, ADDRESS = 3, 4, 5


def escape(text):
    return (text.replace("\\", "\\\\").replace(",", "\\,").replace(";", "\\;")
            .replace("\n", "\\n"))


def fold(line):
    data = line.encode("utf-8")
    out, first = [], True
    while data:
        room = 75 if first else 74
        cut = min(room, len(data))
        while cut < len(data) and cut > 0 and (data[cut] & 0xC0) == 0x80:
            cut -= 1
        out.append((b"" if first else b" ") + data[:cut])
        data, first = data[cut:], False
    return b"\r\n".join(out) + b"\r\n"


def main():
    source, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    start = time.monotonic()
    db = sqlite3.connect("file:%s?mode=ro" % source, uri=True)
    labels = {rowid: value for rowid, value in
              db.execute("SELECT ROWID, value FROM ABMultiValueLabel")}
    values = {}
    for record, prop, label, value, uid in db.execute(
            "SELECT record_id, property, label, value, UID FROM ABMultiValue ORDER BY ROWID"):
        values.setdefault(record, []).append((prop, labels.get(label, ""), value or "", uid))
    parts = {}
    for parent, key, value in db.execute(
            "SELECT ve.parent_id, vek.value, ve.value FROM ABMultiValueEntry ve "
            "JOIN ABMultiValueEntryKey vek ON ve.key = vek.ROWID"):
        parts.setdefault(parent, {})[key.upper()] = value or ""
    people = {}
    for rowid, first, last, middle, org in db.execute(
            "SELECT ROWID, First, Last, Middle, Organization FROM ABPerson ORDER BY ROWID"):
        first, last, middle, org = first or "", last or "", middle or "", org or ""
        if not (first or last or middle or org):
            continue
        key = (first.lower() + middle.lower() + last.lower()).strip()
        person = people.get(key)
        if person is None:
            person = people[key] = {"uid": rowid, "first": first, "last": last,
                                    "middle": middle, "org": org, "values": []}
        seen = set(person["values"])
        for v in values.get(rowid, []):
            entry = (v[0], v[1], v[2], tuple(sorted(parts.get(v[3], {}).items())))
            if entry not in seen:
                person["values"].append(entry)
                seen.add(entry)
    db.close()
    written = 0
    for person in people.values():
        name = " ".join(p for p in (person["first"], person["middle"], person["last"]) if p)
        lines = [b"BEGIN:VCARD\r\n", b"VERSION:3.0\r\n",
                 fold("N:%s;%s;%s;;" % (escape(person["last"]), escape(person["first"]),
                                        escape(person["middle"]))),
                 fold("FN:" + escape(name or person["org"])),
                 fold("UID:%d" % person["uid"])]
        for prop, label, value, address in person["values"]:
            where = "WORK" if "Work" in label else "HOME"
            if prop == PHONE:
                lines.append(fold("TEL;TYPE=%s:%s" % (where, escape(value))))
            elif prop == EMAIL:
                lines.append(fold("EMAIL;TYPE=%s:%s" % (where, escape(value))))
            elif prop == ADDRESS:
                a = dict(address)
                lines.append(fold("ADR;TYPE=%s:;;%s;%s;%s;%s;%s" % (
                    where, escape(a.get("STREET", "")), escape(a.get("CITY", "")),
                    escape(a.get("STATE", "")), escape(a.get("ZIP", "")),
                    escape(a.get("COUNTRY", "")))))
        if person["org"]:
            lines.append(fold("ORG:" + escape(person["org"])))
        lines.append(b"END:VCARD\r\n")
        file_name = (", ".join(p for p in (person["last"], person["first"]) if p)
                     or person["org"]).replace("/", "_")
        target = os.path.join(folder, file_name + ".vcf")
        temporary = os.path.join(folder, ".plain-%d.tmp" % written)
        fd = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o666)
        os.write(fd, b"".join(lines))
        os.close(fd)
        os.rename(temporary, target)
        written += 1
    os.sync()
    print("plain script: %d files, %.3f s" % (written, time.monotonic() - start))


if __name__ == "__main__":
    main()
