#!/usr/bin/env bash
# Runs ondrix-sim and ondrix-cli against each other over loopback and checks
# what a user would see: scan lists the sonars, ping prints images, and the
# failures exit non-zero with a clear message; a recording reads back through
# the log commands.
set -euo pipefail
sim=$1
cli=$2
# "video" when the build has the video renderer (it needs the GUI libraries).
with_video=${3:-video}

free_port() {
  python3 -c 'import socket,sys; s=socket.socket(socket.AF_INET, getattr(socket, sys.argv[1])); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' "$1"
}
status_port=$(free_port SOCK_DGRAM)
tcp_port=$(free_port SOCK_STREAM)
listen=(--listen-address 127.0.0.1 --listen-port "$status_port" --sonar-port "$tcp_port")
# Commands for one sonar return as soon as it is heard; the limit is only for a
# machine so loaded that the simulators start late.
seen=(--discovery-seconds 60)
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/checks.sh"

"$sim" --quiet --sonars 2 --serial 51001 --address 127.0.0.2 --port "$tcp_port" \
  --status-port "$status_port" --status-interval-ms 200 --range-lines 100 --duration 600 &
pids+=($!)
"$sim" --quiet --serial 52001 --part 1041 --address 127.0.0.9 --port "$tcp_port" --refuse \
  --status-port "$status_port" --status-interval-ms 200 --duration 600 &
pids+=($!)

"$cli" scan --help | grep -q -- "--json" || fail "scan --help does not document --json"
"$cli" ping --help | grep -q -- "--serial" || fail "ping --help does not document --serial"

# The simulators live beyond the test's own time limit (ended by cleanup), and
# the scan is repeated until all three have been heard once, however long a
# loaded machine takes to start them.
for ((i = 0; i < 60; i++)); do
  "$cli" scan --json --seconds 1.5 "${listen[@]}" > "$work/scan.json"
  [ "$(wc -l < "$work/scan.json")" -ge 3 ] && break
done
[ "$(wc -l < "$work/scan.json")" -eq 3 ] || { cat "$work/scan.json"; fail "scan did not list three sonars"; }
grep -q '"serial":51001,"model":"Rostrel A","partNumber":1032,"ip":"127.0.0.2","mask":"255.0.0.0","firmware":"412","connectable":true' \
  "$work/scan.json" || { cat "$work/scan.json"; fail "scan line of 51001 is wrong"; }
grep -q '"serial":51002,.*"ip":"127.0.0.3"' "$work/scan.json" || fail "second simulated sonar missing"
grep -q '"serial":52001,"model":"Pelmar A".*"connectable":false' "$work/scan.json" || fail "refusing sonar not marked"
"$cli" scan --verbose --seconds 0.5 "${listen[@]}" 2> "$work/scan.err" > /dev/null
grep -qE '^[0-9]+ foreign status datagrams ignored' "$work/scan.err" || { cat "$work/scan.err"; fail "scan --verbose does not count ignored datagrams"; }

"$cli" ping --serial 51002 --count 3 "${seen[@]}" --json --gain 70 "${listen[@]}" > "$work/ping.json"
[ "$(wc -l < "$work/ping.json")" -eq 3 ] || { cat "$work/ping.json"; fail "ping did not print three images"; }
grep -q '^{"width":256,"height":100,"range":2.5,"gain":70,"frequency":750000,"pitch":.*,"roll":.*}$' "$work/ping.json" \
  || { cat "$work/ping.json"; fail "ping JSON is wrong"; }

"$cli" ping --serial 51001 --count 2 "${seen[@]}" --full-beams "${listen[@]}" > "$work/ping.txt"
grep -q "^image 2: 512 beams x 100 ranges" "$work/ping.txt" || { cat "$work/ping.txt"; fail "text ping is wrong"; }

# 100 m is within the low frequency's range but above the high one's 40 m.
"$cli" ping --serial 51002 --count 1 "${seen[@]}" --json --frequency high --range 100 "${listen[@]}" > "$work/ping-high.json"
grep -q '"range":40,' "$work/ping-high.json" || { cat "$work/ping-high.json"; fail "range not limited for the high frequency"; }

