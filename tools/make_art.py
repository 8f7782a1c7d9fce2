#!/usr/bin/env python3
"""Draw every picture and the sound of ピコリナ, and write the sample launch lists.

    python3 tools/make_art.py [--out DIR]

Writes into DIR (default: the repository's assets/ folder):

    flag.ico            window and program icon, 32x32
    dynamite.ico        the lit stick, 32x32 and 16x16
    burst.ico           the stick blown in two, 32x32 and 16x16
    swirl.bmp           640x480 24-bit background texture
    Don.wav             the bang, 16-bit mono PCM
    Setup.ini           launch list for Linux (UTF-8)
    windows/Setup.ini   launch list for Windows (code page 932, CRLF)
    linux/Setup.ini     the list a Linux install gives every user (/etc/xdg/pikorina)
    linux/icon-N.png    the program's icon for Linux desktops, N = 16, 32, 48, 256
    linux/icon.svg      the same, scalable

and a contact sheet of all pictures to docs/artwork.png (with --out, to
DIR/artwork.png instead).

Everything is drawn by this script, so a picture is changed by changing the
code here and running it again; tests/art/check_art.sh makes sure the files in
the repository are exactly what this script produces.  Only the standard
library is used and every random choice comes from a fixed-seed generator of
our own, so two runs give the same bytes.

The icons are pixel art, drawn by hand as grids of characters, one character
per pixel, each naming an entry of the standard 16-colour palette:

    .  transparent (AND-mask bit set, colour index 0)
    K  black         0      D  dark grey     8
    r  dark red      1      R  red           9
    g  dark green    2      G  green        10
    y  dark yellow   3      Y  yellow       11
    b  dark blue     4      B  blue         12
    m  dark magenta  5      M  magenta      13
    c  dark cyan     6      C  cyan         14
    S  light grey    7      W  white        15
"""

import argparse
import math
import os
import struct
import zlib

# ---------------------------------------------------------------------------
# Palette

# The 16-colour palette every 4-bit icon carries: the classic VGA colours in
# the order the system uses for 16-colour bitmaps.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
LEGEND = "KrgybmcSDRGYBMCW"   # character for palette index 0..15
TRANSPARENT = "."

# ---------------------------------------------------------------------------
# The icons

# Window icon: a flag in four panes, flapping in the wind, leaving streaks of
# its own colours behind it as it rushes to the right.  The streaks come off
# the flag's left edge in the colours found there (outline, red pane, bar,
# blue pane, outline) and thin out to single dots.
FLAG_32 = """
................................
................................
.........................KKKKK..
......................KKKKKKKKKK
....................KKKKKGGGGGKK
...K...KKKKK......KKKKGGGGGGGGKK
K.K..KK...KKKKKKKKKKKKGGGGGGGGKK
..........KKKKKKKKRRKKGGGGGGGGKK
..R....RRRKKRRRRRRRRKKGGGGGGGGKK
.R..RRR...KKRRRRRRRRKKGGGGGGGGKK
..........KKRRRRRRRRKKGGGGGGGGKK
..........KKRRRRRRRRKKGGGGGGGGKK
....R...RRKKRRRRRRRRKKGGGGGGGGKK
R..R...R..KKRRRRRRRRKKGGGKKKKKKK
..........KKRRRRRRRRKKKKKKKKKKKK
..........KKRRRRRRRRKKKKKYYYYYKK
..KK...KKKKKRRRRRRKKKKYYYYYYYYKK
.K...KK...KKKKKKKKKKKKYYYYYYYYKK
..........KKKKKKKKBBKKYYYYYYYYKK
..B....BBBKKBBBBBBBBKKYYYYYYYYKK
.B..BBB...KKBBBBBBBBKKYYYYYYYYKK
..........KKBBBBBBBBKKYYYYYYYYKK
..........KKBBBBBBBBKKYYYYYYYYKK
....B...BBKKBBBBBBBBKKYYYKKKKKKK
...B...B..KKBBBBBBBBKKKKKKKKKKKK
..........KKBBBBBBBBKKKKK.....KK
...K...KKKKKBBBBBBKKKK..........
K.K..KK...KKKKKKKKKK............
............KKKKKK..............
................................
................................
................................
"""

