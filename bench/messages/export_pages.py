#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes one HTML page per chat of an sms.db, as plainly as a script can:
each message's text (from `text`, else from the archived attributedBody)
escaped, with its time and direction, in UTF-16 with a byte-order mark.
The side-by-side reference of the messages benchmark.

    export_pages.py sms.db folder
"""
import datetime
import html
import os
import sqlite3
import sys

REFERENCE = datetime.datetime(2001, 1, 1, tzinfo=datetime.timezone.utc)


def archived_text(body):
    """The string of an attributedBody archive (typedstream)."""
    if not body:
        return ""
    at = body.find(b"NSString")
    if at < 0:
        return ""
    at = body.find(b"+", at)
    if at < 0 or at + 1 >= len(body):
        return ""
    at += 1
    length = body[at]
    at += 1
    if length == 0x81:
        length = int.from_bytes(body[at:at + 2], "little")
        at += 2
    elif length == 0x82:
        length = int.from_bytes(body[at:at + 4], "little")
        at += 4
    return body[at:at + length].decode("utf-8", "replace")


def when(date):
    if date > 10**11:  # nanoseconds since iOS 11
        date //= 10**9
    return REFERENCE + datetime.timedelta(seconds=date)


def main():
    db = sqlite3.connect(sys.argv[1])
    folder = sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    chats = db.execute(
        "SELECT c.ROWID, h.id FROM chat c LEFT JOIN chat_handle_join j ON j.chat_id = c.ROWID "
        "LEFT JOIN handle h ON h.ROWID = j.handle_id ORDER BY c.ROWID").fetchall()
    for chat, handle in chats:
        title = handle or "chat %d" % chat
        rows = db.execute(
            "SELECT m.text, m.attributedBody, m.date, m.is_from_me FROM message m "
            "JOIN chat_message_join j ON j.message_id = m.ROWID WHERE j.chat_id = ? "
            "ORDER BY m.date, m.ROWID", (chat,))
        parts = ["<HTML>\r\n<HEAD>\r\n<meta charset=utf-16></HEAD>\r\n<BODY>\r\n<H1>",
                 html.escape(title), "</H1>\r\n"]
        for text, body, date, mine in rows:
            text = text or archived_text(body)
            side = "sent" if mine else "receive"
            parts.append("<div class='messageinfo %s'>%s</div><div class='message %s'>%s"
                         "\r\n</div>\r\n" % (side, when(date).strftime("%d %B %Y %H:%M"), side,
                                             html.escape(text).replace("\n", "<br/>")))
        parts.append("</BODY>\r\n</HTML>")
        name = "".join(c if c.isalnum() or c in "+ -" else "_" for c in title)
        with open(os.path.join(folder, name + ".html"), "wb") as out:
            out.write("".join(parts).encode("utf-16"))


if __name__ == "__main__":
    main()
