"""The keldar module against recordings that ondrix-cli made from ondrix-sim,
checked against ondrix-cli's own export of the same files, and live against
ondrix-sim on loopback. KELDAR_ONDRIX_SIM and KELDAR_ONDRIX_CLI name the
programs; the module comes from PYTHONPATH (the build tree or an installation).
"""
import hashlib
import io
import json
import os
import pydoc
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import textwrap
import threading
import time

import numpy
import pytest

import keldar

SIM = os.environ["KELDAR_ONDRIX_SIM"]
CLI = os.environ["KELDAR_ONDRIX_CLI"]
ARRAYS = ["images", "bearings_deg", "row_ranges_m", "range_m", "gain", "frequency", "timestamps_ms", "pitch", "roll",
          "entry_ids", "frames"]


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def cli(*args, expect=0):
    done = subprocess.run([CLI, *args], capture_output=True, text=True)
    assert done.returncode == expect, (args, done.returncode, done.stderr)
    return done


@pytest.fixture(scope="module")
def rig(tmp_path_factory):
    """Three simulated sonars (512-beam capable, 4-bit, version-1) and one
    recording of six images from each."""
    work = tmp_path_factory.mktemp("rig")
    status_port, tcp_port = free_port(socket.SOCK_DGRAM), free_port(socket.SOCK_STREAM)
    listen = dict(listen_address="127.0.0.1", status_port=status_port, sonar_port=tcp_port)
    cli_listen = ["--listen-address", "127.0.0.1", "--listen-port", str(status_port), "--sonar-port", str(tcp_port)]
    sonars = {serial: subprocess.Popen(
        [SIM, "--quiet", "--no-commands", "--serial", str(serial), "--address", address, "--port", str(tcp_port),
         "--status-port", str(status_port), "--status-interval-ms", "100", "--range-lines", str(lines),
         "--duration", "200", *extra])
        for serial, address, lines, extra in [(63101, "127.0.0.2", 40, []), (63102, "127.0.0.3", 30, ["--four-bit"]),
                                              (63103, "127.0.0.4", 20, ["--version-1"]),
                                              (63104, "127.0.0.5", 20, ["--refuse"])]}
    logs = {}
    try:
        for name, serial, options in [("plain", 63101, ["--full-beams"]), ("packed", 63102, []), ("v1", 63103, [])]:
            folder = work / name
            folder.mkdir()
            cli("record", "--serial", str(serial), "--count", "6", "--folder", str(folder), "--discovery-seconds", "60",
                *options, *cli_listen)
            [logs[name]] = folder.iterdir()
        yield dict(logs=logs, listen=listen, work=work)
    finally:
        for sonar in sonars.values():
            sonar.terminate()
            sonar.wait()


def cli_npz(rig, log, name, *options):
    out = rig["work"] / (name + ".npz")
    cli("log", "export-frames", str(log), "--format", "npz", *options, str(out))
    with numpy.load(out) as npz:
        return {key: npz[key] for key in npz.files}


def assert_same_arrays(ours, theirs):
    assert sorted(ours) == sorted(theirs) == sorted(ARRAYS)
    for key in ARRAYS:
        assert ours[key].dtype == theirs[key].dtype, key
        assert ours[key].shape == theirs[key].shape, key
        assert numpy.array_equal(ours[key], theirs[key], equal_nan=ours[key].dtype.kind == "f"), key


@pytest.mark.parametrize("name, shape, attitude", [("plain", (40, 512), True), ("packed", (30, 256), True),
                                                   ("v1", (20, 256), False)])
def test_frames_and_arrays_match_the_cli(rig, name, shape, attitude):
    path = rig["logs"][name]
    listed = [json.loads(line) for line in cli("log", "frames", str(path), "--json").stdout.splitlines()]
    with keldar.open_log(str(path)) as log:
        assert len(log) == 6
        assert log.metadata["applicationName"] == "ondrix-cli" and log.metadata["logVersion"] == 4
        [source] = log.sources
        assert source["type"] == 0 and source["name"].startswith("Ondrix ")
        assert source["properties"]["serialNumber"] == {"plain": 63101, "packed": 63102, "v1": 63103}[name]

        whole = log.to_numpy()
        assert_same_arrays(whole, cli_npz(rig, path, name))
        assert_same_arrays(log.to_numpy(1, 4), cli_npz(rig, path, name + "-span", "--from", "1", "--to", "4"))
        assert whole["images"].std() > 0, "the images hold a scene, not a constant"
        if name == "packed":
            assert (whole["images"] & 0x0F == 0).all(), "4-bit samples are widened into the high half"

        frames = list(log)
        assert [f.frame for f in frames] == list(range(6))
        assert [f.entry_id for f in frames] == [f["entryId"] for f in listed]
        for i, frame in enumerate(frames):
            assert frame.image.dtype == numpy.uint8 and frame.image.shape == shape
            assert (frame.image == whole["images"][i]).all()
            assert (frame.bearings_deg == whole["bearings_deg"][i]).all()
            assert (frame.row_ranges_m == whole["row_ranges_m"][i]).all()
            assert (frame.timestamp_ms, frame.range_m, frame.gain) == (listed[i]["timestamp"], listed[i]["range"],
                                                                     listed[i]["gain"])
            assert numpy.isnan(frame.pitch) != attitude
        assert log[-1].entry_id == frames[5].entry_id and (log[2].image == frames[2].image).all()
        with pytest.raises(IndexError):
            log[6]