# The same flag for 16x16, drawn again rather than shrunk so that the outline
# stays one pixel wide and each pane keeps a block of its colour.
FLAG_16 = """
................
..........KKKKKK
........KKKGGGGK
.K.KKKKKKKKGGGGK
.....KRRRRKGGGGK
.R.RRKRRRRKGGGGK
.....KRRRRKKKKKK
..R..KRRRRKYYYYK
K.KK.KKKKKKYYYYK
.....KBBBBKYYYYK
.B.BBKBBBBKYYYYK
.....KBBBBKKKKKK
..B..KBBBBKK....
K.KK.KKKKKK.....
................
................
"""

# The lit stick.  Light falls from the upper right, so the lower-left side of
# the stick is dark red and it throws a grey shadow down and to the left; the
# far end is seen face on in dark red.  The fuse fizzes at the upper left.
DYNAMITE_32 = """
R....R..........................
.Y...Y...R......................
..Y..Y..Y.......................
...YWYWY........................
R...WWW.Y.......................
.YYWWWWWYYR.....................
...YWWWY........................
..Y.YWYK........................
.R..R.RK........................
....R...K...KKK.................
.........KKKRRRK................
..........KRRRRRK...............
.........KrRRRWRRK..............
.........KrrRRRWRRK.............
.........KrrrRRRRRRK............
.........DKrrrRRRRRRK...........
.........DDKrrrRRRRRRK..........
..........DDKrrrRRRRRRK.........
...........DDKrrrRRRRRRK........
............DDKrrrRRRRRRK.......
.............DDKrrrRRRRRRK......
..............DDKrrrRRRRRRK.....
...............DDKrrrRRRRKKK....
................DDKrrrRKKrrK....
.................DDKrrrKrrrK....
..................DDKrKrrrKD....
...................DDKKrrKKD....
....................DDKKKDD.....
.....................DDDDDD.....
......................DDD.......
................................
................................
"""

DYNAMITE_16 = """
R..Y.R..........
.Y.Y.Y..........
..YWWY.R........
YYWWWWYY........
..YWWK..........
.R.Y..KKK.......
...R.KRRRK......
....KrRWRRK.....
....KrrRRRRK....
....DKrrRRRRK...
.....DKrrRRRRK..
......DKrrRRKKK.
.......DKrrKrrK.
........DKrKrrK.
.........DKKKKD.
..........DDDD..
"""

# The same stick a moment later: the fuse end has been flung to the left,
# the far end has dropped to the lower right, and sparks and grey scraps fly
# out from the flash between them.  The light grey scraps are kept few: on a
# light grey window they all but vanish.
BURST_32 = """
.............R........D.Y.......
.......B.S......................
..B........B...W.W..R...........
...............W.W............B.
Y........Y...Y...W...R..SS......
..........Y.Y.Y...Y.R....DR.....
....YSS.R...YY.Y.YY...B.........
.....SS......Y.Y.Y.....W........
........RRYY.Y.Y.Y.YYWW........R
..D.W.......Y.YYY.Y.......W.....
........YYYY.YYYYY.YYYY.....SD..
............YYWWWYY.....YY..DB..
..........YYYWWWWWYYYYY.........
...KKKKKKKK..YYWWWYY.Y....R.....
..KRRWWRRRRK.Y.YWYY...Y.........
.KRRRRRRRRRRKW..Y..Y.........Y..
.KRRRRRRRRKK.Y..Y...B...........
.KRRRRRRRRRKY..Y..Y..KK....S....
.KrrrrrrrrrrK.Y..W.KKRRK........
.KrrrrrrrrrK.....Y.KRRRRK.......
..KrrrrrrrrrK.B...KRRRRRRK......
..DKKKKKKKKKK..Y.KrrRRRRRRK...D.
...DDDDDDDDD.Y...KrrrRRRRKKK....
.......S....Y....DKrrrRKKrrK....
....R.......R....DDKrrrKrrrK....
.......DD.......S.DDKrKrrrKD....
...........B.......DDKKrrKKD..B.
.S.........S........DDKKKDD.....
............D........DDDDDD.....
....B................DDD........
................................
................................
"""

BURST_16 = """
..R...Y..B....R.
B...Y.Y.Y.......
...Y.YWY.Y..B...
.R..YWWWY...R...
..YYWWWWWYY.....
D...YWWWY..Y..D.
.KKK.YWY.Y......
KRRRKY.Y....B...
KRRRRK.Y..KK....
KrrrK.Y..KRRK...
.KKKKB..KRRRRK..
.DDDD..KrrRRKKK.
..S....DKrrKrrK.
.R......DKrKrrK.
.....B...DDKKKD.
..D.......DDDD..
"""


