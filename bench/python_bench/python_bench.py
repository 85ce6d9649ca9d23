#!/usr/bin/env python3
"""Speed of the keldar Python module, in one run:

1. Log.to_numpy over a whole recording against `ondrix-cli log export-frames
   --format npz` on the same file (goal: at least 0.8 times its speed). Each
   repetition runs both, in alternating order, each in a process of its own;
   the figures are the medians. The recording is made by python-bench-log
   (1024 MB unless --megabytes says otherwise) and removed at the end.
2. Live images through keldar.connect from ondrix-sim at 40 pings a second
   (goal: none lost): images received against ping results the simulator
   says it sent, and the module's own count of images it dropped.

    cmake --build --preset default --target python_bench
    /usr/bin/python3 bench/python_bench/python_bench.py [--build build] [--megabytes 1024]
"""
import argparse
import os
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "..", "build"))
parser.add_argument("--megabytes", type=int, default=1024)
parser.add_argument("--repetitions", type=int, default=3)
parser.add_argument("--live-seconds", type=float, default=10.0)
options = parser.parse_args()
build = os.path.abspath(options.build)
cli = os.path.join(build, "tools", "ondrix-cli", "ondrix-cli")
sim = os.path.join(build, "tools", "ondrix-sim", "ondrix-sim")
make_log = os.path.join(build, "bench", "python_bench", "python-bench-log")
env = dict(os.environ, PYTHONPATH=os.path.join(build, "python"))
work = tempfile.mkdtemp(prefix="keldar-python-bench-")
sys.path.insert(0, env["PYTHONPATH"])
import keldar  # noqa: E402 (from the build named above)

TO_NUMPY = """
import sys, time, keldar
start = time.perf_counter()
with keldar.open_log(sys.argv[1]) as log:
    arrays = log.to_numpy()
print(time.perf_counter() - start, arrays["images"].nbytes, len(arrays["frames"]))
"""


def timed(command):
    start = time.perf_counter()
    done = subprocess.run(command, capture_output=True, text=True, env=env)
    elapsed = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"python_bench: {command[0]} failed: {done.stderr}")
    return elapsed, done.stdout


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


try:
    log = os.path.join(work, "recording.ondrix")
    subprocess.run([make_log, log, str(options.megabytes)], check=True, stdout=subprocess.DEVNULL)
    size = os.path.getsize(log) / 2**20
    print(f"recording: {size:.0f} MB")
    cli_times, module_times = [], []
    for repetition in range(options.repetitions):
        out = os.path.join(work, "frames.npz")
        runs = [("cli", lambda: timed([cli, "log", "export-frames", log, "--format", "npz", out])),
                ("module", lambda: timed([sys.executable, "-c", TO_NUMPY, log]))]
        if repetition % 2:
            runs.reverse()
        for name, run in runs:
            elapsed, stdout = run()
            if name == "cli":
                cli_times.append(elapsed)
                os.remove(out)
            else:
                module_times.append(elapsed)
                frames = int(stdout.split()[2])
            print(f"  {name:6} {elapsed:7.2f} s", flush=True)
    cli_median, module_median = statistics.median(cli_times), statistics.median(module_times)
    print(f"to_numpy: {frames} frames, {size:.0f} MB; median {module_median:.2f} s ({size / module_median:.0f} MB/s), "
          f"export-frames npz median {cli_median:.2f} s ({size / cli_median:.0f} MB/s); "
          f"speed ratio {cli_median / module_median:.2f} (goal >= 0.8)")
    os.remove(log)

    status_port, tcp_port = free_port(socket.SOCK_DGRAM), free_port(socket.SOCK_STREAM)
    rates, lost = [], []
    for repetition in range(options.repetitions):
        simulator = subprocess.Popen(
            [sim, "--no-commands", "--serial", "64001", "--address", "127.0.0.2", "--port", str(tcp_port),
             "--status-port", str(status_port), "--status-interval-ms", "100", "--range-lines", "1000",
             "--duration", "600"], stdout=subprocess.PIPE, text=True)
        with keldar.connect(64001, ping_rate=40, full_beams=True, listen_address="127.0.0.1",
                            status_port=status_port, sonar_port=tcp_port) as sonar:
            start, count = None, 0
            for frame in sonar.frames():
                if start is None:
                    start = time.perf_counter()
                    first = frame.frame
                else:
                    count += 1
                if start is not None and time.perf_counter() - start >= options.live_seconds:
                    break
            elapsed = time.perf_counter() - start
            last = frame.frame
        received, dropped = sonar.received, sonar.dropped
        simulator.send_signal(signal.SIGINT)
        output, _ = simulator.communicate(timeout=60)
        sent = int(re.search(r"(\d+) ping results", output).group(1))
        rates.append(count / elapsed)
        # Taken by the loop: frames first..last; received by the module; sent
        # by the simulator (at most one more: a result in flight at close).
        lost.append(sent - received)
        print(f"  live: {count / elapsed:.1f} images/s over {elapsed:.1f} s; frames {first}..{last} taken, "
              f"{received} received, {dropped} dropped, {sent} sent", flush=True)
        assert last - first + 1 == count + 1, "the frame numbers show a gap"
    print(f"live at 40 Hz: median {statistics.median(rates):.1f} images/s; images sent but not received per run: "
          f"{lost} (goal: 0, or 1 in flight when the connection closed)")
finally:
    shutil.rmtree(work, ignore_errors=True)