def test_opening_refuses_what_is_not_a_log_and_never_writes(rig, tmp_path):
    path = rig["logs"]["plain"]
    before = (hashlib.sha256(path.read_bytes()).hexdigest(), os.stat(path).st_mtime_ns, sorted(os.listdir(path.parent)))
    log = keldar.open_log(str(path))
    list(log), log.to_numpy(), log.bookmarks
    log.close()
    log.close()
    assert (hashlib.sha256(path.read_bytes()).hexdigest(), os.stat(path).st_mtime_ns,
            sorted(os.listdir(path.parent))) == before
    with pytest.raises(ValueError, match="closed"):
        len(log)

    with pytest.raises(FileNotFoundError):
        keldar.open_log(str(tmp_path / "missing.ondrix"))
    assert not (tmp_path / "missing.ondrix").exists()
    with pytest.raises(IsADirectoryError):
        keldar.open_log(str(tmp_path))
    empty = tmp_path / "empty.ondrix"
    empty.write_bytes(b"")
    for writable in (False, True):
        with pytest.raises(keldar.NotALogFileError):
            keldar.open_log(str(empty), writable=writable)
    assert empty.read_bytes() == b""
    (tmp_path / "notes.ondrix").write_text("not a log")
    with pytest.raises(keldar.NotALogFileError):
        keldar.open_log(str(tmp_path / "notes.ondrix"))
    (tmp_path / "old.ondrix").write_bytes(bytes([0x44, 0x33, 0x22, 0x11]) + bytes(60))
    with pytest.raises(keldar.LegacyLogFileError):
        keldar.open_log(str(tmp_path / "old.ondrix"))


def test_bookmarks_are_added_only_to_a_writable_log(rig, tmp_path):
    path = tmp_path / "copy.ondrix"
    shutil.copy(rig["logs"]["plain"], path)
    with keldar.open_log(str(path)) as log:
        assert log.bookmarks == []
        with pytest.raises(io.UnsupportedOperation):
            log.add_bookmark(2, "Wreck")
    with keldar.open_log(str(path), writable=True) as log:
        with pytest.raises(ValueError):
            log.add_bookmark(2, "  ")
        added = log.add_bookmark(2, "Wreck", "port side")
        assert added == keldar.Bookmark(log[2].entry_id, "Wreck", "port side")
        assert log.add_bookmark(-1, "End").entry_id == log[5].entry_id
    with keldar.open_log(str(path)) as log:
        assert [tuple(b) for b in log.bookmarks] == [tuple(added), (log[5].entry_id, "End", "")]
    assert cli("log", "bookmarks", str(path)).stdout.splitlines()[0] == f"{added.entry_id}\tWreck\tport side"


def test_mixed_shapes_and_damaged_entries(rig, tmp_path):
    mixed = tmp_path / "mixed.ondrix"
    shutil.copy(rig["logs"]["plain"], mixed)
    db = sqlite3.connect(mixed)
    rows = sqlite3.connect(rig["logs"]["packed"]).execute("SELECT timestamp, type, length, payload FROM data LIMIT 2")
    db.executemany("INSERT INTO data (timestamp, type, dataSourceId, length, payload) VALUES (?, ?, 1, ?, ?)", rows)
    # A ping result cut short after its header: not a readable image.
    (payload,) = db.execute("SELECT payload FROM data LIMIT 1").fetchone()
    db.execute("INSERT INTO data (timestamp, type, dataSourceId, length, payload) VALUES (1, 1, 1, 40, ?)",
               (payload[:40],))
    db.commit()
    db.close()
    with keldar.open_log(str(mixed)) as log:
        assert len(log) == 9
        with pytest.raises(ValueError) as refused:
            log.to_numpy(0, 7)
        assert "frames 0-5: 512 beams x 40 ranges" in str(refused.value)
        assert "frames 6-7: 256 beams x 30 ranges" in str(refused.value)
        assert log.to_numpy(6, 7)["images"].shape == (2, 30, 256)
        with pytest.raises(ValueError, match="could not be read as sonar images"):
            log.to_numpy(6)
        with pytest.raises(ValueError, match="not a readable sonar image"):
            log[8]
        with pytest.warns(RuntimeWarning, match="not a readable sonar image"):
            frames = list(log)
        assert [f.frame for f in frames] == list(range(8))


