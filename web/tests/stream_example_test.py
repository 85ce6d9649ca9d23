#!/usr/bin/env python3
"""docs/stream_example.py against `ondrix-cli serve` and the simulator on
loopback: it receives the images as NumPy arrays of the simulator's shape.

    stream_example_test.py ONDRIX_SIM ONDRIX_CLI EXAMPLE
"""
import re
import subprocess
import sys

from loopback import Loopback

sim, cli, example = sys.argv[1], sys.argv[2], sys.argv[3]


net = Loopback()
web_port = net.web_port
sonar = net.simulator(sim, 64101, "--range-lines", "120", "--duration", "100")
server = subprocess.Popen([cli, "serve", "--serial", "64101", "--port", str(web_port), *net.listen],
                          stdout=subprocess.PIPE, text=True)
try:
    address = server.stdout.readline()
    assert "http://127.0.0.1:%d/" % web_port in address, address
    done = subprocess.run(["/usr/bin/python3", example, "ws://127.0.0.1:%d/stream" % web_port, "5"],
                          capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, done.stderr
    images = [line for line in done.stdout.splitlines() if not line.startswith("state")]
    assert len(images) == 5, done.stdout
    for line in images:
        match = re.match(r"(\d+) \((\d+), (\d+)\) ([\d.]+) -65\.0 65\.0 ([\d.]+)$", line)
        assert match, line
        assert int(match.group(2)) == 120 and int(match.group(3)) in (256, 512), line
        assert 0 < float(match.group(4)) < 255, line
finally:
    server.terminate()
    sonar.terminate()
    assert server.wait(timeout=10) == 0, "serve did not end cleanly on SIGTERM"
    sonar.wait()
print("stream example test passed")
