#!/usr/bin/env bash
# Regenerates all artwork, the sound and the sample launch lists into a
# scratch folder and checks that the committed copies are exactly what
# tools/make_art.py draws today, then checks the format facts the program
# relies on (icon sizes and depth, bitmap layout, sound format).
#
# Exit status is non-zero if anything differs or is malformed; every failing
# file is named.
set -u

repo=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

passed=0
failed=0
ok()   { passed=$((passed + 1)); echo "ok   $1"; }
bad()  { failed=$((failed + 1)); echo "FAIL $1"; }

if ! python3 "$repo/tools/make_art.py" --out "$tmp" >"$tmp/.log" 2>&1; then
    cat "$tmp/.log"
    echo "check_art: tools/make_art.py failed"
    echo "check_art: 0 passed, 1 failed"
    exit 1
fi

# Byte-for-byte comparison with what is committed.
for name in flag.ico dynamite.ico burst.ico swirl.bmp Don.wav Setup.ini windows/Setup.ini \
            linux/Setup.ini linux/icon.svg; do
    if [ ! -f "$repo/assets/$name" ]; then
        bad "assets/$name is missing"
    elif cmp -s "$tmp/$name" "$repo/assets/$name"; then
        ok "assets/$name matches the generator"
    else
        bad "assets/$name differs from what tools/make_art.py draws (run it and commit the result)"
    fi
done

