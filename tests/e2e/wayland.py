"""The Wayland desktops of tools/wayland_desktop.py as desktops of this suite. While sway runs,
the functions of desktop.py that look at windows and drive them are its own, so that the same
cases run on it, and the programs under test start as its user, in its session."""

import os

import desktop
import wayland_desktop  # (on the path through desktop)
from desktop import Failure, Image

# desktop.py's function -> this desktop's method
API = {name: name for name in ["windows_titled", "window_info", "frame_extents", "click",
                               "park_mouse", "key", "root_window", "focused_window",
                               "title_ink"]}
API.update(screenshot="image", screenshot_root="image")


class Sway(wayland_desktop.Sway):
    wm = True  # sway frames the windows, and Alt+F4 closes the active one
    places_windows = True  # as any Wayland compositor does

    def __enter__(self):
        super().__enter__()
        self.saved, self.outer = {name: getattr(desktop, name) for name in API}, dict(os.environ)
        for name, method in API.items():
            setattr(desktop, name, getattr(self, method))
        desktop.run_as = lambda folder: wayland_desktop.as_user(self.user, folder)
        for name, value in self.environment().items():
            os.environ.pop(name, None) if value is None else os.environ.update({name: value})
        return self

    def __exit__(self, *exc):
        for name, fn in self.saved.items():
            setattr(desktop, name, fn)
        desktop.run_as = None
        os.environ.clear()
        os.environ.update(self.outer)
        super().__exit__()

    def view(self, wid):
        if (found := super().view(wid)) is None:
            raise Failure(f"window {wid} no longer exists")
        return found

    def window_info(self, wid):
        x, y, w, h = self.client_area(wid)
        v = self.view(wid)
        return {"x": x, "y": y, "width": w, "height": h, "title": v["name"],
                "map": "IsViewable" if v["visible"] else "IsUnMapped"}

    def frame_extents(self, wid):
        v = self.view(wid)
        rect, body, title = v["rect"], v["window_rect"], v["deco_rect"]
        return (body["x"], rect["width"] - body["x"] - body["width"], body["y"] + title["height"],
                rect["height"] - body["y"] - body["height"])

    def title_ink(self, wid, title, own):
        def rename(name):
            self.swaymsg(f"[con_id={wid}]", "title_format", f'"{"%title" if name == own else name}"')
        return desktop.ink_of_title(lambda: self.image(wid, frame=True), rename, title, own)

    def park_mouse(self):
        self.tell("move 0 0")

    def root_window(self):
        return None

    def focused_window(self):
        return next((v["id"] for v in self.views() if v["focused"]), None)

    def image(self, wid=None, scale=1, frame=False):
        return Image.from_ppm(self.screenshot(wid, scale, frame=frame))


class Weston(wayland_desktop.Weston):
    def screenshot_root(self):
        return Image.from_ppm(self.screenshot())