def parse_grid(text, size):
    """Turn a character grid into rows of palette indices (None = transparent)."""
    rows = [line for line in text.strip("\n").split("\n")]
    if len(rows) != size or any(len(r) != size for r in rows):
        raise ValueError("icon grid is not %dx%d" % (size, size))
    out = []
    for r in rows:
        row = []
        for ch in r:
            if ch == TRANSPARENT:
                row.append(None)
            elif ch in LEGEND:
                row.append(LEGEND.index(ch))
            else:
                raise ValueError("unknown colour character %r" % ch)
        out.append(row)
    return out


def ico_bytes(images):
    """Build a .ico file from 4-bit images (lists of rows of index-or-None).

    Each image is a BITMAPINFOHEADER (height doubled, for the XOR image and
    the AND mask stacked), the 16-entry palette, the XOR bits and the AND
    mask, both bottom-up with rows padded to 4 bytes.  A transparent pixel
    has its mask bit set and colour 0, so it vanishes both when drawn with
    the mask and when the XOR image alone is used.
    """
    blobs = []
    for img in images:
        h = len(img)
        w = len(img[0])
        xor_stride = ((w * 4 + 31) // 32) * 4
        and_stride = ((w + 31) // 32) * 4
        xor = bytearray()
        mask = bytearray()
        for row in reversed(img):
            line = bytearray(xor_stride)
            bits = bytearray(and_stride)
            for x, idx in enumerate(row):
                if idx is None:
                    bits[x // 8] |= 0x80 >> (x % 8)
                    idx = 0
                if x % 2 == 0:
                    line[x // 2] |= idx << 4
                else:
                    line[x // 2] |= idx
            xor += line
            mask += bits
        header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 4, 0,
                             len(xor) + len(mask), 0, 0, 16, 0)
        pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
        blobs.append((w, h, header + pal + bytes(xor) + bytes(mask)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for w, h, data in blobs:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    for _, _, data in blobs:
        out += data
    return bytes(out)


def icon_rgba(img):
    """Rows of (r, g, b) or None, for the contact sheet."""
    return [[None if i is None else PALETTE[i] for i in row] for row in img]


# ---------------------------------------------------------------------------
# The icon for Linux desktops: the window icon's flag as PNG images with an
# alpha channel at the sizes desktops look for, and as SVG.

def with_alpha(img):
    """Rows of (r, g, b, a) from rows of (r, g, b) or None."""
    return [[(0, 0, 0, 0) if px is None else px + (255,) for px in row] for row in img]


def area_scaled(img, size):
    """The picture resampled to size x size: each new pixel covers an area
    of the old ones and takes their colours weighted by how much of each it
    covers, transparent parts counting for nothing but the alpha."""
    n = len(img)
    step = n / size
    out = []
    for oy in range(size):
        row = []
        y0, y1 = oy * step, (oy + 1) * step
        for ox in range(size):
            x0, x1 = ox * step, (ox + 1) * step
            r = g = b = cover = 0.0
            for y in range(int(y0), min(n, math.ceil(y1))):
                for x in range(int(x0), min(n, math.ceil(x1))):
                    px = img[y][x]
                    if px is None:
                        continue
                    w = (min(x1, x + 1) - max(x0, x)) * (min(y1, y + 1) - max(y0, y))
                    r, g, b, cover = r + px[0] * w, g + px[1] * w, b + px[2] * w, cover + w
            if cover == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / cover), round(g / cover), round(b / cover),
                            round(255 * cover / (step * step))))
        out.append(row)
    return out


def svg_bytes(img):
    """The picture as SVG, one unit square per pixel: a path per colour made
    of each row's runs of that colour, drawn with crisp edges."""
    runs = {}
    for y, row in enumerate(img):
        x = 0
        while x < len(row):
            px = row[x]
            end = x
            while end < len(row) and row[end] == px:
                end += 1
            if px is not None:
                runs.setdefault(px, []).append("M%d %dh%dv1h-%dz" % (x, y, end - x, end - x))
            x = end
    size = len(img)
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
             'viewBox="0 0 %d %d" shape-rendering="crispEdges">' % (size, size, size, size)]
    for px in sorted(runs):
        lines.append('<path fill="#%02x%02x%02x" d="%s"/>' % (px + ("".join(runs[px]),)))
    lines.append("</svg>")
    return ("\n".join(lines) + "\n").encode("ascii")


# ---------------------------------------------------------------------------
# The background texture

SWIRL_W, SWIRL_H = 640, 480

# violet, lavender, blue, red: the four bands wound into every whirlpool
SWIRL_COLOURS = [(120, 40, 180), (200, 175, 240), (45, 55, 205), (215, 45, 85)]
SWIRL_REACH = 95.0       # how far (px) a whirlpool's pull reaches
SWIRL_PITCH = 15.0       # px from one violet band to the next along a radius
SWIRL_ARMS = 3           # bands of each colour around a whirlpool
CORNER_WASH = 150.0      # radius (px) of the white wash in each corner


def band_colour(f):
    """Colour for a position f (in turns) across the repeating band pattern.

    Each colour holds for most of its band and only blends into the next at
    its edge, which keeps the bands crisp but not jagged.
    """
    f = (f % 1.0) * 4.0
    i = int(f) % 4
    t = f - int(f)
    t = min(1.0, max(0.0, (t - 0.6) / 0.4))
    a = SWIRL_COLOURS[i]
    b = SWIRL_COLOURS[(i + 1) % 4]
    return [a[k] + (b[k] - a[k]) * t for k in range(3)]


def draw_swirl():
    """A 3x3 field of whirlpools; returns rows of (r, g, b), top row first.

    Every whirlpool is a spiral wave (phase grows with the angle and the
    radius).  The waves of all nine are added as unit vectors weighted by
    closeness, so near a centre one spiral rules and between centres they
    interfere and mesh.  Neighbours turn opposite ways, like gears.  The
    centres sit a little off the regular grid so the seams are not ruler
    straight.
    """
    centres = []
    for j in range(3):
        for i in range(3):
            cx = SWIRL_W * (i + 0.5) / 3 + (8 if j == 1 else -6) * (-1 if i == 1 else 1)
            cy = SWIRL_H * (j + 0.5) / 3 + (5 if i == 1 else -4)
            centres.append((cx, cy, 1 if (i + j) % 2 == 0 else -1))
    corners = ((0, 0), (SWIRL_W, 0), (0, SWIRL_H), (SWIRL_W, SWIRL_H))
    reach2 = SWIRL_REACH * SWIRL_REACH
    tau = 2.0 * math.pi
    rows = []
    for y in range(SWIRL_H):
        row = []
        py = y + 0.5
        for x in range(SWIRL_W):
            px = x + 0.5
            zr = zi = 0.0
            for cx, cy, turn in centres:
                dx = px - cx
                dy = py - cy
                d2 = dx * dx + dy * dy
                w = math.exp(-d2 / reach2)
                if w < 1e-4:
                    continue
                phase = turn * SWIRL_ARMS * math.atan2(dy, dx) + tau * math.sqrt(d2) / SWIRL_PITCH
                zr += w * math.cos(phase)
                zi += w * math.sin(phase)
            c = band_colour(math.atan2(zi, zr) / tau)
            wash = 0.0
            for qx, qy in corners:
                d = math.hypot(px - qx, py - qy) / CORNER_WASH
                if d < 1.0:
                    wash = max(wash, 1.0 - d * d * (3.0 - 2.0 * d))
            row.append(tuple(int(c[k] + (255 - c[k]) * wash + 0.5) for k in range(3)))
        rows.append(row)
    return rows


def bmp_bytes(rows):
    """24-bit uncompressed bottom-up BMP."""
    h = len(rows)
    w = len(rows[0])
    stride = (w * 3 + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + bytes(pixels)


# ---------------------------------------------------------------------------
# The sound

RATE = 22050
SOUND_SECONDS = 1.0


class XorShift32:
    """Tiny PRNG of our own, so the noise never changes with the Python version."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 1

    def next(self):
        s = self.state
        s ^= (s << 13) & 0xFFFFFFFF
        s ^= s >> 17
        s ^= (s << 5) & 0xFFFFFFFF
        self.state = s
        return s

    def uniform(self):
        """A float in [-1, 1)."""
        return self.next() / 2147483648.0 - 1.0


def synth_bang():
    """One explosion: 16-bit samples.

    A crack of bright noise for the first few milliseconds, then noise through
    a low-pass filter whose cutoff sinks from about 2.5 kHz to 150 Hz, so the
    bang turns into a rumble, plus a falling low thump for weight.  The rumble
    wobbles in loudness (slow noise) the way a real one rolls.
    """
    rng = XorShift32(0x0D0A1995)
    n = int(RATE * SOUND_SECONDS)
    out = []
    lp1 = lp2 = 0.0          # two one-pole low-pass stages
    wobble = 0.0             # slowly varying loudness
    thump_phase = 0.0
    for i in range(n):
        t = i / RATE
        white = rng.uniform()
        cutoff = 150.0 + 2350.0 * math.exp(-t / 0.12)
        a = 1.0 - math.exp(-2.0 * math.pi * cutoff / RATE)
        lp1 += a * (white - lp1)
        lp2 += a * (lp1 - lp2)
        wobble += 0.002 * (rng.uniform() - wobble)
        rumble = lp2 * 3.5 * (1.0 + 8.0 * wobble) * math.exp(-t / 0.36)
        crack = white * math.exp(-t / 0.012) * 0.9
        freq = 38.0 + 70.0 * math.exp(-t / 0.08)
        thump_phase += 2.0 * math.pi * freq / RATE
        thump = math.sin(thump_phase) * math.exp(-t / 0.18) * 0.8
        attack = min(1.0, i / (RATE * 0.002))
        release = min(1.0, (n - 1 - i) / (RATE * 0.05))
        out.append((crack + rumble + thump) * attack * release)
    peak = max(abs(v) for v in out) or 1.0
    return [int(round(v / peak * 0.89 * 32767)) for v in out]


def wav_bytes(samples):
    data = struct.pack("<%dh" % len(samples), *samples)
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    return (b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE"
            + b"fmt " + struct.pack("<I", len(fmt)) + fmt
            + b"data" + struct.pack("<I", len(data)) + data)


# ---------------------------------------------------------------------------
# Sample launch lists: name, command line.  Each list ends with a name that
# holds a comma (so it must be quoted) and a program that does not exist, to
# show the error box.

LINUX_LAUNCH = [
    ("時計", "xclock"),
    ("目玉", "xeyes"),
    ("電卓", "xcalc"),
    ("ロゴ", "xlogo"),
    ("虫眼鏡", "xmag"),
    ("目玉, 大きめ", "xeyes -geometry 200x200"),
    ("存在しないプログラム", "pikorina-no-such-program"),
]

WINDOWS_LAUNCH = [
    ("メモ帳", "notepad.exe"),
    ("電卓", "calc.exe"),
    ("ペイント", "mspaint.exe"),
    ("コマンド プロンプト", "cmd.exe"),
    ("メモ帳, 新しい文書", "notepad.exe"),
    ("存在しないプログラム", "pikorina_no_such_program.exe"),
]


# The list a Linux install gives every user: programs every Debian desktop
# has, through the names Debian's alternatives give them rather than one
# desktop's own programs.  No shell runs the lines, so the home folder is
# opened through one started for the purpose.
SYSTEM_LAUNCH = [
    ("端末", "x-terminal-emulator"),
    ("ウェブ ブラウザ", "x-www-browser"),
    ("ホーム フォルダ", "sh -c 'exec xdg-open \"$HOME\"'"),
]


def launch_list(entries, newline, encoding):
    text = "".join('"%s",%s%s' % (name, cmd, newline) for name, cmd in entries)
    return text.encode(encoding)


# ---------------------------------------------------------------------------
# Contact sheet

CHECK_A = (150, 150, 150)
CHECK_B = (178, 178, 178)
CHECK_SIZE = 8
GAP = 8


def png_bytes(rows):
    """Truecolour PNG, with alpha when the pixels are (r, g, b, a); each row
    gets the cheapest of the None/Sub/Up filters."""
    h = len(rows)
    w = len(rows[0])
    n = len(rows[0][0])
    raw = bytearray()
    prev = bytes(w * n)
    for row in rows:
        cur = bytes(c for px in row for c in px)
        sub = bytes(cur[i] if i < n else (cur[i] - cur[i - n]) & 0xFF for i in range(len(cur)))
        up = bytes((cur[i] - prev[i]) & 0xFF for i in range(len(cur)))
        cands = [(0, cur), (1, sub), (2, up)]
        cost = [sum(b if b < 128 else 256 - b for b in data) for _, data in cands]
        ftype, data = cands[cost.index(min(cost))]
        raw.append(ftype)
        raw += data
        prev = cur

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6 if n == 4 else 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def scaled(img, k):
    return [[px for px in row for _ in range(k)] for row in img for _ in range(k)]


def half(img):
    """Half-size copy, each pixel the rounded mean of a 2x2 block."""
    out = []
    for y in range(0, len(img) - 1, 2):
        a, b = img[y], img[y + 1]
        out.append([tuple((a[x][c] + a[x + 1][c] + b[x][c] + b[x + 1][c] + 2) // 4 for c in range(3))
                    for x in range(0, len(a) - 1, 2)])
    return out


def contact_sheet(icons, swirl):
    """All pictures on a grey checkerboard, so transparent pixels show.

    Top row: every icon image at its own size, then four times as large.
    Bottom row: the whole background at half size, then at full size the
    part of it the window actually shows.
    """
    top = []
    for img in icons:
        top.append(img)
        top.append(scaled(img, 4))
    crop = [row[:369] for row in swirl[:238]]
    bottom = [half(swirl), crop]
    width = GAP + max(sum(len(i[0]) + GAP for i in top), sum(len(i[0]) + GAP for i in bottom))
    top_h = max(len(i) for i in top)
    bot_h = max(len(i) for i in bottom)
    height = GAP + top_h + GAP + bot_h + GAP
    sheet = [[CHECK_A if ((x // CHECK_SIZE) + (y // CHECK_SIZE)) % 2 == 0 else CHECK_B
              for x in range(width)] for y in range(height)]

    def paste(img, ox, oy):
        for y, row in enumerate(img):
            line = sheet[oy + y]
            for x, px in enumerate(row):
                if px is not None:
                    line[ox + x] = px

    x = GAP
    for img in top:
        paste(img, x, GAP + top_h - len(img))
        x += len(img[0]) + GAP
    x = GAP
    for img in bottom:
        paste(img, x, GAP + top_h + GAP)
        x += len(img[0]) + GAP
    return sheet


# ---------------------------------------------------------------------------

def build():
    """All outputs as {relative name: bytes}; 'artwork.png' is the sheet."""
    flag = parse_grid(FLAG_32, 32)
    dyn32 = parse_grid(DYNAMITE_32, 32)
    dyn16 = parse_grid(DYNAMITE_16, 16)
    burst32 = parse_grid(BURST_32, 32)
    burst16 = parse_grid(BURST_16, 16)
    swirl = draw_swirl()
    files = {
        "flag.ico": ico_bytes([flag]),
        "dynamite.ico": ico_bytes([dyn32, dyn16]),
        "burst.ico": ico_bytes([burst32, burst16]),
        "swirl.bmp": bmp_bytes(swirl),
        "Don.wav": wav_bytes(synth_bang()),
        "Setup.ini": launch_list(LINUX_LAUNCH, "\n", "utf-8"),
        "windows/Setup.ini": launch_list(WINDOWS_LAUNCH, "\r\n", "cp932"),
        "linux/Setup.ini": launch_list(SYSTEM_LAUNCH, "\n", "utf-8"),
        "linux/icon-16.png": png_bytes(with_alpha(icon_rgba(parse_grid(FLAG_16, 16)))),
        "linux/icon-32.png": png_bytes(with_alpha(icon_rgba(flag))),
        "linux/icon-48.png": png_bytes(area_scaled(icon_rgba(flag), 48)),
        "linux/icon-256.png": png_bytes(with_alpha(scaled(icon_rgba(flag), 8))),
        "linux/icon.svg": svg_bytes(icon_rgba(flag)),
    }
    icons = [icon_rgba(i) for i in (flag, dyn32, dyn16, burst32, burst16)]
    files["artwork.png"] = png_bytes(contact_sheet(icons, swirl))
    return files


def main():
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser(description="Draw the artwork and sound of ピコリナ.")
    ap.add_argument("--out", help="folder to write into (default: assets/ of the repository)")
    args = ap.parse_args()
    if args.out:
        out_dir = args.out
        sheet_path = os.path.join(args.out, "artwork.png")
    else:
        out_dir = os.path.join(repo, "assets")
        sheet_path = os.path.join(repo, "docs", "artwork.png")
    for name, data in sorted(build().items()):
        path = sheet_path if name == "artwork.png" else os.path.join(out_dir, *name.split("/"))
        os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        print("wrote %s (%d bytes)" % (os.path.relpath(path), len(data)))


if __name__ == "__main__":
    main()
