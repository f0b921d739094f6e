// VaskF5.exe: builds the Win32 platform, creates the main window and runs it.
#include <windows.h>

#include "platform/win32/form_host.h"
#include "platform/win32/process_services.h"
#include "platform/win32/registry_store.h"
#include "platform/win32/window_manager.h"
#include "ui/layout.h"
#include "ui/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  win32::ProcessServices process;
  // A second copy leaves before it has created a single window; the first is left alone.
  if (process.PrevInstance()) return 0;

  const win32::ComApartment com;

  win32::WindowManager windowManager;
  win32::RegistryStore settings;
  platform::Platform platform{windowManager, settings, process};
  ui::Main main(platform);

  int exitCode = 1;
  {
    win32::FormHost host(instance, main.form(), ui::kHostOptions);
    if (host.create()) {
      host.onUnload = [&main] { main.Form_Unload(); };
      process.owner = host.hwnd();
      main.Form_Load();
      host.show();
      exitCode = host.run();
    }
  }
  return exitCode;
}
