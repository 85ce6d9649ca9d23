#!/usr/bin/env python3
"""Navigation recorded beside the sonar, and what is made of it, read back with
GDAL's own tools: `log track` through ogrinfo, `log export-geotiff` through
gdalinfo, gdallocationinfo and gdaltransform, its corners checked against a
computation of the fan made here.

    navigation_test.py ONDRIX_SIM ONDRIX_CLI
"""
import json
import math
import os
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time
import urllib.request

from loopback import free_port  # beside this script

sim, cli = sys.argv[1], sys.argv[2]
work = tempfile.TemporaryDirectory()


def run(program, *args, expect=0):
    done = subprocess.run([program, *args], capture_output=True, text=True)
    assert done.returncode == expect, (args, done.returncode, done.stderr)
    return done.stdout


status_port, tcp_port, nmea_port = (free_port(socket.SOCK_DGRAM), free_port(socket.SOCK_STREAM),
                                    free_port(socket.SOCK_DGRAM))
listen = ["--listen-address", "127.0.0.1", "--listen-port", str(status_port), "--sonar-port", str(tcp_port)]
sonar = subprocess.Popen([sim, "--quiet", "--no-commands", "--serial", "64001", "--address", "127.0.0.2", "--port",
                          str(tcp_port), "--status-port", str(status_port), "--status-interval-ms", "100",
                          "--duration", "120", "--nmea", f"udp:127.0.0.1:{nmea_port}", "--nmea-latitude", "60",
                          "--nmea-longitude", "10.7", "--nmea-heading", "30", "--nmea-speed", "2"])
folder = os.path.join(work.name, "rec")
os.makedirs(folder)
try:
    out = run(cli, "record", "--serial", "64001", "--count", "20", "--folder", folder, "--nmea",
              f"udp:127.0.0.1:{nmea_port}", "--mount-heading-offset", "10", *listen)
finally:
    sonar.terminate()
    sonar.wait()
[name] = os.listdir(folder)
log = os.path.join(folder, name)
assert "20 entries" in out and "navigation sentences" in out, out

# The sonar's frames are numbered as without navigation; the sentences are kept
# verbatim under a source of their own.
frames = [json.loads(line) for line in run(cli, "log", "frames", "--json", log).splitlines()]
assert len(frames) == 20, len(frames)
db = sqlite3.connect(f"file:{log}?mode=ro", uri=True)
[(nav_id,)] = db.execute("SELECT dataSourceId FROM dataSources WHERE dataSourceType = 1").fetchall()
sentences = [bytes(p).decode() for (p,) in db.execute("SELECT payload FROM data WHERE dataSourceId = ?", (nav_id,))]
assert len(sentences) >= 20 and all(s.startswith("$") and "*" in s for s in sentences), sentences[:3]
gga = [s for s in sentences if s[3:6] == "GGA"]
db.close()

# Track: GeoJSON and KML with the footprints, GPX with the points.
for fmt, ext in [("geojson", "geojson"), ("kml", "kml"), ("gpx", "gpx")]:
    path = os.path.join(work.name, f"track.{ext}")
    run(cli, "log", "track", log, "--format", fmt, "--output", path)
    info = run("ogrinfo", "-ro", "-al", "-so", path)
    counts = [int(line.split(":")[1]) for line in info.splitlines() if line.startswith("Feature Count")]
    if fmt == "gpx":
        info = run("ogrinfo", "-ro", "-so", path, "track_points")
        [points] = [int(l.split(":")[1]) for l in info.splitlines() if l.startswith("Feature Count")]
        # Every position sample, from GGA and RMC alike.
        assert points >= len(gga), (points, len(gga))
    else:
        assert sum(counts) == 1 + 20, (fmt, counts)
stdout = run(cli, "log", "track", log)
assert json.loads(stdout)["type"] == "FeatureCollection"

# GeoTIFF of frame 7, in zone 32 north.
tif = os.path.join(work.name, "frame7.tif")
run(cli, "log", "export-geotiff", log, "--frame", "7", "--output", tif)
info = json.loads(run("gdalinfo", "-json", tif))
assert info["coordinateSystem"]["wkt"].startswith("PROJCRS[\"WGS 84 / UTM zone 32N\""), info["coordinateSystem"]["wkt"][:80]
meta = info["metadata"][""]
assert "not applied" in meta["ATTITUDE"]
assert meta["ACQUISITION_TIME"].startswith(frames[7]["time"][:19]), (meta["ACQUISITION_TIME"], frames[7]["time"])
assert [b["colorInterpretation"] for b in info["bands"]] == ["Gray", "Alpha"]
transform = info["geoTransform"]
assert abs(transform[1] + transform[5]) < 1e-9, transform  # square pixels
width, height = info["size"]
assert max(width, height) in (2000, 2001), info["size"]

