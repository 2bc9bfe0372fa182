#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The same read of a MediaLibrary.sqlitedb as the application's reader, by a
plain script over sqlite3: every item row becomes a track record, every shown
playlist its tracks and, where it is ordered, its order rows.

    medialibrary_read.py DATABASE ITEM_QUERY_FILE

Prints "seconds: S", "tracks: N" and "playlists: P".
"""
import sqlite3
import struct
import sys
import time
from datetime import datetime, timedelta, timezone

REFERENCE = datetime(2001, 1, 1, tzinfo=timezone.utc)
VIDEO_KINDS = {2, 6, 32, 64, 96, 1024}


def columns(db, table):
    return {row[1] for row in db.execute("PRAGMA table_info(%s)" % table)}


def read(path, item_query):
    db = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
    db.row_factory = sqlite3.Row
    tracks = []
    by_id = {}
    for row in db.execute(item_query):
        keys = row.keys()
        t = {"persistentID": str(row["item_pid"]), "mediaKind": row["media_kind"]}
        base, location = row["path"] or "", row["location"] or ""
        path = base + ("/" if base and location else "") + location
        t["path"] = path
        t["isICloudStreaming"] = not location or "CloudAssets" in path
        if ".m4p" in path:
            t["trackProtection"] = 1
        kind = row["media_kind"] or 0
        if kind:
            extension = path.rsplit(".", 1)[-1] if "." in path.rsplit("/", 1)[-1] else ""
            t["hasVideo"] = kind in VIDEO_KINDS or extension in ("m4v", "mov", "mp4")
            t["isPodcast"] = kind in (4, 6) or row["is_podcast"] == 1
            t["isITunesU"] = row["is_itunes_u"] == 1
            artist, album_artist = row["item_artist"], row["album_artist"]
            t["artist"] = artist if artist is not None else album_artist
            t["album_artist"] = album_artist if album_artist is not None else artist
            for key, column in (("duration", "total_time_ms"), ("trackNumber", "track_number"),
                                ("trackCount", "track_count"), ("discNumber", "disc_number"),
                                ("discCount", "disc_count"), ("year", "year"),
                                ("fileSize", "file_size"), ("bitRate", "bit_rate"),
                                ("userRating", "user_rating"), ("playCount", "play_count_user")):
                t[key] = row[column] or 0
            t["seasonNumber"] = row["season_number"] if "season_number" in keys else 0
            for key, column in (("trackName", "title"), ("album", "album"), ("genre", "genre"),
                                ("composer", "composer"), ("descriptionShort", "description"),
                                ("descriptionLong", "description_long")):
                t[key] = row[column]
            if "artwork_relative_path" in keys and row["artwork_relative_path"] is not None:
                t["artworkPath"] = "iTunes_Control/iTunes/Artwork/Originals/" + row["artwork_relative_path"]
            created = row["date_created"] or 0
            if created > 0:
                t["dateCreated"] = REFERENCE + timedelta(seconds=created)
            played = row["date_played"] or 0
            if played:
                t["datePlayed"] = REFERENCE + timedelta(seconds=played)
        tracks.append(t)
        by_id.setdefault(t["persistentID"], t)

    primary = None
    for row in db.execute("SELECT primary_container_pid FROM db_info"):
        primary = row[0]
    have = columns(db, "container")
    query = ("c.name, c.container_pid, c.is_hidden, c.smart_is_genius, c.smart_is_dynamic, c.smart_is_folder,"
             " c.smart_is_limited, c.smart_limit_value, c.is_ignored_syncing, c.distinguished_kind,"
             " length(ci.item_pid_data) AS data_length, ci.item_pid_data FROM container c INNER JOIN"
             " container_items ci ON c.container_pid=ci.container_pid")
    if "contained_media_type" in have:
        query = "c.contained_media_type, " + query
    if "play_order" in have:
        query = "c.play_order, " + query
    playlists = []
    seen = set()
    for row in db.execute("SELECT " + query):
        if row["is_ignored_syncing"] == 1 or row["is_hidden"] == 1 or row["smart_is_folder"] == 1:
            continue
        pid = str(row["container_pid"])
        if pid == str(primary) or pid in seen:
            continue
        seen.add(pid)
        playlist = {"containerPID": pid, "name": row["name"], "tracks": [], "orders": []}
        data = row["item_pid_data"] or b""
        count = len(data) // 8
        ids = [str(v) for v in struct.unpack("<%dq" % count, data[:count * 8])]
        members = []
        wanted = set()
        for index, pid_text in enumerate(ids):
            playlist["orders"].append({"index": index, "persistentID": pid_text, "track": by_id.get(pid_text)})
            if pid_text in by_id and pid_text not in wanted:
                wanted.add(pid_text)
                members.append(by_id[pid_text])
        playlist["tracks"] = members
        if members:
            playlists.append(playlist)
    db.close()
    return tracks, playlists


def main():
    with open(sys.argv[2], encoding="utf-8") as f:
        item_query = f.read()
    start = time.perf_counter()
    tracks, playlists = read(sys.argv[1], item_query)
    seconds = time.perf_counter() - start
    print("seconds: %.4f" % seconds)
    print("tracks: %d" % len(tracks))
    print("playlists: %d" % len(playlists))


if __name__ == "__main__":
    main()
