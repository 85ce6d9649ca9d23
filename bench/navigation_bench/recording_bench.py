#!/usr/bin/env python3
"""Does recording navigation beside the images lose sonar images at 40 Hz?
Records the simulator for SECONDS at 40 pings a second, three times without and
three with NMEA (10 Hz, five sentences each), and compares the images written
with the ping results the simulator sent while the recording ran.

    recording_bench.py ONDRIX_SIM ONDRIX_CLI [SECONDS=10]
"""
import os
import re
import socket
import sqlite3
import statistics
import subprocess
import sys
import tempfile

sim, cli = sys.argv[1], sys.argv[2]
seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 10.0


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def run(with_nmea, serial):
    status, tcp, nmea = free_port(socket.SOCK_DGRAM), free_port(socket.SOCK_STREAM), free_port(socket.SOCK_DGRAM)
    extra = ["--nmea", f"udp:127.0.0.1:{nmea}"] if with_nmea else []
    sonar = subprocess.Popen([sim, "--no-commands", "--serial", str(serial), "--address", "127.0.0.2", "--port",
                              str(tcp), "--status-port", str(status), "--status-interval-ms", "100", *extra],
                             stdout=subprocess.PIPE, text=True)
    with tempfile.TemporaryDirectory() as folder:
        done = subprocess.run([cli, "record", "--serial", str(serial), "--seconds", str(seconds), "--ping-rate", "40",
                               "--folder", folder, "--listen-address", "127.0.0.1", "--listen-port", str(status),
                               "--sonar-port", str(tcp), *extra], capture_output=True, text=True)
        sonar.terminate()
        out, _ = sonar.communicate()
        assert done.returncode == 0, done.stderr
        [name] = os.listdir(folder)
        db = sqlite3.connect(os.path.join(folder, name))
        images = db.execute("SELECT COUNT(*) FROM data WHERE dataSourceId IN "
                            "(SELECT dataSourceId FROM dataSources WHERE dataSourceType = 0)").fetchone()[0]
        sentences = db.execute("SELECT COUNT(*) FROM data WHERE dataSourceId IN "
                               "(SELECT dataSourceId FROM dataSources WHERE dataSourceType = 1)").fetchone()[0]
        db.close()
    sent = int(re.search(r"(\d+) ping results", out).group(1))
    return images, sent, sentences


for with_nmea in (False, True):
    rows = [run(with_nmea, 64501 + i) for i in range(3)]
    lost = [sent - images for images, sent, _ in rows]
    rates = [images / seconds for images, _, _ in rows]
    print(f"{'with' if with_nmea else 'without'} navigation: images/s median {statistics.median(rates):.1f}, "
          f"lost (sent - written) per run {lost}, sentences {[s for _, _, s in rows]}")
