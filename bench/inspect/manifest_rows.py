#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a plain device backup whose Manifest.db lists ROWS files, of which
only the messages database is stored, for measuring what reading a manifest
of a real device's size costs (a full phone lists one to two million).

    manifest_rows.py FOLDER ROWS

Then, with XDG_DATA_HOME set so that FOLDER is <XDG_DATA_HOME>/Orvane/
MobileSync/Backup/<name>:
    /usr/bin/time -v orvane-inspect lookups --backup <name> --path Library/SMS/sms.db
"""
import hashlib
import os
import plistlib
import sqlite3
import sys
import uuid


def file_blob(path, size, mode):
    objects = [
        "$null",
        {
            "$class": plistlib.UID(3),
            "RelativePath": plistlib.UID(2),
            "Size": size,
            "Mode": mode,
            "UserID": 501,
            "GroupID": 501,
            "InodeNumber": 1234567,
            "Birth": 1700000000,
            "LastModified": 1700000100,
            "LastStatusChange": 1700000200,
            "ProtectionClass": 3,
            "Flags": 0,
        },
        path,
        {"$classname": "MBFile", "$classes": ["MBFile", "NSObject"]},
    ]
    archive = {"$version": 100000, "$archiver": "NSKeyedArchiver",
               "$top": {"root": plistlib.UID(1)}, "$objects": objects}
    return plistlib.dumps(archive, fmt=plistlib.FMT_BINARY)


def main():
    folder, rows = sys.argv[1], int(sys.argv[2])
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Manifest.plist"), "wb") as f:
        plistlib.dump({"IsEncrypted": False, "Version": "10.0"}, f, fmt=plistlib.FMT_BINARY)
    database = os.path.join(folder, "Manifest.db")
    if os.path.exists(database):
        os.remove(database)
    db = sqlite3.connect(database)
    db.executescript(
        "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, "
        "flags INTEGER, file BLOB);"
        "CREATE INDEX FilesDomainIdx ON Files(domain);"
        "CREATE INDEX FilesRelativePathIdx ON Files(relativePath);"
        "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB);")

    def rows_of():
        sms = b"stored messages"
        yield "HomeDomain", "Library/SMS/sms.db", 1, sms
        for i in range(rows - 1):
            if i % 3 == 0:
                domain = "CameraRollDomain"
                path = "Media/DCIM/%dAPPLE/IMG_%05d.HEIC" % (100 + i // 1000, i)
            elif i % 3 == 1:
                domain = "AppDomain-com.example.app%d" % (i % 300)
                path = "Library/Caches/com.example.app%d/fsCachedData/%s" % (
                    i % 300, uuid.UUID(int=i).hex.upper())
            else:
                domain = "HomeDomain"
                path = "Library/Application Support/Data/%d/%d/record-%d.plist" % (
                    i % 97, i % 13, i)
            yield domain, path, (2 if i % 10 == 0 else 1), None

    template = {}
    batch = []
    for domain, path, flags, content in rows_of():
        file_id = hashlib.sha1(("%s-%s" % (domain, path)).encode()).hexdigest()
        mode = 0o40755 if flags == 2 else 0o100644
        size = len(content) if content is not None else 4096
        batch.append((file_id, domain, path, flags, file_blob(path, size, mode)))
        if content is not None:
            os.makedirs(os.path.join(folder, file_id[:2]), exist_ok=True)
            with open(os.path.join(folder, file_id[:2], file_id), "wb") as f:
                f.write(content)
        if len(batch) >= 10000:
            db.executemany("INSERT INTO Files VALUES (?, ?, ?, ?, ?)", batch)
            batch = []
    db.executemany("INSERT INTO Files VALUES (?, ?, ?, ?, ?)", batch)
    db.commit()
    db.close()


if __name__ == "__main__":
    main()
