#!/usr/bin/env python3
"""A client in another language: drives the flat KD_ interface through ctypes,
checks the written file with Python's own sqlite3 and zlib, and has the library
read a log that Python wrote without it."""

import ctypes
import os
import sqlite3
import struct
import sys
import tempfile
import unittest
import zlib

LIBRARY_PATH = None

c_bool = ctypes.c_bool
c_char_p = ctypes.c_char_p
c_void_p = ctypes.c_void_p
c_int8 = ctypes.c_int8
c_int32 = ctypes.c_int32
c_int64 = ctypes.c_int64
c_uint32 = ctypes.c_uint32
c_size_t = ctypes.c_size_t
ENTRY_CALLBACK = ctypes.CFUNCTYPE(None, c_void_p, c_void_p)

SCHEMA = [
    "CREATE TABLE dataSources(dataSourceId INTEGER PRIMARY KEY,dataSourceType INT NOT NULL,dataSourceName TEXT NOT NULL);",
    "CREATE TABLE dataSourceProperties(dataSourceId INT NOT NULL REFERENCES dataSources(dataSourceId),key TEXT NOT NULL,value NOT NULL);",
    "CREATE INDEX dataSourcePropertiesIndex ON dataSourceProperties(dataSourceId);",
    "CREATE TABLE data(entryId INTEGER PRIMARY KEY,timestamp INT NOT NULL,type INT NOT NULL,dataSourceId INT NOT NULL REFERENCES dataSources(dataSourceId),length INT NOT NULL,payload BLOB NOT NULL);",
    "CREATE INDEX dataDataSourceIndex ON data(dataSourceId);",
    "CREATE TABLE metadata(key TEXT NOT NULL, value NOT NULL);",
    "CREATE TABLE resources(name TEXT NOT NULL, payload NOT NULL);",
    "CREATE TABLE bookmarks(entryId INT NOT NULL REFERENCES data(entryId), title TEXT NOT NULL, comments TEXT, payload BLOB);",
    "CREATE INDEX bookmarkIndex ON bookmarks(entryId);",
]


def load():
    lib = ctypes.CDLL(LIBRARY_PATH)
    signatures = {
        "KD_LogConfig_Create": (c_void_p, [c_char_p, c_char_p, c_char_p]),
        "KD_LogConfig_SetCompressionLevel": (c_bool, [c_void_p, c_int8, ctypes.POINTER(c_void_p)]),
        "KD_LogConfig_Destroy": (None, [c_void_p]),
        "KD_LogFile_Create": (c_void_p, [c_char_p, c_void_p, ctypes.POINTER(c_void_p)]),
        "KD_LogFile_Open": (c_void_p, [c_char_p, ctypes.POINTER(c_void_p)]),
        "KD_LogFile_Destroy": (None, [c_void_p]),
        "KD_LogFile_AddDataSource": (c_bool, [c_void_p, c_void_p, ctypes.POINTER(c_void_p)]),
        "KD_LogFile_AddDataSourceProperty": (c_bool, [c_void_p, c_void_p, ctypes.POINTER(c_void_p)]),
        "KD_LogFile_LogData": (c_bool, [c_void_p, c_void_p, ctypes.POINTER(c_void_p)]),
        "KD_LogFile_GetEntryCount": (c_bool, [c_void_p, ctypes.POINTER(c_int32), ctypes.POINTER(c_void_p)]),
        "KD_LogFile_ReadEntries": (c_bool, [c_void_p, c_int32, c_int32, c_void_p, c_int32, ENTRY_CALLBACK, c_void_p]),
        "KD_LogDataSource_Create": (c_void_p, [c_int32, c_char_p]),
        "KD_LogDataSource_Destroy": (None, [c_void_p]),
        "KD_LogDataSourceProperty_CreateInt32": (c_void_p, [c_void_p, c_char_p, c_int32]),
        "KD_LogDataSourceProperty_Destroy": (None, [c_void_p]),
        "KD_LogDataEntry_Create": (c_void_p, [c_void_p, c_uint32, c_char_p, c_size_t]),
        "KD_LogDataEntry_SetTimestamp": (c_bool, [c_void_p, c_int64]),
        "KD_LogDataEntry_GetTimestamp": (c_bool, [c_void_p, ctypes.POINTER(c_int64)]),
        "KD_LogDataEntry_GetType": (c_bool, [c_void_p, ctypes.POINTER(c_uint32)]),
        "KD_LogDataEntry_GetData": (c_bool, [c_void_p, ctypes.POINTER(c_size_t), ctypes.POINTER(c_void_p)]),
        "KD_LogDataEntry_Destroy": (None, [c_void_p]),
        "KD_LogError_GetErrorMessage": (c_bool, [c_void_p, ctypes.POINTER(c_char_p)]),
        "KD_LogError_Destroy": (None, [c_void_p]),
    }
    for name, (result, arguments) in signatures.items():
        function = getattr(lib, name)
        function.restype = result
        function.argtypes = arguments
    return lib


