# Without openbox. On a bare X server the browsers' windows are the root's own children and the keyboard may follow the
# pointer; under twm (a manager without EWMH) each window lies in a frame. vaskf5 finds the browsers either way and
# refreshes each once per chord, taking nothing from the window that has the keyboard; a browser counts as this
# machine's under the host's name now or at the program's start.

import socket
import unittest

from xharness import SAVE, X11Env, wait_until

env = X11Env("managers", window_manager=None)
setUpModule, tearDownModule = env.start, env.stop
BOTH = {"chrome": 1, "firefox": 1}


def over(window: int) -> list:  # xdotool arguments that put the pointer in the middle of a window
    x, y, width, height = env.geometry(window)
    return ["mousemove", x + width // 2, y + height // 2, "sleep", 0.2]


class Managers(unittest.TestCase):  # the bare server first, then twm on it
    def test_bare_server(self):
        env.use(["chrome", "firefox"])
        for browser, x in (("chrome", 0), ("firefox", 800)):
            env.place(env.windows[browser], x, 0, 760, 600)
        env.xdotool(*over(env.windows["editor"]))
        # The keyboard follows the pointer (the focus is PointerRoot, window 1 to X), as on a server without a window
        # manager from its start. Chromium on the root, not yet under the pointer, is held active for its F5 as under a
        # window manager.
        env.xdotool("windowfocus", 1)
        self.assertEqual(env.loads_after(SAVE, BOTH), BOTH, "the pointer over the editor")
        # Saved in the editor, the chord ends with the pointer over Chromium, which has the keyboard from then on.
        keys = ["keydown", "ctrl", "keydown", "s", "keyup", "s", *over(env.windows["chrome"]), "keyup", "ctrl"]
        self.assertEqual(env.loads_after(keys, BOTH), BOTH, "the chord ended over Chromium")
        self.assertEqual(env.loads_after(["key", "F5"], {"chrome": 1}), {"chrome": 1, "firefox": 0},
                         "a real F5 goes where the pointer is: Chromium was never told it lost the keyboard")
        # A browser started after the host was renamed while vaskf5 runs, then one started before.
        env.use(["firefox"], prefix=("unshare", "--uts"))  # a host name of its own, to rename while it runs
        env.run("nsenter", "--target", env.program.pid, "--uts", "hostname", "renamed-host")
        firefox = env.windows["firefox"]
        for machine in ("renamed-host", socket.gethostname()):
            env.run("xprop", "-id", firefox, "-f", "WM_CLIENT_MACHINE", "8s", "-set", "WM_CLIENT_MACHINE", machine)
            self.assertEqual(env.loads_after(SAVE, {"firefox": 1}), {"chrome": 0, "firefox": 1}, machine)

    def test_twm(self):
        env.use(["chrome", "firefox"])
        config = env.temp / "twmrc"
        # New windows placed without asking; a font every server has (its default one may be missing).
        config.write_text('RandomPlacement\nUsePPosition "on"\n' + "".join(
            f'{kind}Font "fixed"\n' for kind in ("Title", "Resize", "Menu", "Icon", "IconManager")))
        env.start_manager("twm", "-f", config)
        # twm marks each window it has put in a frame (ICCCM's WM_STATE), after the frame is made.
        wait_until(lambda: all("window state" in env.prop(env.windows[b], "WM_STATE") for b in BOTH), "twm's frames",
                   30)
        env.xdotool(*over(env.windows["editor"]))
        env.activate(env.windows["editor"])
        for _ in range(3):
            self.assertEqual(env.loads_after(SAVE, BOTH), BOTH)
            self.assertEqual(env.focused(), env.windows["editor"], "the editor keeps the keyboard")
