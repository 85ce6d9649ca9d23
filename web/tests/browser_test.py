#!/usr/bin/env python3
"""The shared view in headless Chromium against `ondrix-cli serve` and the
simulator, all on loopback: the fan's pixels are the received samples through
the chosen palette, the figures match /status, the page shows the sonar going
offline when the simulator stops and draws again when it comes back.

    browser_test.py ONDRIX_SIM ONDRIX_CLI [SCREENSHOT_DIR]
"""
import json
import math
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

sim, cli = sys.argv[1], sys.argv[2]
shots = sys.argv[3] if len(sys.argv) > 3 else None

chromium = shutil.which("chromium")
driver_path = shutil.which("chromedriver")
if not chromium or not driver_path:
    sys.exit("FAILED: Chromium and its driver are needed (Debian's chromium and chromium-driver; "
             "./scripts/bootstrap installs them)")
from selenium import webdriver  # noqa: E402  (python3-selenium)
from selenium.webdriver.chrome.service import Service  # noqa: E402

from loopback import Loopback, free_port  # noqa: E402

SERIAL = 64001
PALETTE = 5  # spectrum: every channel moves, so a wrong lookup shows


def wait_for(what, condition, seconds=30):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError("timed out waiting for " + what)


net = Loopback()
web_port = net.web_port
sim_args = net.simulator_args(sim, SERIAL, "--range-lines", "300", "--duration", "170")
processes = []


def answers(url):
    try:
        urllib.request.urlopen(url).close()
        return True
    except OSError:
        return False


def start(args, **kwargs):
    process = subprocess.Popen(args, **kwargs)
    processes.append(process)
    return process