def error_text(lib, error):
    message = c_char_p()
    lib.KD_LogError_GetErrorMessage(error, ctypes.byref(message))
    text = message.value.decode()
    lib.KD_LogError_Destroy(error)
    return text


def payload_for(index, size):
    return bytes(((index * 31 + i * 7) % 251) if i % 8 else index % 256 for i in range(size))


class FlatInterfaceFromPython(unittest.TestCase):
    def setUp(self):
        self.lib = load()
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def record(self, path, level, payloads):
        lib = self.lib
        error = c_void_p()
        config = lib.KD_LogConfig_Create(b"python-client", b"3.11", b"UTC")
        self.assertTrue(lib.KD_LogConfig_SetCompressionLevel(config, level, ctypes.byref(error)))
        log = lib.KD_LogFile_Create(path.encode(), config, ctypes.byref(error))
        self.assertTrue(log, "create failed")
        source = lib.KD_LogDataSource_Create(0, b"Ondrix M750")
        self.assertTrue(lib.KD_LogFile_AddDataSource(log, source, ctypes.byref(error)))
        serial = lib.KD_LogDataSourceProperty_CreateInt32(source, b"serialNumber", 1234)
        self.assertTrue(lib.KD_LogFile_AddDataSourceProperty(log, serial, ctypes.byref(error)))
        lib.KD_LogDataSourceProperty_Destroy(serial)
        for index, payload in enumerate(payloads):
            entry = lib.KD_LogDataEntry_Create(source, 1, payload, len(payload))
            lib.KD_LogDataEntry_SetTimestamp(entry, 5000 + 100 * index)
            self.assertTrue(lib.KD_LogFile_LogData(log, entry, ctypes.byref(error)))
            lib.KD_LogDataEntry_Destroy(entry)
        # A second create on the same path is refused with the library's text.
        self.assertFalse(lib.KD_LogFile_Create(path.encode(), config, ctypes.byref(error)))
        self.assertEqual(error_text(lib, error), "Cannot create file as file already exists.")
        lib.KD_LogDataSource_Destroy(source)
        lib.KD_LogFile_Destroy(log)
        lib.KD_LogConfig_Destroy(config)

    def test_written_log_reads_back_with_sqlite3_and_zlib(self):
        path = self.path("python.ondrix")
        payloads = [payload_for(i, 2000 + 100 * i) for i in range(5)] + [b""]
        self.record(path, 6, payloads)

        self.assertFalse(os.path.exists(path + "-wal"), "a closed log is a single file")
        db = sqlite3.connect(path)
        try:
            schema = [row[0] for row in db.execute("SELECT sql FROM sqlite_master ORDER BY rowid")]
            self.assertEqual(schema, [statement.rstrip(";") for statement in SCHEMA])
            self.assertEqual(db.execute("PRAGMA integrity_check").fetchone()[0], "ok")
            metadata = db.execute("SELECT key, value FROM metadata ORDER BY rowid").fetchall()
            self.assertEqual([key for key, _ in metadata],
                             ["createdDateTime", "applicationName", "applicationVersion",
                              "currentTimeZone", "logVersion", "compressionLevel"])
            self.assertIsInstance(metadata[0][1], int)
            self.assertEqual(metadata[1:], [("applicationName", "python-client"), ("applicationVersion", "3.11"),
                                            ("currentTimeZone", "UTC"), ("logVersion", 4), ("compressionLevel", 6)])
            self.assertEqual(db.execute("SELECT dataSourceId, dataSourceType, dataSourceName FROM dataSources")
                             .fetchall(), [(1, 0, "Ondrix M750")])
            self.assertEqual(db.execute("SELECT key, value, typeof(value) FROM dataSourceProperties").fetchall(),
                             [("serialNumber", 1234, "integer")])
            rows = db.execute("SELECT entryId, timestamp, type, length, payload FROM data ORDER BY entryId").fetchall()
        finally:
            db.close()
        self.assertEqual([row[0] for row in rows], list(range(1, len(payloads) + 1)))
        for (entry_id, timestamp, kind, length, stored), original in zip(rows, payloads):
            self.assertEqual(timestamp, 5000 + 100 * (entry_id - 1))
            self.assertEqual(kind, 1)
            self.assertEqual(length, len(stored))
            if not original:
                self.assertEqual(stored, b"")
                continue
            (declared,) = struct.unpack("<I", stored[:4])
            self.assertEqual(declared, len(original))
            self.assertEqual(zlib.decompress(stored[4:]), original)

    def test_log_written_by_sqlite3_alone_is_read_by_the_library(self):
        path = self.path("foreign-writer.ondrix")
        payloads = [payload_for(i, 700) for i in range(4)]
        db = sqlite3.connect(path)
        for statement in SCHEMA:
            db.execute(statement)
        for key, value in [("createdDateTime", 1700000000000), ("applicationName", "sqlite3"),
                           ("applicationVersion", "1"), ("currentTimeZone", "UTC"), ("logVersion", 4),
                           ("compressionLevel", 9)]:
            db.execute("INSERT INTO metadata (key, value) VALUES (?, ?)", (key, value))
        db.execute("INSERT INTO dataSources (dataSourceType, dataSourceName) VALUES (0, 'Ondrix M1200')")
        for index, payload in enumerate(payloads):
            stored = struct.pack("<I", len(payload)) + zlib.compress(payload, 9)
            db.execute("INSERT INTO data (timestamp, type, dataSourceId, length, payload) VALUES (?, ?, 1, ?, ?)",
                       (9000 + 40 * index, index % 2, len(stored), stored))
        db.commit()
        db.close()

        lib = self.lib
        error = c_void_p()
        log = lib.KD_LogFile_Open(path.encode(), ctypes.byref(error))
        self.assertTrue(log, "open failed")
        count = c_int32()
        self.assertTrue(lib.KD_LogFile_GetEntryCount(log, ctypes.byref(count), ctypes.byref(error)))
        self.assertEqual(count.value, 4)

        played = []

        @ENTRY_CALLBACK
        def collect(_context, entry):
            size = c_size_t()
            data = c_void_p()
            timestamp = c_int64()
            kind = c_uint32()
            lib.KD_LogDataEntry_GetData(entry, ctypes.byref(size), ctypes.byref(data))
            lib.KD_LogDataEntry_GetTimestamp(entry, ctypes.byref(timestamp))
            lib.KD_LogDataEntry_GetType(entry, ctypes.byref(kind))
            played.append((timestamp.value, kind.value, ctypes.string_at(data, size.value)))
            lib.KD_LogDataEntry_Destroy(entry)

        self.assertTrue(lib.KD_LogFile_ReadEntries(log, -1, -1, None, -1, collect, None))
        lib.KD_LogFile_Destroy(log)
        self.assertEqual(played, [(9000 + 40 * i, i % 2, payloads[i]) for i in range(4)])


if __name__ == "__main__":
    LIBRARY_PATH = sys.argv.pop(1)
    unittest.main()
