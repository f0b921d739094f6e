#!/usr/bin/env python3
"""Fails when a source under src/ includes a header against the layers' arrows, or uses a name it must not: app -> ui -> refresh, settings,
appearance -> platform; the form model sits on the platform interface; a host implements both and only app
chooses it. Window-system headers belong to the hosts and to app."""
import pathlib
import re
import sys

SRC = pathlib.Path(__file__).resolve().parent.parent / "src"

HOSTS = {"platform/win32", "platform/gtk", "platform/x11"}
# Each layer, named by its folder, and the layers it may include besides itself.
MAY_INCLUDE = {
    "platform": set(),
    "platform/form": {"platform"},
    "refresh": {"platform"},
    "settings": {"platform"},
    "appearance": {"platform"},
    "ui": {"platform", "platform/form", "refresh", "settings", "appearance"},
    **{host: {"platform", "platform/form"} for host in HOSTS},
    # The Linux program's window (GTK) reads keys by the same X key table as its engine.
    "platform/gtk": {"platform", "platform/form", "platform/x11"},
    "app": {"platform", "platform/form", "refresh", "settings", "appearance", "ui", *HOSTS},
}
# Window-system headers, by the start of their name, and the layers that may include them.
SYSTEM_HEADERS = {
    ("windows.h", "windowsx.h", "commctrl.h", "wincodec.h", "objbase.h", "shellapi.h"): {"platform/win32", "app"},
    ("gtk/", "gdk/", "glib", "X11/"): {"platform/gtk", "platform/x11", "app"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# Names that belong to the Win32 layer alone, and names of a form designer's or a BASIC runtime's that no
# code of ours uses: the portable code speaks of windows, keys and timers in its own terms.
WIN32_ONLY = re.compile(r"\b(Hwnd|HWND|GetAsyncKeyState|SetTimer|KillTimer)\b")
NOWHERE = re.compile(r"_Click\b|_MouseDown\b|\bForm_Load\b|\bLabel[0-9]\b|\bFrame1\b|\bList1\b|\bMsgBox\b"
                     r"|\bPrevInstance\b|\bModMain\b")


def layer_of(path):
    """The layer of a path relative to src/, the longest folder that names one."""
    parts = pathlib.PurePosixPath(path).parts[:-1]
    for length in range(len(parts), 0, -1):
        folder = "/".join(parts[:length])
        if folder in MAY_INCLUDE:
            return folder
    return None


def problems():
    for file in sorted(SRC.rglob("*")):
        if file.suffix not in (".h", ".cpp"):
            continue
        relative = file.relative_to(SRC).as_posix()
        layer = layer_of(relative)
        for number, line in enumerate(file.read_text(encoding="utf-8").splitlines(), 1):
            for pattern in (NOWHERE, *([WIN32_ONLY] if layer not in ("platform/win32", "app") else [])):
                if found := pattern.search(line):
                    yield f"src/{relative}:{number}: {found.group(0)} in {layer}"
            match = INCLUDE.match(line)
            if not match:
                continue
            quote, header = match.groups()
            where = f"src/{relative}:{number}"
            if quote == "<":
                for names, allowed in SYSTEM_HEADERS.items():
                    if header.startswith(names) and layer not in allowed:
                        yield f"{where}: {layer} includes <{header}>, which only {', '.join(sorted(allowed))} may"
                continue
            target = layer_of(header)
            if target is None:
                yield f"{where}: {header} is in no layer"
            elif target != layer and target not in MAY_INCLUDE.get(layer, set()):
                yield f"{where}: {layer} includes {header} ({target}), against the arrows"


def main():
    found = list(problems())
    for problem in found:
        print(problem)
    print(f"include arrows: {len(found)} problem(s)")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
