// The shared view: draws each image of /stream as a fan with WebGL 1, through
// the same palette tables as the viewer, with range rings, labels and the key
// figures. Plain script, no build step, no framework.
"use strict";

(function () {
  const token = new URLSearchParams(window.location.search).get("token");
  const withToken = (path) => (token ? path + "?token=" + encodeURIComponent(token) : path);
  const $ = (id) => document.getElementById(id);

  const view = {
    frames: 0,        // images drawn
    meta: null,       // metadata of the last image drawn
    state: null,      // last state (online, playback, ...)
    palettes: [],
    palette: 0,
    viewerPalette: null, // the viewer's own choice, as the server last said
    pinnedPalette: false, // chosen in the page's address
    geometry: null,   // apex and radius in canvas pixels, bearings in degrees
    lastImageAt: 0,
    delays: [],       // milliseconds from the server's send to the paint
  };
  window.keldarView = view;

  // ---- WebGL -------------------------------------------------------------
  const canvas = $("fan");
  const gl = canvas.getContext("webgl", { preserveDrawingBuffer: true, antialias: false, alpha: false });
  if (!gl) {
    $("banner").textContent = "This browser cannot draw WebGL";
    $("banner").hidden = false;
    return;
  }

  const vertexSource = `
    attribute vec2 position;   // model space: apex at 0, full range 1
    attribute vec2 texel;      // (beam, range) texture coordinates
    uniform vec2 scale;
    uniform vec2 offset;
    varying vec2 coordinate;
    void main() {
      coordinate = texel;
      gl_Position = vec4(position * scale + offset, 0.0, 1.0);
    }`;
  const fragmentSource = `
    precision mediump float;
    uniform sampler2D image;
    uniform sampler2D palette;
    varying vec2 coordinate;
    void main() {
      float intensity = texture2D(image, coordinate).r;
      gl_FragColor = vec4(texture2D(palette, vec2(intensity * (255.0 / 256.0) + 0.5 / 256.0, 0.5)).rgb, 1.0);
    }`;

  function compile(type, source) {
    const shader = gl.createShader(type);
    gl.shaderSource(shader, source);
    gl.compileShader(shader);
    if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS)) {
      throw new Error(gl.getShaderInfoLog(shader));
    }
    return shader;
  }
  const program = gl.createProgram();
  gl.attachShader(program, compile(gl.VERTEX_SHADER, vertexSource));
  gl.attachShader(program, compile(gl.FRAGMENT_SHADER, fragmentSource));
  gl.linkProgram(program);
  gl.useProgram(program);
  const at = {
    position: gl.getAttribLocation(program, "position"),
    texel: gl.getAttribLocation(program, "texel"),
    scale: gl.getUniformLocation(program, "scale"),
    offset: gl.getUniformLocation(program, "offset"),
  };
  gl.uniform1i(gl.getUniformLocation(program, "image"), 0);
  gl.uniform1i(gl.getUniformLocation(program, "palette"), 1);

  function makeTexture(filter) {
    const texture = gl.createTexture();
    gl.bindTexture(gl.TEXTURE_2D, texture);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, filter);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, filter);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_S, gl.CLAMP_TO_EDGE);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_T, gl.CLAMP_TO_EDGE);
    return texture;
  }
  const imageTexture = makeTexture(gl.LINEAR);
  const paletteTexture = makeTexture(gl.NEAREST);
  const vertexBuffer = gl.createBuffer();
  let vertexCount = 0;
  let meshKey = "";

  // A triangle per pair of neighbouring beams, from the apex to full range;
  // beam i is sampled at the middle of its texel column.
  function buildMesh(bearings) {
    const width = bearings.length;
    const data = new Float32Array((width - 1) * 3 * 4);
    let k = 0;
    for (let i = 0; i + 1 < width; ++i) {
      const a = (bearings[i] / 100) * Math.PI / 180;
      const b = (bearings[i + 1] / 100) * Math.PI / 180;
      const ua = (i + 0.5) / width;
      const ub = (i + 1.5) / width;
      data.set([0, 0, (ua + ub) / 2, 0, Math.sin(a), Math.cos(a), ua, 1, Math.sin(b), Math.cos(b), ub, 1], k);
      k += 12;
    }
    gl.bindBuffer(gl.ARRAY_BUFFER, vertexBuffer);
    gl.bufferData(gl.ARRAY_BUFFER, data, gl.STATIC_DRAW);
    vertexCount = (width - 1) * 3;
  }

  function setPalette(index) {
    const entry = view.palettes[index];
    if (!entry) {
      return;
    }
    view.palette = index;
    gl.activeTexture(gl.TEXTURE1);
    gl.bindTexture(gl.TEXTURE_2D, paletteTexture);
    gl.pixelStorei(gl.UNPACK_ALIGNMENT, 1);
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGB, 256, 1, 0, gl.RGB, gl.UNSIGNED_BYTE, new Uint8Array(entry.rgb));
    if (view.lastImage) {
      draw(view.lastImage);
    }
  }

  // ---- Fitting and overlay -----------------------------------------------
  const overlay = $("overlay");
  const context2d = overlay.getContext("2d");

  function resize() {
    const ratio = window.devicePixelRatio || 1;
    for (const c of [canvas, overlay]) {
      const width = Math.max(1, Math.round(c.clientWidth * ratio));
      const height = Math.max(1, Math.round(c.clientHeight * ratio));
      if (c.width !== width || c.height !== height) {
        c.width = width;
        c.height = height;
      }
    }
    if (view.lastImage) {
      draw(view.lastImage);
    }
  }

  // The fan's bounding box in model space, then a uniform scale that fills
  // 90 % of the limiting side, as the viewer fits it.
  function fit(bearings) {
    const first = bearings[0] / 100;
    const last = bearings[bearings.length - 1] / 100;
    const lo = Math.min(first, last);
    const hi = Math.max(first, last);
    let minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (let step = 0; step <= 64; ++step) {
      const t = ((lo + (hi - lo) * step / 64) * Math.PI) / 180;
      minX = Math.min(minX, Math.sin(t));
      maxX = Math.max(maxX, Math.sin(t));
      minY = Math.min(minY, Math.cos(t));
      maxY = Math.max(maxY, Math.cos(t));
    }
    const w = canvas.width, h = canvas.height;
    const pixelsPerUnit = 0.9 * Math.min(w / (maxX - minX), h / (maxY - minY));
    const apexX = w / 2 - pixelsPerUnit * (minX + maxX) / 2;
    const apexY = h / 2 + pixelsPerUnit * (minY + maxY) / 2; // canvas y grows downwards
    return { apexX, apexY, radius: pixelsPerUnit, first, last };
  }

  function niceStep(range) {
    const rough = range / 4;
    const power = Math.pow(10, Math.floor(Math.log10(rough)));
    for (const m of [1, 2, 2.5, 5, 10]) {
      if (m * power >= rough) {
        return m * power;
      }
    }
    return 10 * power;
  }

  function drawOverlay(g, range) {
    const ratio = window.devicePixelRatio || 1;
    context2d.clearRect(0, 0, overlay.width, overlay.height);
    context2d.strokeStyle = "rgb(128,128,128)";
    context2d.fillStyle = "rgb(200,200,200)";
    context2d.lineWidth = ratio;
    context2d.font = `${Math.round(12 * ratio)}px "DejaVu Sans", Verdana, sans-serif`;
    const toCanvas = (r, degrees) => {
      const t = (degrees * Math.PI) / 180;
      return [g.apexX + r * g.radius * Math.sin(t), g.apexY - r * g.radius * Math.cos(t)];
    };
    // Sector lines: both edges and straight ahead.
    for (const degrees of [g.first, 0, g.last]) {
      if (degrees < Math.min(g.first, g.last) || degrees > Math.max(g.first, g.last)) {
        continue;
      }
      const [x, y] = toCanvas(1, degrees);
      context2d.beginPath();
      context2d.moveTo(g.apexX, g.apexY);
      context2d.lineTo(x, y);
      context2d.stroke();
    }
    if (!(range > 0)) {
      return;
    }
    const step = niceStep(range);
    const start = ((-90 + Math.min(g.first, g.last)) * Math.PI) / 180;
    const end = ((-90 + Math.max(g.first, g.last)) * Math.PI) / 180;
    for (let ring = step; ring <= range + 1e-9; ring += step) {
      const r = ring / range;
      context2d.beginPath();
      context2d.arc(g.apexX, g.apexY, r * g.radius, start, end);
      context2d.stroke();
      const [x, y] = toCanvas(r, Math.max(g.first, g.last));
      const text = (Math.round(ring * 100) / 100).toString() + " m";
      context2d.fillText(text, x + 4 * ratio, y);
    }
  }

  function draw(image) {
    const { bearings, samples, width, height } = image;
    const key = width + ":" + bearings[0] + ":" + bearings[width - 1];
    if (key !== meshKey) {
      buildMesh(bearings);
      meshKey = key;
    }
    gl.activeTexture(gl.TEXTURE0);
    gl.bindTexture(gl.TEXTURE_2D, imageTexture);
    gl.pixelStorei(gl.UNPACK_ALIGNMENT, 1);
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.LUMINANCE, width, height, 0, gl.LUMINANCE, gl.UNSIGNED_BYTE, samples);

    const g = fit(bearings);
    view.geometry = g;
    gl.viewport(0, 0, canvas.width, canvas.height);
    gl.clearColor(0.15, 0.157, 0.169, 1);
    gl.clear(gl.COLOR_BUFFER_BIT);
    // Model (x, y) to clip space: x' = (apexX + x*radius) / w * 2 - 1, and
    // y' = 1 - (apexY - y*radius) / h * 2.
    gl.uniform2f(at.scale, (2 * g.radius) / canvas.width, (2 * g.radius) / canvas.height);
    gl.uniform2f(at.offset, (2 * g.apexX) / canvas.width - 1, 1 - (2 * g.apexY) / canvas.height);
    gl.bindBuffer(gl.ARRAY_BUFFER, vertexBuffer);
    gl.enableVertexAttribArray(at.position);
    gl.enableVertexAttribArray(at.texel);
    gl.vertexAttribPointer(at.position, 2, gl.FLOAT, false, 16, 0);
    gl.vertexAttribPointer(at.texel, 2, gl.FLOAT, false, 16, 8);
    gl.drawArrays(gl.TRIANGLES, 0, vertexCount);
    drawOverlay(g, image.meta.range_m);
  }

  // For tests: the colour under canvas pixel (x, y), y from the top.
  view.readPixel = function (x, y) {
    const pixel = new Uint8Array(4);
    gl.readPixels(x, canvas.height - 1 - y, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
    return Array.from(pixel);
  };

  // ---- Figures -----------------------------------------------------------
  function showState(state) {
    view.state = state;
    const online = state.online;
    const stateBadge = $("state");
    // A served recording says whether it plays; a sonar whether it is there.
    const playing = state.playback ? (state.playback.playing ? "playing" : "paused") : "online";
    stateBadge.textContent = online ? playing : "offline";
    stateBadge.className = "state " + (online ? "online" : "offline");
    $("view").classList.toggle("offline", !online);
    $("banner").textContent = "Sonar offline";
    $("banner").hidden = online;
    $("recording").hidden = !state.recording;
    if (state.range_m > 0) {
      $("range").textContent = state.range_m.toFixed(2) + " m";
      $("gain").textContent = state.gain_pct.toFixed(0) + " %";
      $("frequency").textContent =
        state.frequency >= 1000 ? (state.frequency / 1000).toFixed(0) + " kHz" : state.frequency.toString();
    }
    $("rate").textContent = state.frame_rate.toFixed(1) + " Hz";
    $("positionBox").hidden = !state.position;
    if (state.position) {
      $("position").textContent = state.position[0].toFixed(6) + "°, " + state.position[1].toFixed(6) + "°";
    }
    $("headingBox").hidden = state.heading_deg === null || state.heading_deg === undefined;
    if (!$("headingBox").hidden) {
      $("heading").textContent = state.heading_deg.toFixed(1) + "°";
    }
    followViewerPalette(state.palette);
    const playback = state.playback;
    $("playback").hidden = !playback;
    if (playback) {
      $("playPause").textContent = playback.playing ? "Pause" : "Play";
      const seek = $("seek");
      seek.max = Math.max(0, playback.frames - 1);
      if (!seeking) {
        seek.value = playback.frame;
      }
      $("frameText").textContent = playback.frame + 1 + " / " + playback.frames;
    }
  }

  // The page shows the palette chosen in the viewer, each time it changes
  // there; one picked on the page lasts until then, one in the address always.
  function followViewerPalette(palette) {
    const last = view.viewerPalette;
    if (!palette || !last) {
      return;
    }
    view.viewerPalette = palette;
    const chosen = view.pinnedPalette ? view.palette : palette.selected;
    const show = () => {
      $("palette").value = chosen;
      setPalette(chosen);
    };
    if (last.fire_modifier !== palette.fire_modifier || last.aqua_modifier !== palette.aqua_modifier) {
      fetch(withToken("/palettes"))
        .then((r) => r.json())
        .then((tables) => {
          view.palettes = tables.palettes;
          show();
        })
        .catch(() => {});
    } else if (last.selected !== palette.selected) {
      show();
    }
  }

  // ---- Stream ------------------------------------------------------------
  let socket = null;
  let seeking = false;
  let waiting = null;
  // The newest state message's count: an image made before it (sent or
  // painted after it) must not undo it, such as a pause shown as playing.
  let lastStateSeq = 0;
  let paintScheduled = false;

  function onImage(buffer) {
    const bytes = new DataView(buffer);
    const magic = String.fromCharCode(bytes.getUint8(0), bytes.getUint8(1), bytes.getUint8(2), bytes.getUint8(3));
    if (magic !== "OXIM" || bytes.getUint16(4, true) !== 1) {
      return;
    }
    const headerSize = bytes.getUint16(6, true);
    const metaLength = bytes.getUint32(8, true);
    const meta = JSON.parse(new TextDecoder().decode(new Uint8Array(buffer, headerSize, metaLength)));
    const width = meta.width, height = meta.height;
    const bearings = new Int16Array(buffer, headerSize + metaLength, width);
    const samples = new Uint8Array(buffer, headerSize + metaLength + 2 * width, width * height);
    const image = { meta, width, height, bearings, samples };
    view.lastImage = image;
    view.lastImageAt = performance.now();
    draw(image);
    view.meta = meta;
    view.frames += 1;
    // From the server taking the image to this paint (one clock on one machine).
    view.delays.push(Date.now() - meta.sent_ms);
    if (view.delays.length > 500) {
      view.delays.shift();
    }
    if ((meta.state_seq || 0) >= lastStateSeq) {
      showState(meta);
    }
  }

  function connect() {
    const scheme = window.location.protocol === "https:" ? "wss://" : "ws://";
    socket = new WebSocket(scheme + window.location.host + withToken("/stream"));
    socket.binaryType = "arraybuffer";
    socket.onopen = () => {
      const queued = pending;
      pending = [];
      queued.forEach(send);
    };
    socket.onmessage = (event) => {
      if (typeof event.data === "string") {
        const state = JSON.parse(event.data);
        lastStateSeq = Math.max(lastStateSeq, state.state_seq || 0);
        showState(state);
        return;
      }
      // Only the newest image is painted, once per display frame: a slow
      // device skips images instead of falling behind.
      waiting = event.data;
      if (!paintScheduled) {
        paintScheduled = true;
        window.requestAnimationFrame(() => {
          paintScheduled = false;
          const image = waiting;
          waiting = null;
          if (image) {
            onImage(image);
          }
        });
      }
    };
    socket.onclose = () => {
      socket = null;
      pending = [];
      showState(Object.assign({}, view.state || { frame_rate: 0 }, { online: false }));
      $("banner").textContent = "No connection to the viewer";
      setTimeout(connect, 2000);
    };
  }

  // A control pressed while the stream is still opening is sent once it is
  // open, not dropped; one pressed while there is no viewer to reach is.
  let pending = [];

  function send(message) {
    if (socket && socket.readyState === WebSocket.OPEN) {
      socket.send(JSON.stringify(message));
    } else if (socket && socket.readyState === WebSocket.CONNECTING && pending.length < 16) {
      pending.push(message);
    }
  }

  $("playPause").addEventListener("click", () => {
    send({ control: view.state && view.state.playback && view.state.playback.playing ? "pause" : "play" });
  });
  $("seek").addEventListener("input", () => {
    seeking = true;
  });
  $("seek").addEventListener("change", () => {
    seeking = false;
    send({ control: "seek", frame: Number($("seek").value) });
  });
  $("palette").addEventListener("change", () => setPalette(Number($("palette").value)));
  window.addEventListener("resize", resize);

  async function start() {
    resize();
    const [palettes, status] = await Promise.all([
      fetch(withToken("/palettes")).then((r) => r.json()),
      fetch(withToken("/status")).then((r) => r.json()),
    ]);
    view.palettes = palettes.palettes;
    const select = $("palette");
    view.palettes.forEach((entry, index) => {
      const option = document.createElement("option");
      option.value = index;
      option.textContent = entry.name;
      select.appendChild(option);
    });
    const pinned = new URLSearchParams(window.location.search).get("palette");
    view.pinnedPalette = pinned !== null;
    view.viewerPalette = status.palette;
    const chosen = Number(pinned ?? palettes.selected);
    select.value = chosen;
    setPalette(chosen);
    const sonar = status.sonar;
    $("source").textContent =
      (sonar.model ? sonar.model + " " : "") + (sonar.serial ? sonar.serial : "") + (sonar.source ? " · " + sonar.source : "");
    lastStateSeq = status.state_seq || 0;
    showState(status);
    connect();
  }
  start().catch((error) => {
    $("banner").textContent = "Cannot reach the viewer: " + error.message;
    $("banner").hidden = false;
  });
})();
