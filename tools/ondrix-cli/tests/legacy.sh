#!/usr/bin/env bash
# ondrix-cli log convert-legacy and export-legacy against older-format files
# built here byte by byte: a conversion in place with the original kept, an
# export that converts back, and refusals that leave the input untouched.
set -euo pipefail
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

# make_legacy OUT [bad|odd]: three ping results at one time, then a
# configuration and an older image record; "bad" spoils the first magic, "odd"
# adds a record of another source (kind 99).
make_legacy() {
  python3 - "$@" <<'PY'
import struct, sys
out, mode = sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else ''
bad = mode == 'bad'
def ping(i):
    beams, ranges = 2, 2
    image = bytes([i, 1, 2, 3])
    fixed = bytearray(122)
    total = 122 + 2 * beams + len(image)
    struct.pack_into('<HHHHHIH', fixed, 0, 0x3A7C, 51001, 0, 0x23, 1, total - 16, 1032)
    struct.pack_into('<d', fixed, 21, 10.0)
    struct.pack_into('<HHII', fixed, 106, ranges, beams, 122 + 2 * beams, len(image))
    return bytes(fixed) + struct.pack('<hh', -50, 50) + image
def record(kind, time, payload):
    return struct.pack('<IIHHIdHHIII', 0xAABBCCDD, 40, kind, 0, 0, time, 0, 0, len(payload), len(payload), 0) + payload
data = struct.pack('<II16sIIQd', 0x11223345 if bad else 0x11223344, 48, b'Ondrix', 1, 0, 0, 1700000000.0)
for i in range(3):
    data += record(10, 1700000000.5, ping(i))
data += record(20, 1700000001.0, struct.pack('<fffHHhh', 4.0, 50.0, 1.0, 2, 2, -50, 50))
data += record(21, 1700000001.0, bytes([9, 9, 9, 9]))
if mode == 'odd':
    data += record(99, 1700000002.0, bytes([7, 7]))
open(out, 'wb').write(data)
PY
}

"$cli" log convert-legacy --help | grep -q '.old' || fail "convert-legacy --help does not say where the original goes"
"$cli" log export-legacy --help | grep -q -- "--from" || fail "export-legacy --help does not document --from"

make_legacy "$work/dive.ondrix"
cp "$work/dive.ondrix" "$work/original.bin"
"$cli" log convert-legacy "$work/dive.ondrix" > "$work/convert.txt"
head -1 "$work/convert.txt" | grep -qx "$work/dive.ondrix" || { cat "$work/convert.txt"; fail "converted log path"; }
cmp -s "$work/dive.ondrix.old" "$work/original.bin" || fail "original not kept unchanged as .old"
[ -z "$(ls "$work" | grep _temp)" ] || fail "a _temp file remained"
"$cli" log info "$work/dive.ondrix" --json > "$work/info.json"
grep -q '"name":"Ondrix Sonar","properties":{"serialNumber":51001,"modelNumber":1032}' "$work/info.json" \
  || { cat "$work/info.json"; fail "sonar source of the converted log"; }
grep -q '"entryCount":4,' "$work/info.json" || { cat "$work/info.json"; fail "converted entry count"; }

"$cli" log export-legacy "$work/dive.ondrix" --from 1 --to 2 > "$work/export.txt"
exported=$(cat "$work/export.txt")
[ "$exported" = "$work/dive_legacy.ondrix" ] || fail "export path: $exported"
[ "$(head -c 4 "$exported" | od -An -tx1 | tr -d ' ')" = "44332211" ] || fail "export is not in the older format"
"$cli" log convert-legacy "$exported" > /dev/null
"$cli" log info "$exported" --json | grep -q '"entryCount":2,' || fail "exported range did not convert back"

# A record of another source keeps its kind there and back.
make_legacy "$work/odd.ondrix" odd
"$cli" log convert-legacy "$work/odd.ondrix" > /dev/null
"$cli" log export-legacy "$work/odd.ondrix" --from 0 --to 4 > "$work/odd.txt" || fail "export with another source's entry"
[ "$(cat "$work/odd.txt")" = "$work/odd_legacy.ondrix" ] || fail "odd export path: $(cat "$work/odd.txt")"
"$cli" log convert-legacy "$work/odd_legacy.ondrix" > /dev/null || fail "another source's entry did not convert back"
"$cli" log info "$work/odd_legacy.ondrix" --json | grep -q '"entryCount":5,' || fail "odd export lost entries"

refuses "an export past the last frame" "not in the log" "$cli" log export-legacy "$work/dive.ondrix" --from 2 --to 9

mkdir "$work/bad"
make_legacy "$work/bad/broken.ondrix" bad
cp "$work/bad/broken.ondrix" "$work/broken.bin"
refuses "converting a malformed file" "The file is not a well formed log file." \
  "$cli" log convert-legacy "$work/bad/broken.ondrix"
cmp -s "$work/bad/broken.ondrix" "$work/broken.bin" || fail "a refused file was changed"
[ "$(ls "$work/bad")" = "broken.ondrix" ] || { ls "$work/bad"; fail "a refused conversion left files behind"; }

echo "ondrix-cli legacy: all checks passed"