def test_help_documents_every_public_name():
    undocumented = [name for name in dir(keldar) if not name.startswith("_") and not getattr(keldar, name).__doc__]
    assert undocumented == []
    for cls in (keldar.Log, keldar.Frame, keldar.Sonar):
        assert [m for m in vars(cls) if not m.startswith("_") and not getattr(cls, m).__doc__] == [], cls
    text = pydoc.render_doc(keldar)
    assert "open_log(" in text and "to_numpy(" in text and "connect(" in text and "scan(" in text


def test_scan_and_live_frames(rig):
    listen = rig["listen"]
    # Status datagrams that are no sonar's, sent while the scan listens, are
    # counted; scans are repeated until all four sonars were heard in one.
    garbage = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    for _ in range(30):
        timer = threading.Timer(0.2, lambda: [garbage.sendto(b"\x7c\x3a" + bytes(40), ("127.0.0.1", listen["status_port"]))
                                             for _ in range(5)])
        timer.start()
        result = keldar.scan(1.0, **listen)
        timer.join()
        seen = {s["serial"]: s for s in result}
        if len(seen) == 4:
            break
    garbage.close()
    assert isinstance(result, list) and isinstance(result, keldar.ScanResult)
    assert result.ignored_statuses >= 5
    assert seen[63101]["address"] == "127.0.0.2" and seen[63101]["connectable"]
    assert not seen[63104]["connectable"]
    assert set(seen[63102]) == {"serial", "model", "address", "mask", "firmware", "connectable"}

    with keldar.connect(63102, range_m=12.5, gain=40, ping_rate=40, **listen) as sonar:
        assert (sonar.serial, sonar.address) == (63102, "127.0.0.3")
        frames = list(sonar.frames(count=5))
        assert [f.frame for f in frames] == list(range(5)) and sonar.dropped == 0
        for frame in frames:
            assert frame.entry_id is None and frame.image.shape == (30, 256) and frame.image.dtype == numpy.uint8
            assert frame.range_m == 12.5 and frame.gain == 40
            assert (frame.image & 0x0F == 0).all()
            assert frame.row_ranges_m[-1] == pytest.approx(12.5 * 59 / 60)
    assert sonar.closed
    with pytest.raises(ValueError, match="closed"):
        next(sonar.frames())

    with pytest.raises(ConnectionError, match="not seen"):
        keldar.connect(63199, discovery_seconds=0.3, **listen)
    with pytest.raises(ConnectionError, match="could not connect"):
        keldar.connect(63104, **listen)
    with pytest.raises(ValueError):
        keldar.connect(63101, ping_rate=7, **listen)


def test_ctrl_c_stops_a_live_loop_cleanly(rig):
    script = textwrap.dedent("""
        import sys, keldar
        listen = dict(listen_address="127.0.0.1", status_port=int(sys.argv[1]), sonar_port=int(sys.argv[2]))
        with keldar.connect(63101, **listen) as sonar:
            try:
                for frame in sonar.frames():
                    print("frame", frame.frame, flush=True)
            except KeyboardInterrupt:
                print("interrupted", flush=True)
        print("closed", sonar.closed, flush=True)
    """)
    listen = rig["listen"]
    child = subprocess.Popen([sys.executable, "-c", script, str(listen["status_port"]), str(listen["sonar_port"])],
                             stdout=subprocess.PIPE, text=True)
    assert child.stdout.readline().startswith("frame 0")
    child.send_signal(signal.SIGINT)
    out, _ = child.communicate(timeout=60)
    assert child.returncode == 0
    assert out.splitlines()[-2:] == ["interrupted", "closed True"]


