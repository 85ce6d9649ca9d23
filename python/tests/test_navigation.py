"""Navigation from Python: positions and headings of frames, the track,
georeferenced samples, the catalogue of a folder, and the Dask collections
computed on a real two-process cluster against one process."""
import math
import os
import socket
import subprocess

import numpy
import pytest

import keldar

SIM = os.environ["KELDAR_ONDRIX_SIM"]
CLI = os.environ["KELDAR_ONDRIX_CLI"]


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@pytest.fixture(scope="module")
def survey(tmp_path_factory):
    """Three recordings of one sonar, two of them with navigation along a
    track heading 120 degrees, one plain; and one damaged file."""
    work = tmp_path_factory.mktemp("survey")
    status_port, tcp_port, nmea_port = free_port(socket.SOCK_DGRAM), free_port(socket.SOCK_STREAM), \
        free_port(socket.SOCK_DGRAM)
    listen = ["--listen-address", "127.0.0.1", "--listen-port", str(status_port), "--sonar-port", str(tcp_port)]
    sonar = subprocess.Popen([SIM, "--quiet", "--no-commands", "--serial", "63201", "--address", "127.0.0.2",
                              "--port", str(tcp_port), "--status-port", str(status_port), "--status-interval-ms",
                              "100", "--range-lines", "30", "--duration", "200", "--nmea",
                              f"udp:127.0.0.1:{nmea_port}", "--nmea-heading", "120", "--nmea-latitude", "-33.9",
                              "--nmea-longitude", "18.4"])
    paths = []
    try:
        for name, nmea in [("a", True), ("b/deeper", True), ("c", False)]:
            folder = work / name
            folder.mkdir(parents=True)
            options = ["--nmea", f"udp:127.0.0.1:{nmea_port}"] if nmea else []
            done = subprocess.run([CLI, "record", "--serial", "63201", "--count", "8", "--folder", str(folder),
                                   *options, *listen], capture_output=True, text=True)
            assert done.returncode == 0, done.stderr
            [path] = folder.iterdir()
            paths.append(str(path))
    finally:
        sonar.terminate()
        sonar.wait()
    (work / "broken.ondrix").write_bytes(b"not a log at all" * 10)
    return dict(work=work, paths=paths)


def test_frames_know_where_they_were(survey):
    navigated, _, plain = survey["paths"]
    with keldar.open_log(navigated) as log:
        frame = log[4]
        lat, lon = frame.position
        assert abs(lat + 33.9) < 0.001 and abs(lon - 18.4) < 0.001
        assert frame.heading == pytest.approx(120.0, abs=1e-6)
        track = log.track()
        assert set(track) == {"time", "latitude", "longitude", "heading"}
        assert len(track["time"]) >= 3 and numpy.all(numpy.diff(track["time"]) > 0)
        assert track["time"][0] - 2000 <= frame.timestamp_ms <= track["time"][-1] + 2000

        where = frame.georeference()
        assert (where["zone"], where["hemisphere"], where["epsg"]) == (34, "S", 32734)
        assert where["easting"].shape == frame.image.shape
        # Samples of one beam lie on a straight line out from the sonar, each at
        # its row's range from the first row's place back along the line.
        beam = frame.image.shape[1] // 2
        e, n = where["easting"][:, beam], where["northing"][:, beam]
        steps = numpy.hypot(numpy.diff(e), numpy.diff(n))
        assert numpy.allclose(steps, numpy.diff(frame.row_ranges_m))
        # The line's grid bearing is heading + beam bearing - convergence, the
        # convergence from the spherical series (good to 1e-3 degrees here).
        convergence = math.degrees(math.atan(math.tan(math.radians(lon - 21.0)) * math.sin(math.radians(lat))))
        bearing = math.degrees(math.atan2(e[-1] - e[0], n[-1] - n[0])) % 360
        assert bearing == pytest.approx((120.0 + frame.bearings_deg[beam] - convergence) % 360, abs=1e-3)

    with keldar.open_log(plain) as log:
        assert log[0].position is None and log[0].heading is None
        assert len(log.track()["time"]) == 0
        with pytest.raises(ValueError):
            log[0].georeference()


def test_catalogue_lists_every_recording_and_the_damaged(survey):
    rows = keldar.catalog(survey["work"])
    by_path = {row["path"]: row for row in rows}
    assert sorted(by_path) == sorted([*survey["paths"], str(survey["work"] / "broken.ondrix")])
    broken = by_path[str(survey["work"] / "broken.ondrix")]
    assert broken["damaged"] and broken["error"]
    a, b, c = (by_path[p] for p in survey["paths"])
    assert (a["frames"], a["serial"], a["navigation"], c["navigation"]) == (8, 63201, True, False)
    assert a["start_ms"] < a["end_ms"] < b["start_ms"]
    assert -33.91 < a["min_latitude"] <= a["max_latitude"] < -33.89 and c["min_latitude"] is None
    import pandas  # installed with the build dependencies; missing, the test fails
    frame = keldar.catalog(survey["work"], as_dataframe=True)
    assert isinstance(frame, pandas.DataFrame) and len(frame) == 4 and frame["damaged"].sum() == 1


def test_dask_on_a_two_process_cluster_sums_as_one_process(survey):
    import dask
    import distributed
    import keldar.dask

    paths = survey["paths"]
    expected = sum(int(keldar.open_log(p).to_numpy()["images"].astype(numpy.int64).sum()) for p in paths)
    images = keldar.dask.images(paths, frames_per_chunk=3)
    assert images.shape == (24, 30, keldar.open_log(paths[0])[0].image.shape[1]) and images.dtype == numpy.uint8
    bag = keldar.dask.frames(paths)
    assert bag.npartitions == 3
    with dask.config.set(scheduler="sync"):
        assert int(images.astype(numpy.int64).sum().compute()) == expected
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        assert len(client.scheduler_info()["workers"]) == 2
        assert int(images.astype(numpy.int64).sum().compute()) == expected
        frame_sums = bag.map(lambda item: int(item["image"].astype(numpy.int64).sum())).sum().compute()
        assert frame_sums == expected
        positions = bag.filter(lambda item: item["position"] is not None).count().compute()
        assert positions == 16
