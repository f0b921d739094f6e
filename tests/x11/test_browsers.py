"""Ctrl then S typed into an editor makes the real vaskf5 refresh the ticked real browsers, once per chord, in
the layouts people work in, without taking the keyboard from the editor."""

import os
import unittest

import harness
from harness import Desktop

# More chords per layout (VASKF5_CHORDS_PER_LAYOUT=20) measure the hit rates more closely.
CHORDS_PER_LAYOUT = int(os.environ.get("VASKF5_CHORDS_PER_LAYOUT", "5"))
scene: Desktop


def setUpModule():
    global scene
    scene = Desktop("browsers").start()


def tearDownModule():
    scene.stop()


def side_by_side(last: str):
    def arrange(d: Desktop):
        d.env.place(d.chrome, 0, 0, 760, 600)
        d.env.place(d.firefox, 800, 0, 760, 600)
        for name in ("firefox", "chrome") if last == "chrome" else ("chrome", "firefox"):
            d.env.activate(d.browsers[name])
    return arrange


def overlapping(top: str):
    def arrange(d: Desktop):
        d.env.place(d.chrome, 0, 0, 760, 600)
        d.env.place(d.firefox, 380, 60, 760, 600)
        for name in ("firefox", "chrome") if top == "chrome" else ("chrome", "firefox"):
            d.env.activate(d.browsers[name])
    return arrange


def covered(inner: str, by: str):
    """The inner browser fully behind a bigger window: the other browser or the editor."""
    def arrange(d: Desktop):
        outer = d.browsers[by] if by in d.browsers else d.editor_window
        d.env.place(d.browsers[inner], 60, 60, 600, 400)
        d.env.activate(d.browsers[inner])
        d.env.place(outer, 0, 0, 900, 620)
        d.env.activate(outer)
    return arrange


def minimised(d: Desktop):
    d.env.place(d.chrome, 0, 0, 760, 600)
    d.env.place(d.firefox, 800, 0, 760, 600)
    d.env.minimise(d.chrome)
    d.env.minimise(d.firefox)


LAYOUTS = [
    ("side by side, Chromium activated last", side_by_side("chrome")),
    ("side by side, Firefox activated last", side_by_side("firefox")),
    ("overlapping, Chromium on top", overlapping("chrome")),
    ("overlapping, Firefox on top", overlapping("firefox")),
    ("Chromium fully covered by Firefox", covered("chrome", "firefox")),
    ("Firefox fully covered by Chromium", covered("firefox", "chrome")),
    ("Chromium fully covered by the editor", covered("chrome", "editor")),
    ("both minimised", minimised),
]


def play_layouts(testcase: unittest.TestCase, d: Desktop, layouts) -> None:
    """Each layout, then CHORDS_PER_LAYOUT chords typed into the editor; prints the hit rate of every browser
    in every layout and fails on any chord that did not reload each ticked browser exactly once."""
    d.tick("chrome", "firefox")
    rows = []
    for name, arrange in layouts:
        d.env.place(d.editor_window, 500, 700, 600, 200)
        arrange(d)
        d.bring_editor_forward()
        focus_losses = d.editor_focus_losses()
        results = [d.chord({"chrome": 1, "firefox": 1}) for _ in range(CHORDS_PER_LAYOUT)]
        exact = {browser: sum(1 for r in results if r[browser] == 1) for browser in d.browsers}
        rows.append((name, exact, results))
        with testcase.subTest(layout=name):
            testcase.assertEqual(exact, {browser: CHORDS_PER_LAYOUT for browser in d.browsers},
                                 f"loads per chord: {results}")
            testcase.assertEqual(d.env.focused(), d.editor_window.id, "the editor keeps the keyboard focus")
            testcase.assertEqual(d.editor_focus_losses(), focus_losses, "the editor never loses the focus")
        for window in d.browsers.values():
            d.env.activate(window)  # restores the minimised ones for the next layout
    print("\nreloads that came exactly once per chord:")
    for name, exact, _ in rows:
        print(f"  {name:40} Chromium {exact['chrome']}/{CHORDS_PER_LAYOUT}  Firefox {exact['firefox']}/{CHORDS_PER_LAYOUT}")