try:
    sonar = start(sim_args)
    # A short recording, served at the end to show its playback state.
    recordings = tempfile.TemporaryDirectory()
    subprocess.run([cli, "record", "--serial", str(SERIAL), "--count", "20", "--folder", recordings.name,
                    *net.listen], check=True, capture_output=True)
    server = start([cli, "serve", "--serial", str(SERIAL), "--bind", "0.0.0.0", "--port", str(web_port), *net.listen],
                   stdout=subprocess.PIPE, text=True)
    line = server.stdout.readline()
    match = re.search(r"http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]+)", line)
    assert match, "serve printed no address with a token: " + line
    token = match.group(2)
    base = "http://127.0.0.1:%d" % web_port

    # Without the token nothing is served, beyond loopback.
    try:
        urllib.request.urlopen(base + "/status")
        raise AssertionError("/status answered without the token")
    except urllib.error.HTTPError as error:
        assert error.code == 401, error.code

    def status():
        with urllib.request.urlopen(base + "/status?token=" + token) as answer:
            return json.load(answer)

    with urllib.request.urlopen(base + "/palettes?token=" + token) as answer:
        palette = json.load(answer)["palettes"][PALETTE]["rgb"]

    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for flag in ["--headless=new", "--no-sandbox", "--window-size=1000,800", "--enable-unsafe-swiftshader",
                 "--use-angle=swiftshader", "--disable-dev-shm-usage", "--no-first-run"]:
        options.add_argument(flag)
    browser = webdriver.Chrome(service=Service(driver_path), options=options)
    try:
        browser.get("%s/?token=%s&palette=%d" % (base, token, PALETTE))
        frames = lambda: browser.execute_script("return window.keldarView ? window.keldarView.frames : 0")
        wait_for("images in the page", lambda: frames() >= 60, seconds=60)

        # One synchronous snapshot: the image last drawn, where the fan lies
        # and the pixels under chosen points; no new image can be drawn meanwhile.
        points = [(r / 10.0, a) for r in range(2, 10) for a in (-0.8, -0.45, -0.1, 0.2, 0.55, 0.85)]
        snapshot = browser.execute_script("""
            const v = window.keldarView, g = v.geometry, image = v.lastImage;
            const points = arguments[0].map(([r, a]) => {
              const degrees = (g.first + g.last) / 2 + a * (g.last - g.first) / 2;
              const t = degrees * Math.PI / 180;
              const x = Math.floor(g.apexX + r * g.radius * Math.sin(t));
              const y = Math.floor(g.apexY - r * g.radius * Math.cos(t));
              return {x, y, rgba: v.readPixel(x, y)};
            });
            return {geometry: g, meta: image.meta, bearings: Array.from(image.bearings),
                    samples: Array.from(image.samples), points,
                    outside: v.readPixel(2, 2), palette: v.palette};""", points)
        g, meta = snapshot["geometry"], snapshot["meta"]
        width, height = meta["width"], meta["height"]
        bearings, samples = snapshot["bearings"], snapshot["samples"]
        assert snapshot["palette"] == PALETTE
        # The simulator's bearing table: evenly from -65 to +65 degrees.
        assert (bearings[0], bearings[-1]) == (-6500, 6500), (bearings[0], bearings[-1])
        assert height == 300, height

        def beam_position(degrees):
            hundredths = degrees * 100
            for i in range(width - 1):
                if bearings[i] <= hundredths <= bearings[i + 1]:
                    return i + (hundredths - bearings[i]) / (bearings[i + 1] - bearings[i])
            raise AssertionError(degrees)

        matched = 0
        for point in snapshot["points"]:
            # The pixel's centre back to range and bearing.
            dx = point["x"] + 0.5 - g["apexX"]
            dy = g["apexY"] - (point["y"] + 0.5)
            r = math.hypot(dx, dy) / g["radius"]
            beam = beam_position(math.degrees(math.atan2(dx, dy)))
            row = r * height - 0.5
            near = [samples[min(height - 1, max(0, int(row) + j)) * width + min(width - 1, max(0, int(beam) + i))]
                    for j in (-1, 0, 1, 2) for i in (-1, 0, 1, 2)]
            allowed = [palette[3 * k:3 * k + 3] for k in range(min(near), max(near) + 1)]
            colour = point["rgba"][:3]
            ok = any(all(abs(c - e) <= 3 for c, e in zip(colour, expected)) for expected in allowed)
            assert ok, (point, r, beam, near, colour)
            matched += 1
        assert matched == len(points)
        # The samples follow the simulated scene: a dark water column near the
        # sonar and the bed's return farther out.
        near_rows = samples[: width * height // 10]
        far_rows = samples[width * height // 3: width * height * 2 // 3]
        assert sum(near_rows) / len(near_rows) < sum(far_rows) / len(far_rows), "no seabed in the image"
        # Outside the fan: the page's background, not a palette colour.
        assert snapshot["outside"][:3] == [38, 40, 43], snapshot["outside"]

        # The figures against /status.
        state = status()
        text = lambda element: browser.execute_script("return document.getElementById(arguments[0]).textContent",
                                                      element)
        assert text("range") == "%.2f m" % state["range_m"], (text("range"), state["range_m"])
        assert text("gain") == "%.0f %%" % state["gain_pct"], (text("gain"), state["gain_pct"])
        assert text("state") == "online"
        assert state["sonar"]["serial"] == SERIAL and str(SERIAL) in text("source")
        wait_for("a frame rate", lambda: float(text("rate").split()[0]) > 0)
        delays = sorted(browser.execute_script("return window.keldarView.delays"))
        print("median delay from the server's send to the page's paint: %.1f ms over %d images"
              % (delays[len(delays) // 2], len(delays)))
        if shots:
            browser.save_screenshot(os.path.join(shots, "web-desktop.png"))

        # The simulator stops: the page says so. It comes back: images return.
        sonar.terminate()
        sonar.wait()
        wait_for("the offline state", lambda: text("state") == "offline" and browser.execute_script(
            "return !document.getElementById('banner').hidden"), seconds=40)
        if shots:
            browser.save_screenshot(os.path.join(shots, "web-offline.png"))
        before = frames()
        time.sleep(0.5)
        assert frames() == before, "images while offline"
        sonar = start(sim_args)
        wait_for("images after the restart", lambda: frames() >= before + 5, seconds=40)
        wait_for("the online state", lambda: text("state") == "online")
        if shots:
            browser.set_window_size(390, 844)
            time.sleep(1)
            browser.save_screenshot(os.path.join(shots, "web-phone.png"))

        # A served recording says whether it plays, and follows the page's pause.
        [recording] = os.listdir(recordings.name)
        file_port = free_port(socket.SOCK_STREAM)
        start([cli, "serve", os.path.join(recordings.name, recording), "--port", str(file_port)],
              stdout=subprocess.DEVNULL)
        wait_for("the recording served", lambda: answers("http://127.0.0.1:%d/status" % file_port))
        browser.get("http://127.0.0.1:%d/" % file_port)
        wait_for("the playing state", lambda: text("state") == "playing")
        browser.find_element("id", "playPause").click()
        wait_for("the paused state", lambda: text("state") == "paused")
    finally:
        browser.quit()
finally:
    for process in processes:
        process.terminate()
    for process in processes:
        try:
            code = process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            raise AssertionError("a process did not end on SIGTERM")
    assert server.returncode == 0, "serve ended with %d on SIGTERM" % server.returncode
print("browser test passed")
