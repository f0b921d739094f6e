// A small editor window for the tests: it takes the keyboard focus like any X11 program and, on Ctrl+S,
// saves a page file with the next version number, as an editor saves what the user typed. It reports on
// stdout, one line each, what it was sent:
//   created <window id>          when its window exists
//   ready <window id>            once its window is mapped
//   key <keysym> <0|1>           every key press, with 1 when the key was sent by a program (XSendEvent)
//   focus in|out                 real focus changes
//   saved <version> <ns>         a save, with the wall-clock time its key press arrived (CLOCK_REALTIME)
// Options: --class NAME (WM_CLASS class, "VaskEditor" unless told), --title TEXT, --geometry WxH+X+Y,
// --save FILE (what Ctrl+S writes; without it Ctrl+S saves nothing).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

namespace {

struct Options {
  std::string windowClass = "VaskEditor";
  std::string title = "editor";
  std::string geometry = "400x200+0+0";
  std::string saveFile;
};

Options parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string_view name = argv[i];
    if (name == "--class") options.windowClass = argv[i + 1];
    if (name == "--title") options.title = argv[i + 1];
    if (name == "--geometry") options.geometry = argv[i + 1];
    if (name == "--save") options.saveFile = argv[i + 1];
  }
  return options;
}

long long wallClockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The page the tests' server hands out: the version is what tells a fresh load from a stale one. Written in
// place, as most editors save.
void writePage(const std::string& path, int version) {
  std::ofstream out(path, std::ios::trunc);
  out << "<!doctype html><html><head><title>page " << version << "</title></head><body><p id=\"v\">"
      << version << "</p></body></html>\n";
}

}  // namespace

int main(int argc, char** argv) {
  Options options = parse(argc, argv);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "editor: no X display\n");
    return 1;
  }
  int x = 0, y = 0;
  unsigned width = 400, height = 200;
  XParseGeometry(options.geometry.c_str(), &x, &y, &width, &height);
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, width, height, 0, 0,
                                      WhitePixel(display, DefaultScreen(display)));
  XSelectInput(display, window, KeyPressMask | KeyReleaseMask | FocusChangeMask | StructureNotifyMask);

  XSizeHints size{};
  size.flags = USPosition | USSize;
  size.x = x;
  size.y = y;
  size.width = static_cast<int>(width);
  size.height = static_cast<int>(height);
  XClassHint classHint{const_cast<char*>("editor"), const_cast<char*>(options.windowClass.c_str())};
  XWMHints hints{};
  hints.flags = InputHint | StateHint;
  hints.input = True;
  hints.initial_state = NormalState;
  XTextProperty name{};
  char* title = options.title.data();
  XStringListToTextProperty(&title, 1, &name);
  // Also sets WM_CLIENT_MACHINE to this host, as every toolkit does.
  XSetWMProperties(display, window, &name, &name, argv, argc, &size, &hints, &classHint);
  XFree(name.value);
  unsigned long pid = static_cast<unsigned long>(getpid());
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("created %lu\n", window);
  XMapWindow(display, window);

  int version = 0;
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    switch (event.type) {
      case MapNotify:
        std::printf("ready %lu\n", window);
        break;
      case KeyPress: {
        KeySym keysym = XLookupKeysym(&event.xkey, 0);
        const char* keyName = XKeysymToString(keysym);
        std::printf("key %s %d\n", keyName != nullptr ? keyName : "?", event.xkey.send_event ? 1 : 0);
        if (keysym == XK_s && (event.xkey.state & ControlMask) != 0 && !options.saveFile.empty()) {
          long long pressedAt = wallClockNs();
          writePage(options.saveFile, ++version);
          std::printf("saved %d %lld\n", version, pressedAt);
        }
        break;
      }
      case FocusIn:
      case FocusOut:
        // Focus moving inside the window or to the pointer says nothing about who has the keyboard.
        if (event.xfocus.detail != NotifyPointer && event.xfocus.detail != NotifyInferior) {
          std::printf("focus %s\n", event.type == FocusIn ? "in" : "out");
        }
        break;
      default:
        break;
    }
  }
}
