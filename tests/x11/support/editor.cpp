// A small editor window for the tests: it takes the keyboard focus like any X11 program and, on Ctrl+S, saves
// a page file with the next version number, as an editor saves what the user typed. It reports on stdout, one
// line each, what it was sent:
//   created <window id>          when its window exists
//   ready <window id>            once its window is mapped
//   key <keysym> <0|1>           every key press, with 1 when the key was sent by a program (XSendEvent)
//   focus in|out                 real focus changes
//   saved <version> <ns>         a save, with the wall-clock time its key press arrived (CLOCK_REALTIME)
// Arguments: CLASS (WM_CLASS class, also the title), FILE (what Ctrl+S writes). It lies at 500,700, 600x200.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
  Display* display = XOpenDisplay(nullptr);
  if (argc != 3 || display == nullptr) return 1;  // see above; the tests wait for "created" in vain
  const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 500, 700, 600, 200, 0, 0,
                                            WhitePixel(display, DefaultScreen(display)));
  XSelectInput(display, window, KeyPressMask | FocusChangeMask | StructureNotifyMask);
  // The window manager takes the place from the window itself; the flags only say the user asked for it.
  XSizeHints size{};
  size.flags = USPosition | USSize;
  XClassHint classHint{const_cast<char*>("editor"), argv[1]};
  XTextProperty name{};
  XStringListToTextProperty(&argv[1], 1, &name);
  // Also sets WM_CLIENT_MACHINE to this host, as every toolkit does. No WM_HINTS: the window takes the focus.
  XSetWMProperties(display, window, &name, &name, argv, argc, &size, nullptr, &classHint);
  XFree(name.value);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("created %lu\n", window);
  XMapWindow(display, window);
  for (int version = 0;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == MapNotify) std::printf("ready %lu\n", window);
    const KeySym keysym = event.type == KeyPress ? XLookupKeysym(&event.xkey, 0) : NoSymbol;
    if (keysym != NoSymbol)
      std::printf("key %s %d\n", XKeysymToString(keysym), event.xkey.send_event ? 1 : 0);
    if (keysym == XK_s && (event.xkey.state & ControlMask) != 0) {
      const std::chrono::nanoseconds pressedAt = std::chrono::system_clock::now().time_since_epoch();
      // The version is what tells the page server's log a fresh load from a stale one. Written in place, as
      // most editors save.
      std::ofstream(argv[2], std::ios::trunc)
          << "<!doctype html><html><head><title>page " << ++version << "</title></head><body><p id=\"v\">"
          << version << "</p></body></html>\n";
      std::printf("saved %d %ld\n", version, pressedAt.count());
    }
    // Focus moving inside the window or to the pointer says nothing about who has the keyboard.
    if ((event.type == FocusIn || event.type == FocusOut) && event.xfocus.detail != NotifyPointer &&
        event.xfocus.detail != NotifyInferior)
      std::printf("focus %s\n", event.type == FocusIn ? "in" : "out");
  }
}