def test_waiting_for_a_silent_sonar_times_out_and_lets_other_threads_run(rig):
    listen = rig["listen"]
    sim = subprocess.Popen([SIM, "--quiet", "--serial", "63105", "--address", "127.0.0.6", "--port",
                            str(listen["sonar_port"]), "--status-port", str(listen["status_port"]),
                            "--status-interval-ms", "100", "--range-lines", "20", "--duration", "120"],
                           stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, text=True)
    try:
        with keldar.connect(63105, **listen) as sonar:
            next(sonar.frames())
            sim.stdin.write("lose-fires 1000000\n")
            sim.stdin.flush()
            with pytest.raises(TimeoutError, match="no image from sonar 63105"):
                for _ in sonar.frames(timeout=1.0):
                    pass
            # A reader blocked on the silent sonar holds no GIL: a thread of
            # pure Python, long enough for the reader to be blocked meanwhile,
            # runs to its end; and closing wakes the reader.
            outcome = []
            reader = threading.Thread(target=lambda: outcome.append(pytest.raises(ValueError, next,
                                                                                   sonar.frames(timeout=60))))
            reader.start()
            counted = threading.Event()
            threading.Thread(target=lambda: ([None for _ in range(5_000_000)], counted.set())).start()
            assert counted.wait(timeout=30)
            assert reader.is_alive()
            sonar.close()
            reader.join(timeout=30)
            assert not reader.is_alive() and "closed" in str(outcome[0].value)
    finally:
        sim.terminate()
        sim.wait()


def test_a_reader_that_falls_behind_loses_the_oldest_images_not_memory(rig):
    listen = rig["listen"]
    sim = subprocess.Popen([SIM, "--quiet", "--no-commands", "--fast", "--serial", "63106", "--address", "127.0.0.7",
                            "--port", str(listen["sonar_port"]), "--status-port", str(listen["status_port"]),
                            "--status-interval-ms", "100", "--range-lines", "20", "--duration", "120"])
    try:
        with keldar.connect(63106, **listen) as sonar:
            deadline = time.monotonic() + 60
            while sonar.received < 1000:
                assert time.monotonic() < deadline, f"only {sonar.received} images arrived"
                time.sleep(0.01)
            received = sonar.received
            assert received - sonar.dropped <= 256, "at most 256 images wait"
            first = next(sonar.frames())
            assert first.frame >= received - 256 - 1, "the oldest images went first"
    finally:
        sim.terminate()
        sim.wait()


CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "fuzz", "logfile", "corpus")


def unpack(name, folder):
    """A corpus input as a user finds it: a log, and for a bundle the journal its writer left beside it."""
    raw = open(os.path.join(CORPUS, name), "rb").read()
    path = folder / "log.ondrix"
    if raw[:8] == b"KDBUNDLE":
        kind, length = int.from_bytes(raw[8:12], "little"), int.from_bytes(raw[12:20], "little")
        (folder / ("log.ondrix" + ("-wal" if kind == 0 else "-journal"))).write_bytes(raw[20 + length:])
        raw = raw[20:20 + length]
    path.write_bytes(raw)
    return path


def folder_contents(folder):
    return {entry.name: entry.read_bytes() for entry in folder.iterdir()}


@pytest.mark.parametrize("name,damaged", [("damaged-bad-data-page.ondrix", True),
                                          ("damaged-bad-bookmark-page.ondrix", True),
                                          ("damaged-cut-60.ondrix", True), ("damaged-header-overcount.ondrix", True),
                                          ("damaged-wal-beside.ondrix", False),
                                          ("damaged-journal-beside.ondrix", False)])
def test_damaged_logs_are_reported_and_left_as_they_were(tmp_path, name, damaged):
    folder = tmp_path / "log"
    folder.mkdir()
    path = unpack(name, folder)
    before = folder_contents(folder)
    with pytest.warns(RuntimeWarning, match="damaged: [0-9]+ of [0-9]+ entries readable" if damaged else "cut off"):
        log = keldar.open_log(str(path), writable=True)
    with log:
        readable, listed = log.entry_counts
        assert log.damaged == damaged and (readable < listed or not damaged or "overcount" in name)
        assert not log.writable and log.bookmarks is not None
        with pytest.raises(OSError, match="recover it into a new file"):
            log.add_bookmark(0, "refused")
    done = cli("log", "info", str(path), expect=6 if damaged else 0)
    if damaged:
        assert f"damaged: {readable} of {listed} entries readable" in done.stderr
        cli("log", "frames", str(path), expect=6)
    assert folder_contents(folder) == before

    recovered = tmp_path / "recovered.ondrix"
    done = cli("log", "recover", str(path), "--output", str(recovered))
    assert f"Recovered {readable} of {listed} entries" in done.stdout
    assert folder_contents(folder) == before
    with keldar.open_log(str(recovered)) as log:
        assert not log.damaged and log.entry_counts == (readable, readable)
