#!/usr/bin/env python3
"""Frames per second through a mean image per recording over 20 recordings:
one process (Dask's synchronous scheduler) against a distributed.LocalCluster
of two worker processes on this machine. Median of three runs each.

    PYTHONPATH=build/python dask_bench.py ONDRIX_SIM ONDRIX_CLI [FRAMES=100]
"""
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import time

import dask
import distributed
import numpy

import keldar
import keldar.dask

sim, cli = sys.argv[1], sys.argv[2]
frames = int(sys.argv[3]) if len(sys.argv) > 3 else 100


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def mean_images(paths):
    images = keldar.dask.images(paths)
    chunks = images.to_delayed().ravel()
    return dask.compute(*[dask.delayed(lambda block: block.mean(axis=0))(chunk) for chunk in chunks])


def timed(paths, **config):
    runs = []
    for _ in range(3):
        start = time.perf_counter()
        with dask.config.set(**config):
            means = mean_images(paths)
        runs.append(time.perf_counter() - start)
    return statistics.median(runs), means


def main():
    with tempfile.TemporaryDirectory() as work:
        status, tcp = free_port(socket.SOCK_DGRAM), free_port(socket.SOCK_STREAM)
        sonar = subprocess.Popen([sim, "--quiet", "--no-commands", "--serial", "64601", "--address", "127.0.0.2",
                                  "--port", str(tcp), "--status-port", str(status), "--status-interval-ms", "100",
                                  "--fast"])
        try:
            for i in range(20):
                folder = os.path.join(work, f"r{i:02d}")
                os.makedirs(folder)
                subprocess.run([cli, "record", "--serial", "64601", "--count", str(frames), "--folder", folder,
                                "--listen-address", "127.0.0.1", "--listen-port", str(status), "--sonar-port", str(tcp)],
                               check=True, capture_output=True)
        finally:
            sonar.terminate()
            sonar.wait()
        paths = sorted(os.path.join(work, d, f) for d in os.listdir(work) for f in os.listdir(os.path.join(work, d)))
        total = 20 * frames
        one, reference = timed(paths, scheduler="sync")
        with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                      dashboard_address=None) as cluster, distributed.Client(cluster):
            mean_images(paths[:2])  # workers import the module once before timing
            two, result = timed(paths)
        assert all(numpy.array_equal(a, b) for a, b in zip(reference, result))
        print(f"mean image per recording, 20 recordings x {frames} frames: one process {total / one:.0f} frames/s, "
              f"two-worker cluster {total / two:.0f} frames/s, ratio {one / two:.2f}")


# Worker processes import this file again: only the parent runs the bench.
if __name__ == "__main__":
    main()