# PNG files are compressed with the system's zlib, whose output may differ
# between zlib builds; when the bytes differ, the decoded pixels decide.
same_pixels() {
python3 - "$1" "$2" <<'PY'
import struct, sys, zlib
def pixels(path):
    data = open(path, "rb").read()
    pos, idat, head = 8, b"", None
    while pos < len(data):
        n, = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            head = body
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    return head, zlib.decompress(idat)
sys.exit(0 if pixels(sys.argv[1]) == pixels(sys.argv[2]) else 1)
PY
}
png_matches() { # generated committed
    local name=${2#"$repo/"}
    if [ ! -f "$2" ]; then
        bad "$name is missing"
    elif cmp -s "$1" "$2"; then
        ok "$name matches the generator"
    elif same_pixels "$1" "$2"; then
        ok "$name matches the generator (same pixels, other zlib)"
    else
        bad "$name differs from what tools/make_art.py draws (run it and commit the result)"
    fi
}
png_matches "$tmp/artwork.png" "$repo/docs/artwork.png"
for size in 16 32 48 256; do
    png_matches "$tmp/linux/icon-$size.png" "$repo/assets/linux/icon-$size.png"
done

# Format facts, checked on the committed files.
formats() {
python3 - "$repo" <<'PY'
import os, re, shlex, struct, sys, wave
import xml.etree.ElementTree as ET

repo = sys.argv[1]
assets = os.path.join(repo, "assets")
results = []

def check(name, fn):
    try:
        fn()
        results.append((True, name))
    except Exception as e:          # report, don't stop at the first problem
        results.append((False, "%s: %s" % (name, e)))

def expect(cond, msg):
    if not cond:
        raise AssertionError(msg)

def ico(fname, sizes):
    data = open(os.path.join(assets, fname), "rb").read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    expect(reserved == 0 and kind == 1, "not an icon file")
    expect(count == len(sizes), "%d images, want %d" % (count, len(sizes)))
    for i, size in enumerate(sizes):
        w, h, colours, _, planes, bpp, nbytes, off = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        expect((w, h) == (size, size), "image %d is %dx%d, want %dx%d" % (i, w, h, size, size))
        expect(colours == 16 and bpp == 4, "image %d is not 16 colours / 4 bpp" % i)
        expect(off + nbytes <= len(data), "image %d runs past the end" % i)
        hsize, bw, bh, bplanes, bbpp, comp = struct.unpack_from("<IiiHHI", data, off)
        expect(hsize == 40 and bw == size and bh == 2 * size, "image %d header wrong" % i)
        expect(bbpp == 4 and comp == 0, "image %d is not uncompressed 4 bpp" % i)
        xor_stride = (size * 4 + 31) // 32 * 4
        and_stride = (size + 31) // 32 * 4
        expect(nbytes == 40 + 64 + size * (xor_stride + and_stride), "image %d has the wrong size" % i)

def bmp():
    data = open(os.path.join(assets, "swirl.bmp"), "rb").read()
    magic, size, _, _, off = struct.unpack_from("<2sIHHI", data, 0)
    expect(magic == b"BM" and size == len(data), "not a whole BMP file")
    hsize, w, h, planes, bpp, comp = struct.unpack_from("<IiiHHI", data, 14)
    expect((w, h, bpp, comp) == (640, 480, 24, 0), "%dx%d %d bpp compression %d" % (w, h, bpp, comp))
    expect(off + 640 * 3 * 480 == len(data), "pixel data has the wrong size")

def wav():
    with wave.open(os.path.join(assets, "Don.wav")) as w:
        expect(w.getcomptype() == "NONE", "not PCM")
        expect(w.getnchannels() == 1 and w.getsampwidth() == 2, "not 16-bit mono")
        seconds = w.getnframes() / w.getframerate()
        expect(0.8 <= seconds <= 1.5, "lasts %.2f s" % seconds)

def png(fname, size):
    data = open(os.path.join(assets, fname), "rb").read()
    expect(data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file")
    w, h, depth, kind, _, _, interlace = struct.unpack(">IIBBBBB", data[16:29])
    expect((w, h) == (size, size), "%dx%d, want %dx%d" % (w, h, size, size))
    expect((depth, kind, interlace) == (8, 6, 0), "not 8-bit RGBA without interlacing")

def svg_is_the_flag():
    # Every pixel the SVG paints, by colour, against the opaque pixels of flag.ico.
    root = ET.parse(os.path.join(assets, "linux", "icon.svg")).getroot()
    expect(root.get("viewBox") == "0 0 32 32", "viewBox %r" % root.get("viewBox"))
    painted = {}
    for path in root.iter("{http://www.w3.org/2000/svg}path"):
        for x, y, w in re.findall(r"M(\d+) (\d+)h(\d+)v1h-\d+z", path.get("d")):
            for i in range(int(w)):
                expect((int(x) + i, int(y)) not in painted, "pixel painted twice")
                painted[(int(x) + i, int(y))] = path.get("fill")
    data = open(os.path.join(assets, "flag.ico"), "rb").read()
    off = struct.unpack_from("<I", data, 6 + 12)[0]
    palette = [data[off + 40 + 4 * i:off + 40 + 4 * i + 3] for i in range(16)]
    bits, mask = off + 40 + 64, off + 40 + 64 + 32 * 16
    flag = {}
    for y in range(32):
        row = 31 - y  # bottom-up
        for x in range(32):
            if data[mask + row * 4 + x // 8] & (0x80 >> (x % 8)):
                continue
            index = (data[bits + row * 16 + x // 2] >> (0 if x % 2 else 4)) & 15
            b, g, r = palette[index]
            flag[(x, y)] = "#%02x%02x%02x" % (r, g, b)
    expect(painted == flag, "%d pixels differ" % len(set(painted.items()) ^ set(flag.items())))

def system_list():
    # Programs every Debian desktop has; the line is split but never run through a shell.
    raw = open(os.path.join(assets, "linux", "Setup.ini"), "rb").read()
    commands = [l.split('",', 1)[1] for l in raw.decode("utf-8").split("\n")[:-1]]
    programs = [shlex.split(c)[0] for c in commands]
    expect(programs == ["x-terminal-emulator", "x-www-browser", "sh"], "programs %r" % programs)
    expect(shlex.split(commands[2])[1:] == ["-c", 'exec xdg-open "$HOME"'], commands[2])

def launch(fname, encoding, newline, quoted_comma=True):
    raw = open(os.path.join(assets, fname), "rb").read()
    text = raw.decode(encoding)
    lines = text.split(newline)
    expect(lines[-1] == "", "does not end with a line end")
    for line in lines[:-1]:
        expect("\n" not in line and "\r" not in line, "mixed line ends")
        if line.startswith('"'):
            name, rest = line[1:].split('"', 1)
            expect(rest.startswith(",") and len(rest) > 1, "bad record %r" % line)
        else:
            expect(line.count(",") == 1, "bad record %r" % line)
    if quoted_comma:
        expect(any('",' in l and "," in l.split('",')[0] for l in lines), "no quoted name with a comma")

check("assets/flag.ico is one 32x32 16-colour icon", lambda: ico("flag.ico", [32]))
check("assets/dynamite.ico has 32x32 and 16x16 16-colour images", lambda: ico("dynamite.ico", [32, 16]))
check("assets/burst.ico has 32x32 and 16x16 16-colour images", lambda: ico("burst.ico", [32, 16]))
check("assets/swirl.bmp is 640x480 24-bit uncompressed", bmp)
check("assets/Don.wav is about a second of 16-bit mono PCM", wav)
check("assets/Setup.ini is UTF-8 name,command records", lambda: launch("Setup.ini", "utf-8", "\n"))
check("assets/windows/Setup.ini is code page 932 with CRLF", lambda: launch("windows/Setup.ini", "cp932", "\r\n"))
check("assets/linux/Setup.ini is UTF-8 name,command records", lambda: launch("linux/Setup.ini", "utf-8", "\n", False))
check("assets/linux/Setup.ini starts a terminal, a browser and the home folder", system_list)
for size in (16, 32, 48, 256):
    check("assets/linux/icon-%d.png is %dx%d RGBA" % (size, size, size), lambda size=size: png("linux/icon-%d.png" % size, size))
check("assets/linux/icon.svg paints exactly the pixels of flag.ico", svg_is_the_flag)
for good, name in results:
    print(("ok   " if good else "FAIL ") + name)
PY
}
while IFS= read -r line; do
    case "$line" in
        "ok   "*) ok "${line#ok   }" ;;
        "FAIL "*) bad "${line#FAIL }" ;;
        *) echo "$line" ;;
    esac
done < <(formats 2>&1 || echo "FAIL format checks could not run")

echo "check_art: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
