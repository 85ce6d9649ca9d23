#!/usr/bin/env python3
"""Writes the damaged logs of the log-file corpus into fuzz/logfile/corpus/.

Each starts as a small sound log (1 KiB pages, 80 entries of a few hundred
bytes, two bookmarks) and is then damaged as disks and crashes damage
recordings:

  damaged-bad-data-page      one page of entries overwritten with garbage
  damaged-bad-bookmark-page  the page under a bookmark overwritten; the other
                             bookmark's entry still reads
  damaged-cut-<percent>      the file cut short at several points
  damaged-header-overcount   the header claims more pages than the file has
  damaged-wal-beside         a recording whose writer stopped mid-write: the
                             file and its write-ahead log, as a bundle
  damaged-journal-beside     a bulk write stopped mid-transaction: the file and
                             its hot rollback journal, as a bundle

A bundle is "KDBUNDLE", a little-endian u32 (0: the journal is "-wal", 1:
"-journal"), a little-endian u64 length of the log, the log's bytes, then the
journal's bytes; LogBundle.h unpacks it. Run from anywhere; the output is the
same every run but for the random salts SQLite writes into journals.
"""

import os
import shutil
import sqlite3
import struct
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
PAGE = 1024
ENTRIES = 80


def payload(i):
    return bytes((i * 7 + k) % 251 for k in range(300))


def create(path, journal_mode="delete"):
    db = sqlite3.connect(path, isolation_level=None)
    db.execute(f"PRAGMA page_size = {PAGE};")
    db.execute(f"PRAGMA journal_mode = {journal_mode};")
    db.execute("BEGIN;")
    # The schema of a sound log of the corpus, as the library writes it.
    seed = sqlite3.connect(f"file:{os.path.join(CORPUS, 'raw-v4.ondrix')}?immutable=1", uri=True)
    for (statement,) in seed.execute("SELECT sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid;"):
        db.execute(statement)
    seed.close()
    for key, value in [("createdDateTime", 1700000000000), ("applicationName", "seed"),
                       ("applicationVersion", "1"), ("currentTimeZone", "UTC"), ("logVersion", 4),
                       ("compressionLevel", 0)]:
        db.execute("INSERT INTO metadata VALUES (?, ?);", (key, value))
    db.execute("INSERT INTO dataSources VALUES (1, 0, 'Ondrix M750');")
    db.execute("INSERT INTO dataSourceProperties VALUES (1, 'serialNumber', 77);")
    db.execute("COMMIT;")
    return db


def fill(db, first=1, last=ENTRIES):
    db.execute("BEGIN;")
    for i in range(first, last + 1):
        data = payload(i)
        db.execute("INSERT INTO data VALUES (?, ?, 0, 1, ?, ?);", (i, 1000 + 100 * i, len(data), data))
    db.execute("COMMIT;")


def sound_log(path):
    db = create(path)
    fill(db)
    db.execute("INSERT INTO bookmarks VALUES (10, 'readable', 'on a page that reads', x'0102');")
    db.execute("INSERT INTO bookmarks VALUES (40, 'lost', 'on the damaged page', x'0304');")
    db.close()


def leaf_of(path, entry_id):
    """The page number of the data table's leaf holding `entry_id`."""
    db = sqlite3.connect(f"file:{path}?immutable=1", uri=True)
    pages = [row[0] for row in db.execute(
        "SELECT pageno FROM dbstat WHERE name = 'data' AND pagetype = 'leaf' ORDER BY pageno;")]
    for page in pages:
        # The rows of a leaf are those whose ids its cells hold: read the page.
        with open(path, "rb") as file:
            file.seek((page - 1) * PAGE)
            raw = file.read(PAGE)
        cells = struct.unpack(">H", raw[3:5])[0]
        for c in range(cells):
            offset = struct.unpack(">H", raw[8 + 2 * c:10 + 2 * c])[0]
            # payload size varint, then the rowid varint
            pos = offset
            while raw[pos] & 0x80:
                pos += 1
            pos += 1
            rowid = 0
            while True:
                rowid = (rowid << 7) | (raw[pos] & 0x7F)
                if not raw[pos] & 0x80:
                    break
                pos += 1
            if rowid == entry_id:
                return page
    raise RuntimeError(f"entry {entry_id} not found")


def spoil_page(path, page):
    with open(path, "r+b") as file:
        file.seek((page - 1) * PAGE)
        file.write(bytes((0xA5 + k) % 256 for k in range(PAGE)))


def bundle(out, log, journal, kind):
    with open(log, "rb") as file:
        log_bytes = file.read()
    with open(journal, "rb") as file:
        journal_bytes = file.read()
    with open(out, "wb") as file:
        file.write(b"KDBUNDLE" + struct.pack("<IQ", kind, len(log_bytes)) + log_bytes + journal_bytes)


def main():
    work = tempfile.mkdtemp()
    try:
        sound = os.path.join(work, "sound.ondrix")
        sound_log(sound)

        target = os.path.join(CORPUS, "damaged-bad-data-page.ondrix")
        shutil.copyfile(sound, target)
        spoil_page(target, leaf_of(sound, 60))

        target = os.path.join(CORPUS, "damaged-bad-bookmark-page.ondrix")
        shutil.copyfile(sound, target)
        spoil_page(target, leaf_of(sound, 40))

        size = os.path.getsize(sound)
        for percent in (30, 60, 90):
            target = os.path.join(CORPUS, f"damaged-cut-{percent}.ondrix")
            shutil.copyfile(sound, target)
            # Not on a page boundary: the last page is cut too.
            os.truncate(target, size * percent // 100 + 100)

        target = os.path.join(CORPUS, "damaged-header-overcount.ondrix")
        shutil.copyfile(sound, target)
        with open(target, "r+b") as file:
            file.seek(28)
            pages = struct.unpack(">I", file.read(4))[0]
            file.seek(28)
            file.write(struct.pack(">I", pages + 7))

        # A recorder killed mid-write: committed entries in the write-ahead
        # log, none of them copied into the file yet.
        live = os.path.join(work, "live.ondrix")
        db = create(live, "wal")
        db.execute("PRAGMA wal_autocheckpoint = 0;")
        fill(db, 1, 30)
        db.execute("PRAGMA wal_checkpoint(TRUNCATE);")
        fill(db, 31, 50)
        bundle(os.path.join(CORPUS, "damaged-wal-beside.ondrix"), live, live + "-wal", 0)
        db.close()

        # A bulk copy stopped mid-transaction: pages already spilled into the
        # file, the originals in a hot journal that rolls them back.
        bulk = os.path.join(work, "bulk.ondrix")
        sound_log(bulk)
        db = sqlite3.connect(bulk, isolation_level=None)
        db.execute("PRAGMA cache_size = 2;")
        db.execute("BEGIN;")
        db.execute("UPDATE data SET timestamp = timestamp + 1;")
        bundle(os.path.join(CORPUS, "damaged-journal-beside.ondrix"), bulk, bulk + "-journal", 1)
        db.execute("ROLLBACK;")
        db.close()
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
