"""Two real Chromium windows (profiles of their own, each showing its own page) under openbox: the one on the
workspace the user sees is refreshed, also when the other was used last; and vaskf5 ended while it holds a
minimised Chromium's state borrowed for its F5 puts that state back first."""

import signal
import subprocess
import unittest

from harness import SAVE, Reporter, X11Env, wait_until
from xharness import centre

env = X11Env("chromium", browsers=("chrome", "chrome2"))


def setUpModule():
    env.start()
    env.place(env.windows["chrome2"], 800, 0, 760, 600)
    env.xdotool("set_num_desktops", 2)
    env.xdotool("set_desktop_for_window", env.windows["chrome2"], 1)


tearDownModule = env.stop


def hidden(window: int) -> bool:
    return "_NET_WM_STATE_HIDDEN" in env.prop(window, "_NET_WM_STATE")


class EndDuringHold(unittest.TestCase):
    def test_end(self):
        chrome = env.windows["chrome"]
        for end in ("SIGTERM", "SIGINT", "SIGHUP", "exitWord"):
            with self.subTest(end=end):
                env.use(["chrome"], fresh=True)
                env.xdotool("mousemove", "--window", env.windows["vaskf5"], *centre("exitWord"))
                env.xdotool("windowminimize", "--sync", chrome)
                wait_until(lambda: hidden(chrome), "Chromium minimised")
                spy = Reporter(env.spawn(["stdbuf", "-oL", "xprop", "-spy", "-id", chrome, "_NET_WM_STATE"], stdout=subprocess.PIPE,
                                         text=True, bufsize=1))
                spy.wait_line("_NET_WM_STATE")
                env.xdotool(*SAVE)
                wait_until(lambda: any("HIDDEN" not in line for line in spy.lines), "the mark taken off for the hold")
                if end == "exitWord":
                    env.xdotool("click", 1)
                else:
                    env.program.send_signal(getattr(signal, end))
                self.assertEqual(env.program.wait(timeout=10), 0, "ended as by Exit")
                self.assertTrue(hidden(chrome), f"the minimised mark put back ({spy.lines})")
                env.stop_process(spy.process)
                env.activate(chrome)


class VisibleDesktop(unittest.TestCase):
    def test_desktops(self):
        chrome, chrome2 = env.windows["chrome"], env.windows["chrome2"]
        env.activate(chrome)
        env.xdotool("set_desktop", 1)
        env.activate(chrome2)  # used last, on the workspace the user then leaves
        env.xdotool("set_desktop", 0)
        env.use(["chrome"])
        self.assertEqual(env.loads_after(SAVE, {"chrome": 1}), {"chrome": 1, "chrome2": 0}, "the one the user sees")
        env.xdotool("set_desktop_for_window", chrome, 1)
        loads = env.loads_after(SAVE, {})
        self.assertEqual(sorted(loads.values()), [0, 1], f"with none on this workspace, one elsewhere ({loads})")


if __name__ == "__main__":
    unittest.main()
