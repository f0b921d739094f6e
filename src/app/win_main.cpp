// VaskF5.exe: builds the Win32 platform, creates the main window and runs it.
#include <windows.h>

#include "platform/win32/form_host.h"
#include "platform/win32/keyboard_watch.h"
#include "platform/win32/monitors.h"
#include "platform/win32/process_services.h"
#include "platform/win32/registry_store.h"
#include "platform/win32/timers.h"
#include "platform/win32/user32_desktop.h"
#include "platform/win32/window_manager.h"
#include "ui/layout.h"
#include "ui/main_window.h"

namespace {
#ifdef VASK_POLLING_WATCHER
// The measuring baseline: the keys are polled as they are wherever raw input cannot be registered.
constexpr bool kPollOnly = true;
#else
constexpr bool kPollOnly = false;
#endif
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  win32::ProcessServices process;
  const win32::ComApartment com;
  win32::WindowManager windowManager;
  win32::User32Desktop desktop(windowManager);
  win32::WindowTimers timers;
  win32::RegistryStore settings;
  win32::RawKeyboardWatch keyboard(kPollOnly);
  platform::Platform platform{desktop, keyboard, timers, settings, process};
  ui::Main main(platform);
  main.placeWindow(win32::monitors());

  win32::FormHost host(instance, main.form(), ui::kHostOptions);
  if (!host.create()) return 1;
  host.onClosed = [&main] { main.windowClosed(); };
  process.owner = host.hwnd();
  main.start();
  // A second copy has quit in start(): it ends without ever showing its window.
  if (!process.quitting()) host.show();
  return host.run();
}