refuses "ping of an unseen sonar" "was not seen" "$cli" ping --serial 59999 --discovery-seconds 1 "${listen[@]}"
refuses "ping of a refusing sonar" "refuses connections" "$cli" ping --serial 52001 "${seen[@]}" "${listen[@]}"

# Record five pings, then read the recording back with the log commands.
mkdir "$work/logs"
"$cli" record --serial 51001 --count 5 --folder "$work/logs" "${seen[@]}" --compression "${listen[@]}" > "$work/record.txt"
log=$(ls "$work"/logs/*.ondrix)
[[ "$(basename "$log")" =~ ^[0-9]{8}_[0-9]{6}\.ondrix$ ]] || fail "recording not named by local date and time: $log"
recorded_sum=$(sha256sum < "$log")
"$cli" log info "$log" --json > "$work/info.json"
grep -q '"logVersion":4,"compressionLevel":-1' "$work/info.json" || { cat "$work/info.json"; fail "log info header"; }
grep -q '"metadata":\[{"key":"createdDateTime".*{"key":"applicationName".*{"key":"applicationVersion".*{"key":"currentTimeZone".*{"key":"logVersion".*{"key":"compressionLevel"' \
  "$work/info.json" || { cat "$work/info.json"; fail "standard metadata not in order"; }
version=$("$cli" --version | cut -d' ' -f2)
grep -qF "{\"key\":\"applicationVersion\",\"value\":\"$version\"}" "$work/info.json" \
  || { cat "$work/info.json"; fail "the recording does not carry the program's version $version"; }
grep -q '"name":"Ondrix Rostrel A","properties":{"serialNumber":51001,"modelNumber":1032}' "$work/info.json" \
  || { cat "$work/info.json"; fail "recorded data source is wrong"; }
grep -q '"entryCount":5,"firstEntryId":1,"lastEntryId":5' "$work/info.json" || { cat "$work/info.json"; fail "recorded entry count"; }

# One JSON line per image, numbered as playback numbers its frames.
"$cli" log frames "$log" --json > "$work/frames.json"
python3 - "$work/frames.json" <<'EOF' || fail "log frames --json"
import json, sys
lines = [json.loads(line) for line in open(sys.argv[1])]
assert [l["frame"] for l in lines] == list(range(5)), lines
assert [l["entryId"] for l in lines] == list(range(1, 6)), lines
assert all(l["beams"] == 256 and l["ranges"] == 100 and {"pitch", "roll", "time"} <= l.keys() for l in lines), lines
EOF
# A log's texts may hold any bytes: invalid UTF-8 becomes U+FFFD and every
# line stays valid JSON.
cp "$log" "$work/odd.ondrix"
python3 - "$work/odd.ondrix" <<'EOF'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.execute("INSERT INTO metadata VALUES ('note', CAST(? AS TEXT))", (b'caf\xe9 \xff"\\\n',))
db.commit()
EOF
"$cli" log info "$work/odd.ondrix" --json > "$work/odd.json"
python3 - "$work/odd.json" <<'EOF' || fail "invalid UTF-8 in metadata"
import json, sys
notes = [e["value"] for e in json.load(open(sys.argv[1], encoding="utf-8"))["metadata"] if e["key"] == "note"]
assert notes == ['caf\ufffd \ufffd"\\\n'], notes
EOF
# A damaged entry (here a payload that does not decompress) is reported and
# fails log frames; the others are listed.
sqlite3 "$work/odd.ondrix" "INSERT INTO data (timestamp, type, dataSourceId, length, payload) VALUES (1, 1, 1, 3, x'7c3a00');"
set +e
"$cli" log frames "$work/odd.ondrix" > "$work/odd-frames.txt" 2> "$work/odd-frames.err"
code=$?
set -e
[ $code -eq 5 ] && [ "$(wc -l < "$work/odd-frames.txt")" -eq 5 ] && grep -q "entry 6 cannot be read" "$work/odd-frames.err" \
  || { cat "$work/odd-frames.err"; fail "a damaged entry in log frames"; }

# A clone that had to leave the damaged entry out prints its path and says so.
set +e
"$cli" log clone "$work/odd.ondrix" --out "$work/odd-clone.ondrix" --compression 0 > "$work/odd-clone.txt" \
  2> "$work/odd-clone.err"
code=$?
set -e
[ $code -eq 5 ] && [ "$(cat "$work/odd-clone.txt")" = "$work/odd-clone.ondrix" ] \
  && grep -q "1 could not be read and were left out" "$work/odd-clone.err" \
  || { cat "$work/odd-clone.txt" "$work/odd-clone.err"; fail "a clone that left an entry out"; }

"$cli" log slice "$log" --first 2 --last 4 > /dev/null
sliced="${log%.ondrix}_exported.ondrix"
[ -f "$sliced" ] || fail "slice without --out did not follow the _exported naming"
"$cli" log info "$sliced" --json | grep -q '"entryCount":3,"firstEntryId":1,"lastEntryId":3' || fail "slice entry range"
"$cli" log clone "$log" --out "$work/clone.ondrix" --compression 0 > /dev/null
"$cli" log info "$work/clone.ondrix" --json | grep -q '"compressionLevel":0,.*"entryCount":5' || fail "clone"
set +e
"$cli" log slice "$log" --first 4 --last 2 --out "$work/bad.ondrix" > /dev/null 2>&1
code=$?
set -e
[ $code -ne 0 ] || fail "a reversed slice range succeeded"
"$cli" log bookmarks "$log" > /dev/null || fail "log bookmarks"
"$cli" log export-video --help | grep -q -- "--time-zone" || fail "export-video --help does not document --time-zone"
if [ "$with_video" = video ]; then
  # The recording as a video; without a display the command starts its own.
  video=$(env -u DISPLAY -u WAYLAND_DISPLAY "$cli" log export-video "$log" --timestamp absolute --time-zone Asia/Tokyo \
    --no-details --palette 6)
  [ "$video" = "${log%.ondrix}_exported.avi" ] || fail "export-video printed '$video'"
  probed=$(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=codec_tag_string,width,height,r_frame_rate,nb_read_frames -of csv=p=0 "$video")
  [[ "$probed" =~ ^FMP4,1920,1080,30/1,[0-9]+$ ]] || fail "exported video: $probed"
  refuses "export-video of frames past the end" "the range is not in the log file" \
    "$cli" log export-video "$log" --from 3 --to 9
  # An unknown zone is refused by name, before any file is made.
  refuses "export-video in an unknown zone" "unknown time zone: Mars/Olympus" \
    "$cli" log export-video "$log" --timestamp absolute --time-zone Mars/Olympus
  refuses "export-video with a zone for relative stamps" "time-zone applies to absolute time stamps only" \
    "$cli" log export-video "$log" --time-zone Asia/Tokyo
  refuses "export-video with a preset for AVI" "preset applies to H.264 only" \
    "$cli" log export-video "$log" --preset ultrafast
  [ "$(ls "$work"/logs/*_exported*.avi)" = "$video" ] || fail "a refused export-video left a file"
  # The viewer's names of whole-hour offsets, and a recording whose zone is unknown.
  offset=$(env -u DISPLAY -u WAYLAND_DISPLAY "$cli" log export-video "$log" --timestamp absolute \
    --time-zone UTC+05:00 --to 0)
  [ -s "$offset" ] || fail "export-video --time-zone UTC+05:00"
  cp "$log" "$work/mars.ondrix"
  sqlite3 "$work/mars.ondrix" "UPDATE metadata SET value = 'Mars/Olympus' WHERE key = 'currentTimeZone';"
  refuses "export-video of a recording in an unknown zone" "time zone \"Mars/Olympus\" is unknown" \
    "$cli" log export-video "$work/mars.ondrix" --timestamp absolute
  ls "$work"/mars_exported* > /dev/null 2>&1 && fail "a refused export-video left a file"
  # H.264 in MP4, for browsers.
  mp4=$(env -u DISPLAY -u WAYLAND_DISPLAY "$cli" log export-video "$log" --format mp4 --preset faster --no-details)
  [ "$mp4" = "${log%.ondrix}_exported.mp4" ] || fail "export-video --format mp4 printed '$mp4'"
  probed=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,pix_fmt,width,height,r_frame_rate \
    -of csv=p=0 "$mp4")
  [ "$probed" = "h264,1920,1080,yuv420p,30/1" ] || fail "exported mp4: $probed"
  # Two entries a minute apart, the pause shortened to a second: 31 frames.
  cp "$log" "$work/pause.ondrix"
  sqlite3 "$work/pause.ondrix" "DELETE FROM data WHERE entryId > 2; UPDATE data SET timestamp = (SELECT timestamp FROM data WHERE entryId = 1) + 60000 WHERE entryId = 2;"
  paused=$(env -u DISPLAY -u WAYLAND_DISPLAY "$cli" log export-video "$work/pause.ondrix" --max-pause 1)
  probed=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$paused")
  [ "$probed" = "31" ] || fail "a minute's pause shortened to a second gave $probed frames"
  # A frame that cannot be read is counted and fails the command; the video
  # is still written.
  set +e
  damaged=$(env -u DISPLAY -u WAYLAND_DISPLAY "$cli" log export-video "$work/odd.ondrix" 2> "$work/odd-video.err")
  code=$?
  set -e
  [ $code -ne 0 ] && grep -q "1 of 6 frames could not be read" "$work/odd-video.err" && [ -s "$damaged" ] \
    || { cat "$work/odd-video.err"; fail "export-video of a log with a damaged entry (exit $code)"; }
else
  # A build without the GUI has no renderer: the command says so and fails.
  refuses "export-video without its renderer" "ondrix-cli-video is missing" "$cli" log export-video "$log"
fi
# Reading and exporting left the recording exactly as it was.
[ "$(sha256sum < "$log")" = "$recorded_sum" ] || fail "reading the recording changed its bytes"
ls "$log"-* > /dev/null 2>&1 && fail "reading the recording left journal files beside it"

# A zero-byte file and foreign files are reported and left untouched.
: > "$work/empty.ondrix"
printf 'not a log at all, just text' > "$work/text.ondrix"
python3 -c 'import sqlite3,sys; c=sqlite3.connect(sys.argv[1]); c.execute("CREATE TABLE t(x)"); c.commit()' \
  "$work/foreign.ondrix"
for file in empty text foreign; do
  before=$(sha256sum < "$work/$file.ondrix")
  refuses "log info on the $file file" "is empty, not a log file|not in a supported log file format" \
    "$cli" log info "$work/$file.ondrix"
  [ "$(sha256sum < "$work/$file.ondrix")" = "$before" ] || fail "log info changed the $file file"
  ls "$work/$file.ondrix"-* > /dev/null 2>&1 && fail "log info left journal files beside the $file file"
done

# A disk that fills up just after the log is created: record must say it could
# not add its data source, and leave no file behind. The filesystem holds an
# empty log's pages and one more filesystem page.
page_size=$(python3 -c 'import sqlite3,sys; print(sqlite3.connect(sys.argv[1]).execute("PRAGMA page_size").fetchone()[0])' "$log")
schema_pages=$(python3 -c 'import sqlite3,sys; print(sqlite3.connect(sys.argv[1]).execute("SELECT COUNT(*)+1 FROM sqlite_master WHERE rootpage>0").fetchone()[0])' "$log")
mkdir "$work/full"
set +e
unshare --mount bash -c '
  mount -t tmpfs -o size=$(( $1 * $2 + 4096 )) tmpfs "$3" || exit 90
  "${@:5}" 2> "$4"
  code=$?
  [ -z "$(ls -A "$3")" ] || exit 91
  exit $code' _ "$schema_pages" "$page_size" "$work/full" "$work/full.err" \
  "$cli" record --serial 51001 --count 5 --folder "$work/full" "${seen[@]}" "${listen[@]}" > /dev/null
code=$?
set -e
[ $code -ne 90 ] || fail "cannot mount a small filesystem for the disk-full check (needs root)"
[ $code -ne 91 ] || fail "record on a full disk left a file behind"
[ $code -ne 0 ] || fail "record on a full disk succeeded"
grep -q "cannot add the data source" "$work/full.err" || { cat "$work/full.err"; fail "no clear message for a full disk"; }

echo "ondrix-cli end to end: all checks passed"
