"""What the window should show: its layout in pixels and the pictures it draws, read from the
artwork in assets/ (the program carries the same files inside itself), so that screenshots can be
compared with them pixel for pixel."""

import os
import struct

ASSETS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "assets")

CLIENT_W, CLIENT_H = 369, 238
OUTER_W, OUTER_H = 375, 263  # the outer size the program centres, frame included


def rect(left, top, width, height):
    """A control's rectangle in twips -> (x, y, w, h) in pixels, at 15 twips a pixel."""
    return (round(left / 15), round(top / 15), round(width / 15), round(height / 15))


LIST = rect(180, 120, 5125, 1860)
LABEL = rect(240, 2280, 5055, 630)
EXIT_BUTTON = rect(170, 3020, 1655, 293)  # 終了
SHUTDOWN_BUTTON = rect(1955, 3020, 1635, 310)  # シャットダウン
CANCEL_BUTTON = rect(3725, 3020, 1655, 310)  # キャンセル
BUTTONS = {"終了": EXIT_BUTTON, "シャットダウン": SHUTDOWN_BUTTON, "キャンセル": CANCEL_BUTTON}
CONTROLS = [LIST, LABEL, EXIT_BUTTON, SHUTDOWN_BUTTON, CANCEL_BUTTON]

FRAMES = {  # the explosion picture's rectangle and its scale, frame by frame
    1: (rect(2400, 2280, 480, 480), 1),
    2: (rect(2400, 2280, 480, 480), 1),
    3: (rect(2280, 2040, 960, 960), 2),
    4: (rect(1800, 720, 1920, 1920), 4),
}


def centre(r):
    x, y, w, h = r
    return x + w // 2, y + h // 2


def doubled(img):
    """An image scaled to twice its size, each pixel as a block of four."""
    rows = []
    for y in range(img.height):
        row = b"".join(img.rgb[i:i + 3] * 2 for i in range(3 * y * img.width,
                                                           3 * (y + 1) * img.width, 3))
        rows += [row, row]
    return type(img)(2 * img.width, 2 * img.height, b"".join(rows))


def inside(point, r, margin=0):
    x, y = point
    rx, ry, rw, rh = r
    return rx - margin <= x < rx + rw + margin and ry - margin <= y < ry + rh + margin


def bare_points(step_x=6, step_y=4, margin=3):
    """Points of the client area that no control covers, on a grid, kept a few pixels away from
    every control (their frames and the focus rectangle are not the window's own surface)."""
    return [(x, y) for y in range(1, CLIENT_H - 1, step_y) for x in range(1, CLIENT_W - 1, step_x)
            if not any(inside((x, y), r, margin) for r in CONTROLS)]


# The label's area outside every frame of the explosion picture: where a click reaches the
# window while the label is hidden.
LABEL_BESIDE_PICTURE = (LABEL[0] + 30, LABEL[1] + LABEL[3] // 2)
LABEL_BESIDE_PICTURE_2 = (LABEL[0] + 90, LABEL[1] + LABEL[3] // 2)


def _read(name):
    with open(os.path.join(ASSETS, name), "rb") as f:
        return f.read()


class Swirl:
    """The background picture, 640x480, 24-bit, bottom-up."""

    def __init__(self):
        data = _read("swirl.bmp")
        offset = struct.unpack_from("<I", data, 10)[0]
        self.width, self.height = struct.unpack_from("<ii", data, 18)
        bpp = struct.unpack_from("<H", data, 28)[0]
        assert bpp == 24 and self.height > 0
        self.stride = (self.width * 3 + 3) & ~3
        self.data, self.offset = data, offset

    def pixel(self, x, y):
        i = self.offset + (self.height - 1 - y) * self.stride + 3 * x
        b, g, r = self.data[i:i + 3]
        return (r, g, b)


class Icon:
    """The 32x32 image of a 16-colour icon: pixel(x, y) is an (r, g, b), or None where it is
    transparent."""

    def __init__(self, name):
        data = _read(name)
        count = struct.unpack_from("<H", data, 4)[0]
        for i in range(count):
            w, h, _, _, _, bpp, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
            if w == 32:
                break
        else:
            raise ValueError(f"{name} has no 32x32 image")
        header = struct.unpack_from("<IiiHH", data, offset)
        assert header[4] == 4, f"{name}: {header[4]} bits per pixel"
        palette_at = offset + header[0]
        palette = [struct.unpack_from("<BBBB", data, palette_at + 4 * c)[2::-1] for c in range(16)]
        xor_at = palette_at + 64
        and_at = xor_at + 32 * 16
        self.rows = []
        for y in range(32):
            src_row = 31 - y  # bottom-up
            row = []
            for x in range(32):
                byte = data[xor_at + src_row * 16 + x // 2]
                index = byte >> 4 if x % 2 == 0 else byte & 15
                mask = data[and_at + src_row * 4 + x // 8] >> (7 - x % 8) & 1
                row.append(None if mask else tuple(palette[index]))
            self.rows.append(row)

    def pixel(self, x, y):
        return self.rows[y][x]


DYNAMITE = "dynamite.ico"
BURST = "burst.ico"
