"""The checks, as a user would make them: start the program from its folder, look at its window,
click and type, and see what was started or how it ended."""

import collections
import json
import os
import shutil
import subprocess
import tempfile
import threading
import time

import artwork
import desktop
import sound
import wayland
from app import ERROR_TITLE, INFO_TITLE, MAIN_TITLE, REPORT_TITLE
from artwork import BUTTONS, CANCEL_BUTTON, EXIT_BUTTON, FRAMES, LABEL, LIST
from desktop import Failure, is_dark
from suite import group, table

SWIRL = artwork.Swirl()
DYNAMITE = artwork.Icon(artwork.DYNAMITE)
BURST = artwork.Icon(artwork.BURST)
RED = (255, 0, 0)

# The list used by most checks: each entry starts marker-prog with a tag of its own, except the
# fourth, which names a program that does not exist. No shell runs the command lines, so the
# last one's metacharacters are plain arguments.
META_ARGS = [";", "touch", "PWNED", "|", "touch", "PWNED2", "&&", "touch", "PWNED3",
             "$(touch", "PWNED4)", "`touch", "PWNED5`", ">", "PWNED6"]
LAUNCH_LIST = (
    '"一番目",marker-prog first alpha\n'
    '"二番目",marker-prog second "two words" \'single quoted\'\n'
    '"三番目, 引用符付き",marker-prog third x\\ y\n'
    '"存在しないプログラム",pikorina-e2e-no-such-program --flag\n'
    '"記号",marker-prog meta ' + " ".join(META_ARGS) + "\n"
)
LAUNCH_ITEMS = 5


def expected_args(t, tag):
    return META_ARGS if tag == "meta" else t.session.program.expected[tag]


def is_grey(rgb, low=170):
    return max(rgb) - min(rgb) <= 12 and min(rgb) >= low


def is_whiteish(rgb):
    return min(rgb) >= 235


def where(point):
    return f"at ({point[0]}, {point[1]})"


# ---------------------------------------------------------------------------------------------
# Reading the window's state off a screenshot


def list_bands(img):
    """The highlighted rows of the list: (top, height, colour) for each band of rows whose
    right-hand part (beyond any item text) is mostly one colour that is not the list's white
    (mostly: the focus rectangle's dotted edges run through the band's first and last rows)."""
    x0, y0, w, h = LIST
    bands, current = [], None
    for y in range(y0 + 1, y0 + h - 1):
        colours = collections.Counter(img.pixel(x, y) for x in range(x0 + 160, x0 + w - 6, 3))
        colour, n = colours.most_common(1)[0]
        highlighted = n >= 0.4 * sum(colours.values()) and not is_whiteish(colour) \
            and max(colour) - min(colour) >= 60
        if highlighted and current and current[2] == colour and current[0] + current[1] == y:
            current[1] += 1
        elif highlighted:
            current = [y, 1, colour]
            bands.append(current)
        else:
            current = None
    return [tuple(b) for b in bands]


def selected_row(img):
    """The row of the list shown selected, and the row height, from the one highlighted band."""
    bands = list_bands(img)
    if len(bands) != 1:
        raise Failure(f"expected one highlighted row in the list, found {len(bands)}: {bands}")
    top, height, _ = bands[0]
    if not 9 <= height <= 30:
        raise Failure(f"the highlighted row is {height} px high; a list row should be 9-30 px")
    return (top - (LIST[1] + 2)) // height, height


def text_lines(img, r):
    """Rows of `r` holding dark (text) pixels, grouped into lines: [(top, bottom, count)]."""
    x0, y0, w, h = r
    lines = []
    for y in range(y0, y0 + h):
        n = sum(1 for x in range(x0, x0 + w) if is_dark(img.pixel(x, y)))
        if n and lines and lines[-1][1] == y - 1:
            lines[-1][1] = y
            lines[-1][2] += n
        elif n:
            lines.append([y, y, n])
    return [tuple(line) for line in lines]


def glyph_cells(img, r, line):
    """The ink of one text line cut into cells at blank columns, each cell as a bitmap."""
    x0, _, w, _ = r
    top, bottom, _ = line
    cells, current = [], []
    for x in range(x0, x0 + w):
        column = tuple(is_dark(img.pixel(x, y)) for y in range(top, bottom + 1))
        if any(column):
            current.append(column)
        elif current:
            cells.append(tuple(current))
            current = []
    if current:
        cells.append(tuple(current))
    return cells