# The fan computed here: the position projected by gdaltransform, grid
# convergence from the textbook series, the outline sampled finely.
lat, lon = float(meta["SONAR_LATITUDE"]), float(meta["SONAR_LONGITUDE"])
heading, rng = float(meta["SONAR_HEADING_TRUE"]), float(meta["RANGE_M"])
first, last = (float(v) for v in meta["BEARINGS_DEG"].split(","))
projected = subprocess.run(["gdaltransform", "-s_srs", "EPSG:4326", "-t_srs", "EPSG:32632", "-output_xy"],
                           input=f"{lon} {lat}\n", capture_output=True, text=True, check=True).stdout
e0, n0 = (float(v) for v in projected.split()[:2])
gamma = math.degrees(math.atan(math.tan(math.radians(lon - 9.0)) * math.sin(math.radians(lat))))
points = [(e0, n0)]
for i in range(2001):
    b = math.radians(heading - gamma + first + (last - first) * i / 2000)
    points.append((e0 + rng * math.sin(b), n0 + rng * math.cos(b)))
west, east = min(p[0] for p in points), max(p[0] for p in points)
south, north = min(p[1] for p in points), max(p[1] for p in points)
corners = info["cornerCoordinates"]
assert abs(corners["upperLeft"][0] - west) < 0.5 and abs(corners["upperLeft"][1] - north) < 0.5, (corners, west, north)
# The grid rounds up to whole pixels on the east and south.
assert abs(corners["lowerRight"][0] - east) < 0.5 + transform[1], (corners, east)
assert abs(corners["lowerRight"][1] - south) < 0.5 + transform[1], (corners, south)


def values(e, n):
    out = run("gdallocationinfo", "-valonly", "-geoloc", tif, repr(e), repr(n))
    return [int(v) for v in out.split()]


# Inside the fan (halfway out along its middle) opaque; a corner of the box,
# outside the fan, transparent.
middle = math.radians(heading - gamma + (first + last) / 2)
assert values(e0 + rng / 2 * math.sin(middle), n0 + rng / 2 * math.cos(middle))[1] == 255
assert values(corners["upperLeft"][0] + transform[1], corners["upperLeft"][1] - transform[1])[1] == 0 or \
    values(corners["lowerRight"][0] - transform[1], corners["lowerRight"][1] + transform[1])[1] == 0

# A series, every 5th frame, into a folder.
series = os.path.join(work.name, "series")
listed = run(cli, "log", "export-geotiff", log, "--every", "5", "--output", series).split()
assert sorted(os.listdir(series)) == ["frame_000000.tif", "frame_000005.tif", "frame_000010.tif",
                                      "frame_000015.tif"], os.listdir(series)
assert len(listed) == 4
# A frame past the end is refused and nothing is written.
run(cli, "log", "export-geotiff", log, "--frame", "99", "--output", os.path.join(work.name, "x.tif"), expect=2)
assert not os.path.exists(os.path.join(work.name, "x.tif"))

# Served to browsers, each frame carries where the sonar was: the page's
# position and heading come from the recording.
web_port = free_port(socket.SOCK_STREAM)
server = subprocess.Popen([cli, "serve", log, "--port", str(web_port)], stdout=subprocess.PIPE, text=True)
try:
    assert f"http://127.0.0.1:{web_port}/" in server.stdout.readline()
    for _ in range(200):  # until the first frame has been published
        with urllib.request.urlopen(f"http://127.0.0.1:{web_port}/status", timeout=20) as reply:
            status = json.load(reply)
        if status["position"] is not None:
            break
        time.sleep(0.1)
    assert status["position"] is not None, status
    assert abs(status["position"][0] - 60) < 0.01 and abs(status["position"][1] - 10.7) < 0.01, status
    assert abs(status["heading_deg"] - 30) < 1e-6, status
finally:
    server.terminate()
    assert server.wait(timeout=10) == 0
print("navigation outputs ok")
