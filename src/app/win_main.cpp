// VaskF5.exe: builds the Win32 platform, creates the main window and runs it.
#include <windows.h>

#include "platform/win32/form_host.h"
#include "platform/win32/keyboard_watch.h"
#include "platform/win32/monitors.h"
#include "platform/win32/process_services.h"
#include "platform/win32/registry_store.h"
#include "platform/win32/user32_desktop.h"
#include "platform/win32/window_manager.h"
#include "ui/layout.h"
#include "ui/main_window.h"

namespace {

#ifdef VASK_POLLING_WATCHER
// The measuring baseline: no key events are offered, so the watcher polls the key state on its timer, as it
// does wherever raw input cannot be registered.
class NoKeyEvents final : public platform::KeyboardWatch {
 public:
  bool startWatching(KeyHandler) override { return false; }
  void stopWatching() override {}
  bool isKeyDown(int virtualKey) override { return (::GetAsyncKeyState(virtualKey) & 0x8000) != 0; }
  std::int16_t GetAsyncKeyState(int virtualKey) override { return ::GetAsyncKeyState(virtualKey); }
  void onRawInput(LPARAM) {}
  HWND target = nullptr;
};
using KeyboardWatch = NoKeyEvents;
#else
using KeyboardWatch = win32::RawKeyboardWatch;
#endif

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  win32::ProcessServices process;
  // A second copy leaves before it has created a single window; the first is left alone.
  if (process.PrevInstance()) return 0;

  const win32::ComApartment com;

  win32::WindowManager windowManager;
  win32::User32Desktop desktop(windowManager);
  win32::RegistryStore settings;
  KeyboardWatch keyboard;
  platform::Platform platform{desktop, keyboard, windowManager, settings, process};
  ui::Main main(platform);
  main.placeWindow(win32::monitors());

  int exitCode = 1;
  {
    win32::FormHost host(instance, main.form(), ui::kHostOptions);
    if (host.create()) {
      host.onUnload = [&main] { main.Form_Unload(); };
      host.onRawInput = [&keyboard](LPARAM input) { keyboard.onRawInput(input); };
      host.onTimer = [&windowManager, &host](UINT_PTR id) { windowManager.onTimer(host.hwnd(), id); };
      process.owner = host.hwnd();
      keyboard.target = host.hwnd();
      main.Form_Load();
      host.show();
      exitCode = host.run();
    }
  }
  return exitCode;
}