def expect_picture(img, frame, icon, background, what):
    """The explosion picture at the frame's rectangle, scaled as the frame says, its transparent
    pixels showing `background` (a colour, or a function of the point)."""
    (x0, y0, w, h), scale = FRAMES[frame]
    wrong, first = 0, None
    for y in range(h):
        for x in range(w):
            expected = icon.pixel(x // scale, y // scale)
            if expected is None:
                expected = background(x0 + x, y0 + y) if callable(background) else background
            seen = img.pixel(x0 + x, y0 + y)
            if seen != expected:
                wrong += 1
                first = first or ((x0 + x, y0 + y), seen, expected)
    if wrong > 0.02 * w * h:
        p, seen, expected = first
        raise Failure(f"{what}: {wrong} of {w * h} pixels of the {w}x{h} picture at "
                      f"({x0}, {y0}) differ from the artwork; first {where(p)}: {seen}, "
                      f"expected {expected}")


def expect_bare(img, expected, what, points=None, besides=None):
    """Every bare point of the window (outside the rectangle `besides`) shows `expected` (a
    colour, or a function of the point)."""
    points = points or artwork.bare_points()
    if besides:
        points = [p for p in points if not artwork.inside(p, besides)]
    wrong = [(p, img.pixel(*p)) for p in points
             if img.pixel(*p) != (expected(*p) if callable(expected) else expected)]
    if len(wrong) > 0.01 * len(points):
        p, seen = wrong[0]
        want = expected(*p) if callable(expected) else expected
        raise Failure(f"{what}: {len(wrong)} of {len(points)} bare points differ; first "
                      f"{where(p)}: {seen}, expected {want}")


def expect_same(img, before, what, tolerance=0):
    count, box = img.diff(before)
    if count > tolerance:
        raise Failure(f"{what}: {count} pixels differ from the screenshot before, within "
                      f"{box} (x0, y0, x1, y1)")


def expect_as_before(img, before, what):
    """The window looks as in `before`, except that the focus rectangle may have moved: pixels
    may differ only within the selected row, and the same row must still be selected."""
    count, box = img.diff(before)
    if count == 0:
        return
    row, height = selected_row(before)
    top = LIST[1] + 2 + row * height
    band = (LIST[0], top - 1, LIST[2], height + 2)
    if not (artwork.inside(box[:2], band) and artwork.inside(box[2:], band)):
        raise Failure(f"{what}: {count} pixels differ from the screenshot before, within {box} "
                      f"(x0, y0, x1, y1)")
    now, _ = selected_row(img)
    if now != row:
        raise Failure(f"{what}: row {now} is selected, before it was row {row}")


def crop(img, r):
    return img.crop(*r)


def face_colour(img):
    """The window's plain background: the colour of the top-left corner, checked to be grey."""
    colour = img.pixel(2, 2)
    if not is_grey(colour):
        raise Failure(f"the bare window at (2, 2) is {colour}, not a grey button face")
    return colour


def label_shows_text(img, what):
    lines = text_lines(img, LABEL)
    if len(lines) != 3:
        raise Failure(f"{what}: the warning text should take three lines; dark pixels in the "
                      f"label's area form {len(lines)} lines {[(t, b) for t, b, _ in lines]}")


# ---------------------------------------------------------------------------------------------
# The window at start

WINDOW_CHECKS = ["title and client size", "centred on the screen", "list: white, first row selected",
                 "warning text in three lines", "warning text is Japanese glyphs, not boxes",
                 "buttons: framed, with captions", "no explosion picture at start",
                 "keyboard focus is in the window"]


@group("main window", WINDOW_CHECKS)
def main_window(t):
    app = t.start(LAUNCH_LIST)
    wid = app.wait_main()
    desktop.park_mouse()
    time.sleep(0.2)
    img = desktop.screenshot(wid)

    def title_and_size():
        info = desktop.window_info(wid)
        if info["title"] != MAIN_TITLE:
            raise Failure(f"title {info['title']!r}, expected {MAIN_TITLE!r}")
        size = (info["width"], info["height"])
        if t.session.program.draws_own_frame:  # the X window is the framed window
            want, what = (artwork.OUTER_W, artwork.OUTER_H), "framed window"
        else:
            want, what = (artwork.CLIENT_W, artwork.CLIENT_H), "client area"
        if size != want:
            raise Failure(f"{what} {size[0]} x {size[1]}, expected {want[0]} x {want[1]}")
    t.check("title and client size", title_and_size)

    def centred():
        info = desktop.window_info(wid)
        extents = desktop.frame_extents(wid)
        if getattr(t.session.display, "places_windows", False):
            # No Wayland client can place its window; sway centres the window's body (under its
            # title bar), as a window manager does with a window that asks for no place.
            centre = (info["x"] + info["width"] / 2, info["y"] + info["height"] / 2)
            what = f"the window's body {info['width']}x{info['height']}+{info['x']}+{info['y']}"
        elif extents:
            left, right, top, bottom = extents
            x, y = info["x"] - left, info["y"] - top
            w, h = info["width"] + left + right, info["height"] + top + bottom
            centre = (x + w / 2, y + h / 2)
            what = f"the framed window {w}x{h}+{x}+{y}"
        elif t.session.wm and not t.session.program.draws_own_frame:
            raise Failure("the window manager reports no frame for the window")
        else:
            # Nothing frames the window: its top-left corner is where the program put the
            # outer window (Wine draws the frame into it; a bare Qt window has none).
            x, y = info["x"], info["y"]
            centre = (x + artwork.OUTER_W / 2, y + artwork.OUTER_H / 2)
            what = (f"the unframed window at +{x}+{y} (centre of its {artwork.OUTER_W}x"
                    f"{artwork.OUTER_H} outer size)")
        dx, dy = centre[0] - desktop.SCREEN_W / 2, centre[1] - desktop.SCREEN_H / 2
        if abs(dx) > 4 or abs(dy) > 4:
            raise Failure(f"{what} is centred at {centre}, {dx:+.1f}, {dy:+.1f} px from the "
                          f"screen's centre")
    t.check("centred on the screen", centred)

    def list_area():
        row, height = selected_row(img)
        if row != 0:
            raise Failure(f"row {row} is shown selected, expected the first")
        x0, y0, w, h = LIST
        below = y0 + 2 + LAUNCH_ITEMS * height + 2
        points = [(x, y) for y in range(below, y0 + h - 3, 3) for x in range(x0 + 3, x0 + w - 3, 5)]
        grey = [p for p in points if not is_whiteish(img.pixel(*p))]
        if not points or grey:
            raise Failure(f"the list's empty part should be white; {len(grey)} of {len(points)} "
                          f"points are not, first {where(grey[0])}: {img.pixel(*grey[0])}"
                          if grey else "no empty part of the list below its items")
        lines = text_lines(img, (x0 + 3, y0 + 2, w - 6, below - y0 - 2))
        if len(lines) < LAUNCH_ITEMS - 1:  # the selected item's text is light on the highlight
            raise Failure(f"expected dark item text in {LAUNCH_ITEMS - 1} rows of the list, "
                          f"found {len(lines)} lines")
    t.check("list: white, first row selected", list_area)

    def three_lines():
        label_shows_text(img, "at start")
        ink = sum(n for _, _, n in text_lines(img, LABEL))
        if not 600 <= ink <= 5000:
            raise Failure(f"{ink} dark pixels in the warning text; its 90-odd characters should "
                          f"give 600-5000")
    t.check("warning text in three lines", three_lines)

    def glyphs():
        cells = [c for line in text_lines(img, LABEL) for c in glyph_cells(img, LABEL, line)]
        if len(cells) < 40:
            raise Failure(f"only {len(cells)} separate glyphs in the warning text")
        shape, n = collections.Counter(cells).most_common(1)[0]
        # Missing glyphs come out as the same empty box again and again; real text repeats a
        # shape only now and then (the same kana, a dot).
        if n > 0.2 * len(cells):
            raise Failure(f"{n} of {len(cells)} glyphs in the warning text have one and the same "
                          f"shape ({len(shape)} px wide): boxes for missing characters?")
    t.check("warning text is Japanese glyphs, not boxes", glyphs)

    def buttons():
        # Styles differ (Qt's bevels, Wine's flat frames); any style draws a button as an outline
        # that stands out from the window around its face, with its caption inside.
        face = face_colour(img)
        problems = []
        for name, (x0, y0, w, h) in BUTTONS.items():
            columns = range(x0 + 6, x0 + w - 6)

            def edge(rows):
                return [y for y in rows if sum(img.pixel(x, y) != face for x in columns)
                        >= 0.9 * len(columns)]
            ink = sum(1 for x in range(x0 + 3, x0 + w - 3) for y in range(y0 + 3, y0 + h - 3)
                      if is_dark(img.pixel(x, y)))
            if not edge(range(y0 - 1, y0 + 3)):
                problems.append(f"{name}: no edge along its top")
            if not edge(range(y0 + h - 4, y0 + h + 1)):
                problems.append(f"{name}: no edge along its bottom")
            if not 40 <= ink <= 600:
                problems.append(f"{name}: {ink} dark caption pixels, expected 40-600")
        if problems:
            raise Failure("; ".join(problems))
    t.check("buttons: framed, with captions", buttons)

    def no_picture():
        face = face_colour(img)
        for frame in (1, 3, 4):
            (x0, y0, w, h), _ = FRAMES[frame]
            for y in range(y0, y0 + h):
                for x in range(x0, x0 + w):
                    rgb = img.pixel(x, y)
                    # The dynamite and the burst are drawn in strong reds and yellows; nothing
                    # at start is.
                    if rgb[0] >= 150 and rgb[2] <= 80 and rgb[0] - rgb[2] >= 120:
                        raise Failure(f"a red/yellow pixel {rgb} {where((x, y))} inside frame "
                                      f"{frame}'s rectangle before any click")
        expect_bare(img, face, "at start the bare window")
    t.check("no explosion picture at start", no_picture)

    def focus():
        focused = desktop.focused_window()
        if focused != wid:
            raise Failure(f"the keyboard focus is on window {focused}, not on the launcher "
                          f"{wid}: keys would not reach it")
    t.check("keyboard focus is in the window", focus)


# ---------------------------------------------------------------------------------------------
# The frame Wine draws around the Windows program


def close_box(img, border, client_top):
    """The title bar's close box: the right-most light button in the caption of a framed
    window's screenshot, as (x, y, w, h). Found along its right and top edges, which no glyph
    touches."""
    def light(x, y):
        return min(img.pixel(x, y)) >= 200
    mid = (border + client_top) // 2
    right = img.width - border - 1
    while right > 0 and not light(right, mid):  # the frame and the caption's margin
        right -= 1
    top = bottom = mid
    while top > 0 and light(right, top - 1):
        top -= 1
    while bottom < client_top - 1 and light(right, bottom + 1):
        bottom += 1
    left = right
    while left > 0 and light(left - 1, top):
        left -= 1
    if right - left < 8 or bottom - top < 8:
        raise Failure(f"no close box at the right of the title bar (light from x {left} to "
                      f"{right}, y {top} to {bottom})")
    return left, top, right - left + 1, bottom - top + 1


@group("title bar", ["the close box shows a cross, not a letter"],
       when=lambda s: s.program.draws_own_frame)
def title_bar(t):
    app = t.start(LAUNCH_LIST)
    wid = app.wait_main()
    desktop.park_mouse()
    time.sleep(0.2)
    img = desktop.screenshot(int(wid))  # the whole framed window, title bar included

    # Wine draws the frame's glyphs from its Marlett font: without it the close box shows the
    # letter "r", which stands for the cross in that font.
    t.check("the close box shows a cross, not a letter",
            lambda: expect_cross(img, close_box(img, wid.ox, wid.oy), 1))


def expect_cross(img, box, inset):
    """The button at box (x, y, w, h) shows a cross within its edges `inset` pixels wide. A
    cross has ink in the four corners of its extent and at its centre; a letter does not, and a
    box for a missing glyph has no centre."""
    x0, y0, w, h = box
    ink = {(x, y) for y in range(y0 + inset, y0 + h - inset)
           for x in range(x0 + inset, x0 + w - inset) if is_dark(img.pixel(x, y))}
    if not ink:
        raise Failure(f"the close box at {box} is empty")
    left, right = min(x for x, _ in ink), max(x for x, _ in ink)
    top, bottom = min(y for _, y in ink), max(y for _, y in ink)
    cx, cy = (left + right) / 2, (top + bottom) / 2
    spots = {"top left": (left, top), "top right": (right, top), "bottom left": (left, bottom),
             "bottom right": (right, bottom), "centre": (cx, cy)}
    bare = [name for name, (x, y) in spots.items()
            if not any(abs(x - ix) <= 1 and abs(y - iy) <= 1 for ix, iy in ink)]
    if right - left < 4 or bottom - top < 4 or bare:
        drawing = "\n".join("".join("#" if (x, y) in ink else "." for x in range(left, right + 1))
                             for y in range(top, bottom + 1))
        raise Failure(f"the close box at {box} shows no cross: no ink at its "
                      f"{', '.join(bare) or 'extent'}; it shows\n{drawing}")


# ---------------------------------------------------------------------------------------------
# Launching

LAUNCH_CHECKS = ["the entry's command started with its arguments", "only that entry, once",
                 "the launcher still runs with its window", "the selection is where it was"]


def row_centre(img, row):
    _, height = selected_row(img)
    return LIST[0] + 40, LIST[1] + 2 + row * height + height // 2


def launch_by_enter(app, wid):
    desktop.key("Return")
    return 0


def launch_down_enter(app, wid):
    desktop.key("Down", "Return")
    return 1


def launch_double_click(app, wid):
    desktop.click(wid, *row_centre(desktop.screenshot(wid), 2), repeat=2)
    return 2


def launch_alt_e(app, wid):
    desktop.key("Down", "Down", "alt+e")
    return 2


def launch_click_exit(app, wid):
    desktop.click(wid, *row_centre(desktop.screenshot(wid), 1))
    desktop.click(wid, *artwork.centre(EXIT_BUTTON))
    return 1


def launch_end_enter(app, wid):
    desktop.key("End", "Return")
    return 4


TAGS = ["first", "second", "third", None, "meta"]


@table("launch", [
    ("Enter right after start", {"how": launch_by_enter}),
    ("Down, Enter", {"how": launch_down_enter}),
    ("double-click on the third item", {"how": launch_double_click}),
    ("Down, Down, Alt+E", {"how": launch_alt_e}),
    ("click on the second item, click on 終了", {"how": launch_click_exit}),
    ("shell metacharacters are plain arguments", {"how": launch_end_enter}),
], checks=LAUNCH_CHECKS)
def launch(t, how):
    app = t.start(LAUNCH_LIST)
    wid = app.wait_main()
    row = how(app, wid)
    tag = TAGS[row]
    t.check("the entry's command started with its arguments",
            lambda: expect_args(app, tag, expected_args(t, tag)))

    def once():
        time.sleep(0.3)
        starts = app.marks_started()
        if starts != [tag]:
            raise Failure(f"expected one start of {tag!r}, marker-prog ran as {starts}")
        if tag == "meta":
            made = sorted(f for f in os.listdir(app.folder) if f.startswith("PWNED"))
            if made:
                raise Failure(f"a shell ran the command line: it made {made}")
    t.check("only that entry, once", once)
    t.check("the launcher still runs with its window",
            lambda: app.expect_running("after starting an entry"))

    def selection():
        desktop.park_mouse()
        time.sleep(0.2)
        seen, _ = selected_row(desktop.screenshot(wid))
        if seen != row:
            raise Failure(f"row {seen} is selected after starting row {row}")
    t.check("the selection is where it was", selection)


def expect_args(app, tag, expected):
    starts = app.mark(tag)
    if starts != expected:
        raise Failure(f"marker-prog {tag} got the arguments {starts}, expected {expected}")


# Tab moves the focus ListBox -> シャットダウン -> キャンセル -> 終了 -> ListBox; Enter presses the focused
# button, or the default 終了 when the focus is in the list. An access key's button takes the
# focus as it is pressed, so Tab goes on from there.
TAB_CHECKS = ["Enter does what the focused control does"]


def after_tabs_info(t, app):
    app.wait_box(INFO_TITLE)
    desktop.key("Return")
    desktop.wait_gone(INFO_TITLE)
    app.expect_running("after the information box")
    if app.marks_started():
        raise Failure(f"an entry was started too: {app.marks_started()}")


def after_tabs_quit(t, app):
    status = app.wait_exit(5)
    if status != 0:
        raise Failure(f"exit status {status}, expected 0")


def after_tabs_launch(t, app):
    expect_args(app, "first", expected_args(t, "first"))
    app.expect_running("after starting an entry")
    if desktop.windows_titled(INFO_TITLE):
        raise Failure("the information box is shown too")


@table("Tab order", [
    ("Tab, Enter: シャットダウン shows the information box", {"tabs": 1, "then": after_tabs_info}),
    ("Tab x2, Enter: キャンセル quits", {"tabs": 2, "then": after_tabs_quit}),
    ("Tab x3, Enter: 終了 starts the first entry", {"tabs": 3, "then": after_tabs_launch}),
    ("Tab x4, Enter: back in the list, 終了 by default", {"tabs": 4, "then": after_tabs_launch}),
    ("Alt+E, then Tab, Enter: from 終了 to the list, 終了 again",
     {"access_key": "alt+e", "tabs": 1, "then": after_tabs_launch}),
], checks=TAB_CHECKS)
def tab_order(t, tabs, then, access_key=None):
    app = t.start(LAUNCH_LIST)
    app.wait_main()
    if access_key:
        desktop.key(access_key)
        expect_args(app, "first", expected_args(t, "first"))
        app.clear_marks()
    desktop.key(*["Tab"] * tabs, "Return")
    t.check(TAB_CHECKS[0], then, t, app)


MISSING_CHECKS = ["the error box appears", "the box closes", "the launcher still runs",
                  "the selection is unchanged", "keys reach the launcher again"]


@table("missing program", [
    ("OK (Return)", {"close": "Return"}),
    ("Cancel (Escape)", {"close": "Escape"}),
], checks=MISSING_CHECKS)
def missing_program(t, close):
    app = t.start(LAUNCH_LIST)
    wid = app.wait_main()
    desktop.key("Down", "Down", "Down", "Return")

    def appears():
        app.wait_box(ERROR_TITLE)
        if app.marks_started():
            raise Failure(f"an entry was started: {app.marks_started()}")
    if not t.check("the error box appears", appears):
        raise Failure("no error box to close")

    def closes():
        desktop.key(close)
        desktop.wait_gone(ERROR_TITLE)
    t.check("the box closes", closes)
    t.check("the launcher still runs", lambda: app.expect_running("after the error box"))

    def unchanged():
        desktop.park_mouse()
        time.sleep(0.2)
        row, _ = selected_row(desktop.screenshot(wid))
        if row != 3:
            raise Failure(f"row {row} is selected after the box, expected row 3 as before")
    t.check("the selection is unchanged", unchanged)
    t.check("keys reach the launcher again", keys_reach_launcher, t, app, ["Up", "Return"], "third")


def keys_reach_launcher(t, app, keys, tag):
    """After a box has closed, the user types at the launcher again without clicking it first:
    the keys start the entry with the tag."""
    desktop.key(*keys)
    try:
        expect_args(app, tag, expected_args(t, tag))
    except Failure as e:
        focused = desktop.focused_window()
        root = " (the root window)" if focused == desktop.root_window() else ""
        raise Failure(f"{e}; the keyboard focus is on window {focused}{root}, the launcher is "
                      f"{int(app.main)}") from None


# ---------------------------------------------------------------------------------------------
# The information box and quitting


@group("information box", ["Alt+S shows it", "Return closes it, nothing else happens",
                           "keys reach the launcher again"])
def information_box(t):
    app = t.start(LAUNCH_LIST)
    app.wait_main()
    desktop.key("alt+s")
    t.check("Alt+S shows it", lambda: app.wait_box(INFO_TITLE))

    def closes():
        desktop.key("Return")
        desktop.wait_gone(INFO_TITLE)
        time.sleep(0.3)
        app.expect_running("after the information box")
        if app.marks_started():
            raise Failure(f"Return in the box also started an entry: {app.marks_started()}")
    t.check("Return closes it, nothing else happens", closes)
    # Alt+E, as the access key of 終了 works wherever the focus is in the window (Alt+S may
    # have left it on シャットダウン, where Return would show the box again).
    t.check("keys reach the launcher again", keys_reach_launcher, t, app, ["alt+e"], "first")


@group("information box after a click on the main window",
       ["the box takes the keyboard back", "Return closes it, nothing else happens",
        "keys reach the launcher again"])
def information_box_after_click(t):
    """A modal box keeps the keyboard whatever the user clicks, as on Windows: a click on the
    blocked main window leaves Return to the box."""
    app = t.start(LAUNCH_LIST)
    wid = app.wait_main()
    desktop.key("alt+s")
    app.wait_box(INFO_TITLE)
    desktop.click(wid, *BARE_A)

    def keyboard():
        deadline = time.monotonic() + 5
        while (focused := desktop.focused_window()) not in desktop.windows_titled(INFO_TITLE):
            if time.monotonic() > deadline:
                raise Failure(f"5 s after a click on the main window the keyboard is on window "
                              f"{focused}, not on the box {desktop.windows_titled(INFO_TITLE)}")
            time.sleep(0.05)
    t.check("the box takes the keyboard back", keyboard)

    def closes():
        desktop.key("Return")
        desktop.wait_gone(INFO_TITLE)
        app.expect_running("after the information box")
        if app.marks_started():
            raise Failure(f"Return started an entry: {app.marks_started()}")
    t.check("Return closes it, nothing else happens", closes)
    # Plain keys, which only a window with the keyboard gets: Alt+S left the focus on
    # シャットダウン, two Tabs on from there are on 終了.
    t.check("keys reach the launcher again", keys_reach_launcher, t, app, ["Tab", "Tab", "Return"],
            "first")


CAPTION_CHECKS = ["the error box's caption stands whole in its title bar",
                  "the information box's caption stands whole in its title bar"]


@group("box captions", CAPTION_CHECKS, when=lambda s: s.program.name == "linux" and s.wm)
def box_captions(t):
    """Each box is wide enough for the desktop to show its whole caption, as Windows makes a
    message box: the caption's ink in the box's title bar is as wide as in the main window's,
    where it has room."""
    app = t.start(LAUNCH_LIST)
    wid = app.wait_main()
    for check, keys, title in [(CAPTION_CHECKS[0], ["Down", "Down", "Down", "Return"], ERROR_TITLE),
                               (CAPTION_CHECKS[1], ["alt+s"], INFO_TITLE)]:
        def whole():
            room = desktop.title_ink(wid, title, MAIN_TITLE)
            desktop.key(*keys)
            box = app.wait_box(title)
            shown = desktop.title_ink(box, title, title)
            if shown < room - 1 or room == 0:
                raise Failure(f"the caption {title!r} takes {shown} px of the box's title bar "
                              f"({desktop.window_info(box)['width']} px wide), {room} px of the "
                              f"main window's: the desktop cut it short")
        t.check(check, whole)
        desktop.key("Return")
        desktop.wait_gone(title)


def quit_by_escape(app, wid):
    desktop.key("Escape")


def quit_by_cancel(app, wid):
    desktop.click(wid, *artwork.centre(CANCEL_BUTTON))


def quit_by_window_manager(app, wid):
    # Openbox closes the active window on Alt+F4; under Wine the system's own frame does.
    desktop.key("alt+F4")


@table("quit", [
    ("Esc", {"how": quit_by_escape}),
    ("click on キャンセル", {"how": quit_by_cancel}),
    ("closed by the window manager (Alt+F4)",
     {"how": quit_by_window_manager, "when": lambda s: s.wm or s.program.draws_own_frame}),
], checks=["exit status 0, window gone"])
def quit(t, how):
    app = t.start(LAUNCH_LIST)
    wid = app.wait_main()
    how(app, wid)

    def ends():
        status = app.wait_exit(5)
        if status != 0:
            raise Failure(f"exit status {status}, expected 0")
        if desktop.windows_titled(MAIN_TITLE):
            raise Failure("the window is still shown after the program ended")
    t.check("exit status 0, window gone", ends)


# ---------------------------------------------------------------------------------------------
# Start-up failures


@table("start-up failure", [
    ("no Setup.ini", {"setup": None}),
    ("empty Setup.ini", {"setup": b""}),
    ("only blank lines", {"setup": b"\n\n  \n"}),
    ("last record without its command", {"setup": '"時計",xclock\n"名前"\n'}),
], checks=["the report box appears", "no main window", "exit status 1 after Return"])
def startup_failure(t, setup):
    app = t.start(setup, name="failure")
    t.check("the report box appears", lambda: app.wait_box(REPORT_TITLE))

    def no_main():
        if desktop.windows_titled(MAIN_TITLE):
            raise Failure("the main window is shown next to the report")
    t.check("no main window", no_main)

    def status_one():
        desktop.key("Return")
        status = app.wait_exit(5)
        if desktop.windows_titled(MAIN_TITLE):
            raise Failure("the main window was shown after the report")
        if status != 1:
            raise Failure(f"exit status {status}, expected 1")
    t.check("exit status 1 after Return", status_one)


# ---------------------------------------------------------------------------------------------
# Setup.ini encodings: the same list written three ways shows the same items.

ENCODED_LIST = '"表計算ソフト",marker-prog enc 表示\n"ﾊﾞｰｼﾞｮﾝ確認",xclock\n"能力・予定",xclock\n'


ENCODINGS = {"utf-8": ("UTF-8", lambda text: text.encode()),
             "cp932": ("Shift_JIS", lambda text: text.encode("cp932")),
             "bom": ("UTF-8 with BOM", lambda text: b"\xef\xbb\xbf" + text.encode())}


def encodings_group(program, reference, others):
    """Both read UTF-8, with a byte-order mark or without, else code page 932. The list written
    in the reference encoding is what the others must look like, and its first command must
    reach marker-prog as the same text. Each copy is kept in a folder with a Japanese name."""
    names = {e: ENCODINGS[e][0] for e in [reference] + others}
    checks = [f"{names[reference]}: three items shown"]
    checks += [f"{names[e]} list looks as in {names[reference]}" for e in others]
    checks += [f"{names[e]} command reaches the program as Unicode" for e in [reference] + others]

    @group(f"Setup.ini encodings ({program})", checks,
           when=lambda s: s.program.name == program)
    def encodings(t):
        shots, started = {}, {}
        for label in [reference] + others:
            app = t.start(ENCODINGS[label][1](ENCODED_LIST), name=f"一覧-{label}")
            wid = app.wait_main()
            desktop.park_mouse()
            time.sleep(0.2)
            shots[label] = desktop.screenshot(wid)
            desktop.key("Return")
            try:
                started[label] = app.mark("enc")
            except Failure as e:
                started[label] = e
            app.stop()
            desktop.wait_gone(MAIN_TITLE)

        def items():
            img = shots[reference]
            row, height = selected_row(img)
            below = LIST[1] + 2 + height
            lines = text_lines(img, (LIST[0] + 3, below, LIST[2] - 6, LIST[3] - 4 - height))
            if row != 0 or len(lines) != 2:
                raise Failure(f"expected the first row selected and dark text in the two rows "
                              f"below it; row {row} is selected, {len(lines)} rows of text "
                              f"below it")
        t.check(checks[0], items)
        for e in others:
            t.check(f"{names[e]} list looks as in {names[reference]}", lambda e=e: expect_same(
                crop(shots[e], LIST), crop(shots[reference], LIST), f"the {names[e]} list"))

        def args(label):
            got = started[label]
            if isinstance(got, Failure):
                raise got
            if got != ["表示"]:
                raise Failure(f"marker-prog got {got}, expected ['表示']")
        for e in [reference] + others:
            t.check(f"{names[e]} command reaches the program as Unicode", args, e)


encodings_group("linux", "bom", ["utf-8", "cp932"])
encodings_group("windows", "bom", ["utf-8", "cp932"])


# ---------------------------------------------------------------------------------------------
# Background toggle


# Two bare points far apart, used in turn: two quick clicks on one spot would be a double-click.
BARE_A = (artwork.CLIENT_W - 4, artwork.CLIENT_H - 4)
BARE_B = (4, artwork.CLIENT_H - 4)


@group("background toggle", ["plain button face at start", "first click shows the picture",
                             "second click removes it", "third click shows it again",
                             "a click in the list does not toggle it"])
def background(t):
    app = t.start(LAUNCH_LIST)
    wid = app.wait_main()
    face = None

    def shot_after(point=None):
        if point:
            desktop.click(wid, *point)
        desktop.park_mouse()
        time.sleep(0.3)
        return desktop.screenshot(wid)

    def plain():
        nonlocal face
        img = shot_after()
        face = face_colour(img)
        expect_bare(img, face, "at start")
    t.check("plain button face at start", plain)
    t.check("first click shows the picture",
            lambda: expect_bare(shot_after(BARE_A), SWIRL.pixel, "after one click"))
    t.check("second click removes it",
            lambda: expect_bare(shot_after(BARE_B), face or face_colour(shot_after()),
                                "after two clicks"))
    t.check("third click shows it again",
            lambda: expect_bare(shot_after(BARE_A), SWIRL.pixel, "after three clicks"))
    t.check("a click in the list does not toggle it",
            lambda: expect_bare(shot_after(row_centre(desktop.screenshot(wid), 1)),
                                SWIRL.pixel, "after a click in the list"))


# ---------------------------------------------------------------------------------------------
# The explosion. Its waits end just after whole seconds: clicked at S + 0.1, frame 1 shows until
# S + 1, frame 2 until S + 2, frame 3 until S + 3, then the red pause until S + 5. Each look is
# taken in the middle of a second, half a second away from any change.

EXPLOSION_CHECKS = ["frame 1: the dynamite in place of the warning text",
                    "frame 2: the burst, same place",
                    "frame 3: the burst twice as large",
                    "red pause: frame 4 four times as large on pure red",
                    "red pause: list and buttons gone",
                    "red pause lasts two seconds",
                    "afterwards the window is as before",
                    "no second run follows",
                    "a second run starts again with the dynamite",
                    "the second run ends as before"]


def at(start, offset):
    """Sleeps until start + offset seconds; returns how late it woke."""
    desktop.sleep_until(start + offset)
    return time.time() - start - offset


def explosion_shot(wid, start, offset):
    late = at(start, offset)
    img = desktop.screenshot(wid)
    if late > 0.3:
        raise Failure(f"the screenshot for S+{offset} was taken {late:.2f} s late; the machine "
                      f"is too busy to tell the frames apart")
    return img


def label_hidden(img, what):
    x0, y0, w, h = LABEL
    ink = [(x, y) for y in range(y0, y0 + h) for x in range(x0, FRAMES[3][0][0] - 2)
           if is_dark(img.pixel(x, y))]
    if ink:
        raise Failure(f"{what}: the warning text should be hidden, but there are {len(ink)} "
                      f"dark pixels left of the picture, first {where(ink[0])}")


@group("explosion", EXPLOSION_CHECKS)
def explosion(t):
    app = t.start(LAUNCH_LIST)
    wid = app.wait_main()
    desktop.park_mouse()
    time.sleep(0.2)
    before = desktop.screenshot(wid)
    face = face_colour(before)
    start = desktop.sleep_until_fraction(0.1)
    desktop.click(wid, *artwork.LABEL_BESIDE_PICTURE)
    desktop.park_mouse()
    shots = {}
    for offset in (0.5, 1.5, 2.5, 3.5, 4.5, 5.6, 6.6):
        try:
            shots[offset] = explosion_shot(wid, start, offset)
        except Failure as e:
            shots[offset] = e

    def shot(offset):
        if isinstance(shots[offset], Failure):
            raise shots[offset]
        return shots[offset]

    def frame1():
        img = shot(0.5)
        expect_picture(img, 1, DYNAMITE, face, "at S+0.5")
        label_hidden(img, "at S+0.5")
        expect_same(crop(img, LIST), crop(before, LIST), "the list during the explosion")
    t.check(EXPLOSION_CHECKS[0], frame1)
    t.check(EXPLOSION_CHECKS[1], lambda: expect_picture(shot(1.5), 2, BURST, face, "at S+1.5"))

    def frame3():
        img = shot(2.5)
        expect_picture(img, 3, BURST, face, "at S+2.5")
        label_hidden(img, "at S+2.5")
    t.check(EXPLOSION_CHECKS[2], frame3)

    def red():
        img = shot(3.5)
        expect_picture(img, 4, BURST, RED, "at S+3.5")
        expect_bare(img, RED, "at S+3.5 the bare window", besides=FRAMES[4][0])
    t.check(EXPLOSION_CHECKS[3], red)

    def gone():
        img = shot(3.5)
        for name, r in [("list", LIST)] + list(BUTTONS.items()):
            x0, y0, w, h = r
            points = [(x, y) for y in range(y0, y0 + h) for x in range(x0, x0 + w)
                      if not artwork.inside((x, y), FRAMES[4][0])]
            wrong = [p for p in points if img.pixel(*p) != RED]
            if wrong:
                raise Failure(f"at S+3.5 the {name}'s area should be plain red; {len(wrong)} of "
                              f"its pixels are not, first {where(wrong[0])}: "
                              f"{img.pixel(*wrong[0])}")
    t.check(EXPLOSION_CHECKS[4], gone)

    def lasts():
        img = shot(4.5)
        expect_picture(img, 4, BURST, RED, "at S+4.5")
        expect_bare(img, RED, "at S+4.5 the bare window", besides=FRAMES[4][0])
    t.check(EXPLOSION_CHECKS[5], lasts)
    t.check(EXPLOSION_CHECKS[6], lambda: expect_as_before(shot(5.6), before, "at S+5.6"))
    t.check(EXPLOSION_CHECKS[7], lambda: expect_as_before(shot(6.6), before, "at S+6.6"))

    start = desktop.sleep_until_fraction(0.1)
    desktop.click(wid, *artwork.LABEL_BESIDE_PICTURE)
    desktop.park_mouse()
    t.check(EXPLOSION_CHECKS[8], lambda: expect_picture(explosion_shot(wid, start, 0.5), 1,
                                                        DYNAMITE, face, "second run at S+0.5"))
    t.check(EXPLOSION_CHECKS[9], lambda: expect_as_before(explosion_shot(wid, start, 5.6),
                                                          before, "second run at S+5.6"))


@group("explosion with a background click", [
    "the click where the text was toggles the background",
    "the red pause hides the picture", "the run ends on time with the text back once",
    "no second run follows", "the picture stays on; one more click gives the window as before"])
def explosion_with_click(t):
    app = t.start(LAUNCH_LIST)
    wid = app.wait_main()
    desktop.click(wid, *BARE_A)
    desktop.park_mouse()
    time.sleep(0.3)
    before_on = desktop.screenshot(wid)  # how the window looks with the picture on
    desktop.click(wid, *BARE_B)
    desktop.park_mouse()
    time.sleep(0.3)
    before = desktop.screenshot(wid)
    start = desktop.sleep_until_fraction(0.1)
    desktop.click(wid, *artwork.LABEL_BESIDE_PICTURE)
    desktop.park_mouse()
    at(start, 0.45)
    # The label is hidden: this reaches the bare window. (A spot of its own, away from the first
    # click, or the two would make a double-click.)
    desktop.click(wid, *artwork.LABEL_BESIDE_PICTURE_2)
    desktop.park_mouse()
    shots = {}
    for offset in (0.75, 3.5, 5.6, 6.6, 7.6):
        try:
            shots[offset] = explosion_shot(wid, start, offset)
        except Failure as e:
            shots[offset] = e

    def shot(offset):
        if isinstance(shots[offset], Failure):
            raise shots[offset]
        return shots[offset]

    def toggled():
        img = shot(0.75)
        expect_bare(img, SWIRL.pixel, "at S+0.75")
        x0, y0, w, h = LABEL
        beside = [(x, y) for y in range(y0, y0 + h) for x in range(x0, FRAMES[3][0][0] - 2)]
        expect_bare(img, SWIRL.pixel, "at S+0.75 where the text was", beside)
        expect_picture(img, 1, DYNAMITE, SWIRL.pixel, "at S+0.75")
    t.check("the click where the text was toggles the background", toggled)

    def red():
        img = shot(3.5)
        expect_bare(img, RED, "at S+3.5", besides=FRAMES[4][0])
        expect_picture(img, 4, BURST, RED, "at S+3.5")
    t.check("the red pause hides the picture", red)

    def back():
        expect_as_before(shot(5.6), before_on,
                         "at S+5.6, against the window with its picture on")
    t.check("the run ends on time with the text back once", back)

    def no_second():
        expect_same(shot(6.6), shot(5.6), "at S+6.6 against S+5.6")
        expect_same(shot(7.6), shot(5.6), "at S+7.6 against S+5.6")
    t.check("no second run follows", no_second)

    def as_before():
        desktop.click(wid, *BARE_A)
        desktop.park_mouse()
        time.sleep(0.3)
        expect_as_before(desktop.screenshot(wid), before, "after switching the picture off again")
    t.check("the picture stays on; one more click gives the window as before", as_before)


@group("キャンセル during the explosion", ["the program ends at once with status 0",
                                       "no red is ever shown"])
def cancel_during_explosion(t):
    app = t.start(LAUNCH_LIST)
    wid = app.wait_main()
    start = desktop.sleep_until_fraction(0.1)
    desktop.click(wid, *artwork.LABEL_BESIDE_PICTURE)
    at(start, 0.4)
    desktop.click(wid, *artwork.centre(CANCEL_BUTTON))

    def ends():
        status = app.wait_exit(5)
        ended = time.time() - start
        if status != 0:
            raise Failure(f"exit status {status}, expected 0")
        if ended > 2.9:
            raise Failure(f"the program ended only at S+{ended:.1f}, after the red pause was "
                          f"due at S+3")
    t.check("the program ends at once with status 0", ends)

    def never_red():
        for offset in (3.5, 4.5):
            at(start, offset)
            img = desktop.screenshot_root()
            red = sum(1 for y in range(0, img.height, 8) for x in range(0, img.width, 8)
                      if img.pixel(x, y) == RED)
            if red:
                raise Failure(f"at S+{offset} {red} sampled screen points are pure red")
    t.check("no red is ever shown", never_red)


# What a screen reader finds through AT-SPI during the explosion (Orca would have to be caught
# reading within its five seconds).
WARNING = ("警告 : Ctrl+Alt+Delキーをもう一度押すとコンピュータが再起動します。その場合､"
           "実行中のプログラムで保存されていないデータはすべて失われます。")


@group("screen reader: AT-SPI", ["during the explosion the label is not showing, and it said so"],
       when=lambda s: s.program.name == "linux")
def screen_reader_tree(t):
    reader = desktop.ScreenReader(tempfile.mkdtemp(prefix="reader-", dir=t.session.root))
    try:
        app = t.start(LAUNCH_LIST, env=dict(reader.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
        wid = app.wait_main()
        before = reader.ask(app.proc.pid)["parts"]
        desktop.click(wid, *artwork.LABEL_BESIDE_PICTURE)
        during = reader.ask(app.proc.pid, WARNING, 0)
    finally:
        desktop.end(reader.proc)
    showing = lambda parts: [shown for _, name, shown in parts if name == WARNING]

    def same(seen, want):
        if seen != want:
            raise Failure(f"found {seen}, expected {want}")
    t.check(t.group.checks[0], same, (showing(before), during["told"], showing(during["parts"])),
            ([True], True, [False]))


# What a blind user hears from Orca, task by task.
ENTRIES = ["一番目", "二番目", "三番目, 引用符付き", "存在しないプログラム", "記号"]
WINDOW, LIST_SPOKEN = MAIN_TITLE + " dialog", f"List with {len(ENTRIES)} items."
SPEECH_CHECKS = ["at start: the window, its warning text, the list and its selected entry",
                 "Down: the entry it moves to", "Tab round the buttons: each by name",
                 "Tab back: the list and its selected entry", "where am I: the selected entry",
                 "flat review: every entry, the warning text, then the buttons",
                 "Alt+S: the box's title, text and button; Return: the window, its text and "
                 "the button that has the focus again",
                 "after an error box: the window, the list and its selected entry",
                 "a start-up failure: the box's title, number, text, path and button"]


# On X11 with a window manager, where Orca 43 hears the keys and finds the active window.
@group("screen reader", SPEECH_CHECKS, when=lambda s: s.program.name == "linux" and s.wm
       and isinstance(s.display, desktop.Display))
def screen_reader(t):
    orca = desktop.Orca(tempfile.mkdtemp(prefix="orca-", dir=t.session.root))

    def hears(keys, *texts):
        orca.idle()
        since = len(orca.said())
        desktop.key(*keys)
        return orca.expect(since, texts, f"after {'+'.join(keys)}")
    try:
        since = len(orca.said())
        app = t.start(LAUNCH_LIST, env=orca.env)
        app.wait_main()
        t.check(SPEECH_CHECKS[0], orca.expect, since,
                [WINDOW, WARNING, LIST_SPOKEN, ENTRIES[0] + "."], "at start")
        t.check(SPEECH_CHECKS[1], hears, ["Down"], ENTRIES[1] + ".")
        t.check(SPEECH_CHECKS[2], lambda: [hears(["Tab"], caption + " push button.")
                                           for caption in ["シャットダウン(S)", "キャンセル", "終了(E)"]])
        t.check(SPEECH_CHECKS[3], hears, ["Tab"], LIST_SPOKEN, ENTRIES[1] + ".")
        t.check(SPEECH_CHECKS[4], hears, ["KP_Enter"], ENTRIES[1] + ".", f"2 of {len(ENTRIES)}.")

        def flat_review():
            # Keypad minus enters it and reads the focus's line; 7 and 9 go a line up and down.
            lines = hears(["KP_Subtract"], "Entering flat review.\n")[-1:]
            if lines != ENTRIES[:1]:
                lines = hears(["KP_Home"], ENTRIES[0])
            while "キャンセル" not in lines[-1] and len(lines) < len(ENTRIES) + 5:
                lines += hears(["KP_Page_Up"])
            hears(["KP_Subtract"], "Leaving flat review.")
            text = "".join("".join(lines[len(ENTRIES):-1]).split())  # in lines as it wraps
            if lines[:len(ENTRIES)] != ENTRIES or text != "".join(WARNING.split()):
                raise Failure(f"flat review read {lines}: expected the entries, then the "
                              "warning text, then the buttons")
        t.check(SPEECH_CHECKS[5], flat_review)
        t.check(SPEECH_CHECKS[6], lambda: (
            hears(["alt+s"], "ﾊﾞｰﾁｬﾝ情報", "ソフト名：ピコリナ", "作者：汐見 縫", "OK push button."),
            # The next key waits for the button: Orca 43, given a key while its focus is still
            # the window, quietly takes the program's focus as its own, and when the key has
            # already moved that to the list, it never says the list.
            hears(["Return"], WINDOW, WARNING, "シャットダウン(S) push button.")))

        def error_box():
            hears(["shift+Tab"], LIST_SPOKEN)  # from シャットダウン, where Alt+S left the focus
            hears(["Down", "Down"], ENTRIES[3] + ".")
            hears(["Return"], ERROR_TITLE, "ｴﾗｰが起きました。", "OK push button.")
            hears(["Return"], WINDOW, LIST_SPOKEN, ENTRIES[3] + ".")
        t.check(SPEECH_CHECKS[7], error_box)
        desktop.key("Escape")
        app.wait_exit(5)
        since = len(orca.said())
        app = t.start(None, name="failure", env=orca.env)
        path = os.path.join(app.folder, "no-config", "pikorina", "Setup.ini")
        t.check(SPEECH_CHECKS[8], orca.expect, since, [REPORT_TITLE, "実行時エラー '53'",
                                                       "ファイルが見つかりません。", path, "OK push button."],
                "a start-up failure")
    finally:
        orca.close()


# ---------------------------------------------------------------------------------------------
# Wayland: a scaled output, and a compositor that frames no window


@group("output scale 2", ["the client area is still 369 x 238", "drawn at twice the resolution, "
                          "not the scale-1 picture with its pixels doubled"],
       when=lambda s: hasattr(s.display, "scale"))
def scale_two(t):
    # A program learns the scale as it starts (Qt 6.4 does not draw anew for a new scale).
    app = t.start(LAUNCH_LIST)
    desktop.park_mouse()
    doubled = artwork.doubled(desktop.screenshot(app.wait_main()))
    app.stop()
    desktop.wait_gone(MAIN_TITLE)
    t.session.display.scale(2)
    try:
        app = t.start(LAUNCH_LIST)
        wid = app.wait_main()

        def size():
            info = desktop.window_info(wid)
            if (info["width"], info["height"]) != (artwork.CLIENT_W, artwork.CLIENT_H):
                raise Failure(f"client area {info['width']} x {info['height']} at scale 2")
        t.check("the client area is still 369 x 238", size)

        def crisp():
            count = desktop.screenshot(wid, 2).diff(doubled)[0]
            if count < 2000:
                raise Failure(f"at scale 2 the window differs from its scale-1 picture, doubled, "
                              f"in {count} pixels: upscaled, not drawn at 2x")
        t.check("drawn at twice the resolution, not the scale-1 picture with its pixels doubled",
                crisp)
    finally:
        t.session.display.scale(1)


WESTON_CHECKS = ["a frame: a border and a caption around the client area",
                 "the caption's close box shows a cross", "no other button beside it"]


def on_weston(t, weston, setup):
    """The program started on weston, once drawn: the instance, the screen, and the window's
    rectangle on it (x, y, w, h), its caption's height and the close box's columns."""
    def settled(shot, what):
        """The screen once two looks in a row agree: all drawn."""
        deadline = time.monotonic() + 15
        while (again := weston.screenshot_root()).rgb != shot.rgb:
            if time.monotonic() > deadline:
                raise Failure(f"{what} did not settle within 15 s")
            shot = again
        return shot

    empty = settled(weston.screenshot_root(), "weston's desktop")
    app = t.start(setup, env=weston.environment())
    deadline = time.monotonic() + 15
    while weston.screenshot_root().rgb == empty.rgb:
        if time.monotonic() > deadline:
            raise Failure(f"no window on weston within 15 s: {app.problem() or 'running'}")
    img = settled(weston.screenshot_root(), "the window on weston")
    x0, y0, x1, y1 = img.diff(empty)[1]
    # The caption: from the top border down to the first row of the window's own face.
    caption = next(y for y in range(y0 + 4, y1) if img.pixel(x0 + 3, y) == img.pixel(
        x0 + 3, y1 - 3)) - y0 - 3
    # Columns of the caption with something drawn in them: the icon and the title at the left,
    # the close box at the right. Its gradient runs from left to right.
    runs = []
    for x in range(x0 + 3, x1 - 2):
        if len({img.pixel(x, y) for y in range(y0 + 5, y0 + 2 + caption)}) == 1:
            continue
        if runs and runs[-1][1] == x - 1:
            runs[-1][1] = x
        else:
            runs.append([x, x])
    return app, img, (x0, y0, x1 - x0 + 1, y1 - y0 + 1), caption, runs


def on_weston_here(s):
    return getattr(s.display, "xwayland", False)


@table("weston: the dialog's own frame", [
    ("the main window", {"setup": LAUNCH_LIST, "client": (artwork.CLIENT_W, artwork.CLIENT_H)}),
    ("the start-up failure box", {"setup": None, "client": None}),
], checks=WESTON_CHECKS, when=on_weston_here)
def weston_frame(t, setup, client):
    """weston, like GNOME's compositor, frames no window: the program draws the dialog's frame
    itself, with a close box and nothing to maximise."""
    with wayland.Weston(t.session.display) as weston:
        app, img, (x0, y0, w, h), caption, runs = on_weston(t, weston, setup)
        app.stop()

    def framed():
        if not 16 <= caption <= 30 or client and (w, h) != (client[0] + 6, client[1] + 6 +
                                                            caption):
            raise Failure(f"the window is {w} x {h}, its caption {caption} pixels high: not the "
                          f"client area {client} in a 3-pixel border under a 16-30 pixel caption")
        if client and selected_row(img.crop(x0 + 3, y0 + 3 + caption, *client))[0] != 0:
            raise Failure("the client area is not where the frame leaves it")
    t.check(WESTON_CHECKS[0], framed)
    close = runs[-1] if runs else [0, 0]
    t.check(WESTON_CHECKS[1], lambda: expect_cross(
        img, (close[0], y0 + 4, close[1] - close[0] + 1, caption - 2), 2))

    def alone():
        beside = [r for r in runs[:-1] if r[1] >= close[0] - 60]
        if x0 + w - 3 - close[1] > 6 or beside:
            raise Failure(f"drawn columns of the caption: {runs}; expected the close box at its "
                          f"right end and nothing within 60 pixels left of it")
    t.check(WESTON_CHECKS[2], alone)


@group("weston: keys and the close box", ["Enter right after start starts the first entry",
                                          "the close box ends the program with status 0"],
       when=on_weston_here)
def weston_input(t):
    with wayland.Weston(t.session.display) as weston:
        app, img, (x0, y0, w, h), caption, runs = on_weston(t, weston, LAUNCH_LIST)

        def enter():
            desktop.key("Return")
            expect_args(app, "first", expected_args(t, "first"))
        t.check("Enter right after start starts the first entry", enter)

        def close_box():
            weston.click((runs[-1][0] + runs[-1][1]) // 2, y0 + 3 + caption // 2)
            if (status := app.wait_exit(5)) != 0:
                raise Failure(f"exit status {status}, expected 0")
        t.check("the close box ends the program with status 0", close_box)


# ---------------------------------------------------------------------------------------------
# The bang as a user hears it: explosions in one run of the program, recorded from the default
# output of a sound server of the case's own (sound.py), with the platform's own player playing
# the same file to a second output at each bang's moment; and no server at all. Once a program,
# on the bare X display. Wine plays through the server in these cases only.

SOUND_CHECKS = ["each explosion three bangs, each at its wait's end within the program's allowance "
                "(none where the platform refuses the file), no other sound",
                "each bang is the file until the next starts, its dropouts no longer than two "
                "server cycles or where the platform's player's were"]
QUIET_CHECKS = ["the explosion runs to its end", "the program keeps working"]
# Don.wav saved as a user's recorder or editor may save it (sox's options), and whether Wine's
# own PlaySound plays it: the Windows program plays what the platform plays, the Linux one all.
WAVE_ENCODINGS = [
    ("Don.wav as shipped, three explosions", dict(options=None, explosions=3)),
    ("24-bit", dict(options=["-b", "24"])),
    ("32-bit integer", dict(options=["-t", "wavpcm", "-e", "signed", "-b", "32"],
                            windows_plays=False)),
    ("64-bit float", dict(options=["-e", "floating-point", "-b", "64"], windows_plays=False)),
    ("extensible, 24-bit stereo 48 kHz", dict(options=["-b", "24", "-c", "2", "-r", "48000"])),
    # Longer than the second between bangs: each cuts the one before short, the last plays out.
    # The Linux program's alone: under Wine each bang opens an output of its own, whose 25-30 ms
    # buffer runs dry at its start now and then, in Wine's own player too (docs/performance.md).
    ("3 s, the bang and a quiet tone, 16-bit stereo 48 kHz",
     dict(options=["--combine", "mix", "|sox -n -r 22050 -p synth 3 sine 110 vol 0.015",
                   "-b", "16", "-c", "2", "-r", "48000"],
          when=lambda s: s.program.name == "linux")),
]
# And those whose sound under Wine is Wine's own: its PlaySound plays 8-bit and mu-law through
# outputs of that format, which the server fills with an offset when they run dry, and loads
# the ADPCM codec at the first bang. The Windows program hands them on as they are.
WAVE_ENCODINGS += [(label, dict(options=options, when=lambda s: s.program.name == "linux"))
              for label, options in [("8-bit unsigned", ["-e", "unsigned", "-b", "8"]),
                                     ("IMA ADPCM", ["-e", "ima-adpcm"]),
                                     ("mu-law", ["-e", "u-law"])]]


def as_before(img, before):
    try:
        expect_as_before(img, before, "")
        return True
    except Failure:
        return False


def wait_screen(wid, done, what, timeout):
    deadline = time.monotonic() + timeout
    while not done(desktop.screenshot(wid)):
        if time.monotonic() > deadline:
            raise Failure(f"waited {timeout} s for {what}")
        time.sleep(0.1)


def explode(wid, clicked=None, quiet=0):
    """Clicks the warning text once the window has settled, 0.1 s past a whole second, and waits
    until the window is back as it was, not looking from the explosion's start until `quiet` s
    after the click; the time of the click, also handed to `clicked` at once."""
    desktop.park_mouse()
    before = desktop.screenshot(wid)
    for _ in range(50):  # the window settled: two looks 0.1 s apart alike
        time.sleep(0.1)
        now, before = before, desktop.screenshot(wid)
        if now.diff(before)[0] == 0:
            break
    start = desktop.sleep_until_fraction(0.1) + 0.1
    desktop.click(wid, *artwork.LABEL_BESIDE_PICTURE)
    if clicked:
        clicked(start)
    desktop.park_mouse()
    wait_screen(wid, lambda img: not as_before(img, before), "the explosion to begin", 10)
    desktop.sleep_until(start + quiet)
    wait_screen(wid, lambda img: as_before(img, before), "the window to be as before", 15)
    return start


# Where a failed sound check leaves its recordings, outside the run's temporary folders.
KEPT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                    "build", "e2e-kept"))


def sound_group(name, checks, rows=None):
    def register(fn):
        def run(t, **params):
            program, folder = t.session.program, tempfile.mkdtemp(dir=t.session.root)
            reg = ["wine", "reg", "add", r"HKCU\Software\Wine\Drivers", "/v", "Audio", "/f", "/d"]
            wine = dict(env=program.environment(folder), capture_output=True, timeout=60)
            try:
                if program.name == "windows":
                    done = subprocess.run(reg + ["pulse"], **wine)
                    if done.returncode:  # reg says why on its output (code page 932), Wine on errors
                        said = (done.stdout.decode("cp932", errors="replace") +
                                done.stderr.decode(errors="replace")).strip()
                        raise Failure(f"wine reg add ended with status {done.returncode}: "
                                      f"{said[-2000:] or 'nothing said'}")
                fn(t, folder, **params)
            finally:
                if program.name == "windows":  # as the suite's prefix is made: silent
                    subprocess.run(reg + [""], **wine)

        def bare(s):
            return s.display.label == "no window manager"
        if rows:
            return table(name, rows, checks, when=bare)(run)
        return group(name, checks, when=bare)(run)
    return register


@sound_group("sound: explosions recorded", SOUND_CHECKS, WAVE_ENCODINGS)
def sound_recorded(t, folder, options, explosions=1, windows_plays=True):
    wav, plain = os.path.join(folder, "Don.wav"), os.path.join(folder, "plain.wav")
    if options:
        subprocess.run(["sox", sound.DON, *options, wav], check=True)
    else:
        shutil.copy(sound.DON, wav)
    # The reference plays the file decoded, as 16-bit PCM: it stands for what the machine does
    # to any sound, not for a decoder.
    subprocess.run(["sox", wav, "-e", "signed", "-b", "16", plain], check=True)
    server, timers, program = sound.Server(folder), [], t.session.program
    # On Windows the platform's player is Wine's own PlaySound, played as the program plays
    # (wine_player.c): its output asks the server for 25-30 ms, and under load ran dry where
    # paplay's 200 ms never did. It is started before the first click, awaited until it is
    # ready, and told each moment.
    moments, player, due = os.path.join(folder, "moments"), None, []

    def reference(click):  # the platform's player, at each wait's end
        due.extend(click + second for second in (0.9, 1.9, 2.9))
        if player:
            with open(moments, "a") as f:
                f.write("".join(f"{moment:.3f}\n" for moment in due[-3:]))
            return
        for moment in due[-3:]:
            timers.append(threading.Timer(moment - time.time(), server.play,
                                          (plain, sound.LATENCY_MS)))
            timers[-1].start()
    env = {**server.env, **(sound.WINE_ENV if program.name == "windows" else {})}
    try:
        app = t.start(LAUNCH_LIST, sound=False, env=env)
        shutil.copy(wav, app.folder)  # read at the click
        wid = app.wait_main()
        if program.name == "windows":
            # The same file as the program's where Wine plays it: Wine's start-up for a bang
            # depends on the file's format (24-bit, extensible), and it is that start-up that
            # excuses the silence before a next bang.
            player = program.play(wav if windows_plays else plain, moments,
                                  {**env, "PULSE_SINK": "ref"})
        server.record()
        for _ in range(explosions):
            # No screenshot while the bangs start (the last is due 2.9 s in, and may start
            # LATEST after): a screenshot costs 33 ms of a core beside the sound's threads, and
            # the program, which paints, may wait for the X server while it is taken; Wine's
            # player, which has no window, never does.
            explode(wid, reference, quiet=2.9 + sound.LATEST)
        for timer in timers:
            timer.join()
        if player:
            with open(moments, "a") as f:
                f.write("end\n")
            player.wait(30)
        time.sleep(1)  # anything after the last explosion is heard too
        recorded = server.samples()
    finally:
        for timer in timers:
            timer.cancel()
        if player:
            desktop.end(player)
        server.close()
    ref = sound.decoded(wav)
    plays = windows_plays or program.name != "windows"
    rules = sound.WINDOWS if program.name == "windows" else sound.LINUX
    # The recordings and where the bangs were due, for a look by hand: `--keep` keeps them.
    heard = (ref, recorded["rec"], [server.due("rec", m) for m in due] if plays else [],
             recorded["ref"], [server.due("ref", m) for m in due], rules)
    with open(os.path.join(folder, "due.json"), "w") as f:
        json.dump(dict(rec=heard[2], ref=heard[4], rules=rules.name), f)
    # A fault heard while the machine stood still may be the machine's: the failure says.
    still, before = server.stood_still("rec"), t.session.player_start
    if rules.startup:  # Wine's start-ups vary with the machine's load: the session's all count
        t.session.player_start = max(before, sound.player_start(ref, *heard[3:5])[1])
    kept = os.path.join(KEPT, os.path.basename(t.session.root) + "-" + os.path.basename(folder))
    recordings = (f"seconds of the recordings {kept}/rec.raw and ref.raw (16-bit stereo, "
                  f"{sound.RATE} Hz; due.json says when each bang was due)")

    def judged(judge, **also):
        if faults := judge(*heard, before, **also):
            # A failure that passes when run again is found only in what it left: it stays.
            os.makedirs(kept, exist_ok=True)
            for name in ("Don.wav", "due.json", "rec.raw", "ref.raw", "server.log"):
                shutil.copy2(os.path.join(folder, name), kept)
            raise Failure(f"{'; '.join(faults)}; {still}; {recordings}")

    def timing():
        app.expect_running("after the explosions")
        judged(sound.timing)
    t.check(SOUND_CHECKS[0], timing)
    t.check(SOUND_CHECKS[1], lambda: judged(sound.likeness, still=server.still("rec") or []))


THREAD_CHECKS = ["while the bangs play, at most two threads more than before the first click",
                 "once the last bang has played, the sound's stream is let go and nothing of "
                 "the sound wakes"]


def threads(pid):
    """The program's threads: id -> how often each has been switched to so far."""
    found = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                found[tid] = sum(int(v.split()[1]) for v in f if "ctxt_switches:" in v)
        except OSError:  # it ended meanwhile
            pass
    return found


@group("sound: the program's threads", THREAD_CHECKS,
       when=lambda s: s.program.name == "linux" and s.display.label == "no window manager")
def sound_threads(t):
    server, seen, counting = sound.Server(tempfile.mkdtemp(dir=t.session.root)), [], [True]
    try:
        app = t.start(LAUNCH_LIST, env=server.env)
        wid = app.wait_main()
        pid, before = app.proc.pid, threads(app.proc.pid)

        def count():  # (when, how many threads), from before the first click on
            while counting[0]:
                seen.append((time.time(), len(threads(pid))))
                time.sleep(0.01)
        counter = threading.Thread(target=count, daemon=True)
        counter.start()
        for _ in range(2):
            last = explode(wid)
        most = max(n for _, n in seen)
        t.check(THREAD_CHECKS[0], lambda: most <= len(before) + 2 or fail(
            f"{most} threads, {len(before)} before the first click"))

        def quiet():
            # The module lets its stream go 2 s after the last bang has played; a busy machine
            # may take a second more.
            end = last + 2.9 + len(sound.decoded(sound.DON)) / sound.RATE
            deadline = end + 2 + 1
            now, mine = None, lambda found: {t: n for t, n in found.items() if t not in before}
            while True:  # until let go, and the sound's threads asleep since the last look
                then, now = now, threads(pid)  # (letting go ends in a wait)
                if len(now) <= len(before) + 1 and then and mine(then) == mine(now) \
                        or time.time() > deadline:
                    break
                time.sleep(0.05)
            counting[0] = False
            counter.join()
            if late := [(when, n) for when, n in seen + [(time.time(), len(now))]
                        if when > deadline and n > len(before) + 1]:
                raise Failure(f"{late[0][1]} threads {late[0][0] - end:.1f} s after the last "
                              f"bang's end, {len(before)} before the first click")
            # The program's own threads wake for what it does; the sound's stay asleep.
            desktop.key("Return")
            expect_args(app, "first", expected_args(t, "first"))
            woke = {tid: n - now[tid] for tid, n in threads(pid).items()
                    if tid in now and tid not in before and n != now[tid]}
            if woke:
                raise Failure(f"the sound's threads woke (thread: times) during a launch: {woke}")
        t.check(THREAD_CHECKS[1], quiet)
    finally:
        counting[0] = False
        server.close()


@sound_group("sound: no server", QUIET_CHECKS)
def sound_without_server(t, folder):
    app = t.start(LAUNCH_LIST, env={"PULSE_SERVER": f"unix:{folder}/pulse/native"})
    wid = app.wait_main()
    t.check(QUIET_CHECKS[0], lambda: explode(wid) or app.expect_running("afterwards"))

    def works():
        desktop.key("Return")
        expect_args(app, "first", expected_args(t, "first"))
    t.check(QUIET_CHECKS[1], works)


@group("sound: no sound module", QUIET_CHECKS + ["nothing is heard"],
       when=lambda s: s.program.name == "linux" and s.display.label == "no window manager")
def sound_without_module(t, folder=None):
    server = sound.Server(tempfile.mkdtemp(dir=t.session.root))
    try:
        inst = t.session.instance(LAUNCH_LIST, env=server.env)
        os.remove(os.path.join(inst.folder, "libpikorina-sound.so"))
        t.instances.append(inst)
        app = inst.start()
        wid = app.wait_main()
        server.record()
        t.check(QUIET_CHECKS[0], lambda: explode(wid) or app.expect_running("afterwards"))

        def works():
            desktop.key("Return")
            expect_args(app, "first", expected_args(t, "first"))
        t.check(QUIET_CHECKS[1], works)
        heard = sound.onsets(server.samples()["rec"])
    finally:
        server.close()
    t.check("nothing is heard", lambda: heard and fail(f"sounds at samples {heard}"))


def fail(message):
    raise Failure(message)