class RefreshInEveryLayout(unittest.TestCase):
    def test_each_ticked_browser_reloads_once_per_chord_and_the_editor_keeps_the_focus(self):
        play_layouts(self, scene, LAYOUTS)

    def test_look_alikes_and_the_editor_are_never_sent_a_key(self):
        scene.tick("chrome", "firefox")
        scene.bring_editor_forward()
        scene.chord({"chrome": 1, "firefox": 1})
        self.assertEqual(scene.synthetic_keys_received(), {"editor": [], "Code": [], "Chromium": []})


class OnlyTickedBrowsers(unittest.TestCase):
    def setUp(self):
        scene.env.place(scene.chrome, 0, 0, 760, 600)
        scene.env.place(scene.firefox, 800, 0, 760, 600)
        scene.bring_editor_forward()

    def tearDown(self):
        scene.tick("chrome", "firefox")

    def test_an_unticked_browser_is_never_refreshed(self):
        for ticked, expected in [
            (["chrome"], {"chrome": 1, "firefox": 0}),
            (["firefox"], {"chrome": 0, "firefox": 1}),
            (["ie", "opera"], {"chrome": 0, "firefox": 0}),
            ([], {"chrome": 0, "firefox": 0}),
        ]:
            with self.subTest(ticked=ticked):
                scene.tick(*ticked)
                self.assertEqual(scene.chord(expected), expected)

    def test_nothing_is_refreshed_while_automatic_refresh_is_off(self):
        scene.use(["chrome", "firefox"], automatic=False)
        self.assertEqual(scene.chord({"chrome": 0, "firefox": 0}), {"chrome": 0, "firefox": 0})

    def test_a_second_chord_while_chromium_is_held_active_is_delivered_after_the_first(self):
        scene.tick("chrome")
        before = scene.counts()
        quick = ["keydown", "ctrl", "sleep", "0.01", "keydown", "s", "sleep", "0.01", "keyup", "s", "sleep", "0.01",
                 "keyup", "ctrl", "sleep", "0.03"]
        scene.env.xdotool(*quick, *quick)
        harness.wait_until(lambda: scene.counts()["chrome"] - before["chrome"] >= 2,
                           "two reloads of Chromium", harness.EVENT_TIMEOUT)
        harness.time.sleep(harness.SETTLE_SECONDS)
        self.assertEqual(scene.counts()["chrome"] - before["chrome"], 2)
        self.assertEqual(scene.env.focused(), scene.editor_window.id)

    def test_chromium_activated_during_its_hold_still_takes_real_keys_afterwards(self):
        scene.tick("chrome")
        before = scene.counts()["chrome"]
        # The user saves and at once clicks over to Chromium, while it is still held active for its F5.
        scene.env.xdotool("keydown", "ctrl", "sleep", str(harness.HOLD), "keydown", "s", "sleep", str(harness.HOLD),
                          "keyup", "s", "sleep", str(harness.HOLD), "keyup", "ctrl", "windowactivate", "--sync",
                          str(scene.chrome.id))
        harness.wait_until(lambda: scene.env.focused() == scene.chrome.id, "Chromium focused", harness.EVENT_TIMEOUT)
        harness.time.sleep(0.5)  # the hold is long over
        for presses in (1, 2):
            scene.env.xdotool("key", "F5")  # a real F5, typed into Chromium
            harness.wait_until(lambda: scene.counts()["chrome"] - before >= 1 + presses,
                               f"Chromium to reload on real F5 number {presses}", harness.EVENT_TIMEOUT)
            harness.time.sleep(harness.SETTLE_SECONDS)
        self.assertEqual(scene.counts()["chrome"] - before, 3)

    def test_ctrl_alone_s_alone_and_another_key_between_refresh_nothing(self):
        for keys in (["ctrl"], ["s"], ["ctrl", "a", "s"]):
            with self.subTest(keys=keys):
                before = scene.counts()
                args = []
                for key in keys:
                    args += ["keydown", key, "sleep", str(harness.HOLD), "keyup", key, "sleep", str(harness.HOLD)]
                scene.env.xdotool(*args)
                harness.time.sleep(harness.SETTLE_SECONDS * 2)
                self.assertEqual(scene.counts(), before)


if __name__ == "__main__":
    unittest.main()
