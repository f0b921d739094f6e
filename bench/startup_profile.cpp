// startup_profile: the program's own start-up, step by step, with the time each step takes.
//
// It runs the same code in the same order as wWinMain in src/app/win_main.cpp, from the same libraries and
// with the same resources and manifest, and reads the clock between the steps. It then closes its window and
// leaves, so it can be started many times in a row. It holds the program's single-instance mutex like the
// program does, so it must not run beside VaskF5.exe.
//
//   startup_profile.exe [--split]
//
// Output: the lines of startup_steps.h, one per step.
//
// --split first pays, each as a step of its own, for what the window system sets up on first use: the first
// shown window (the display connection), the common controls, the fonts the form uses and the WIC imaging
// factory; then it decodes the form's pictures once, the 96-dpi set and the double-size set apart, to show
// what each set costs. The program's own steps that follow then show what is left of their cost (the form
// host still decodes both sets itself).

#include <windows.h>
// After windows.h, whose types they use.
#include <commctrl.h>
#include <objbase.h>
#include <wincodec.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "platform/win32/form_host.h"
#include "platform/win32/keyboard_watch.h"
#include "platform/win32/monitors.h"
#include "platform/win32/process_services.h"
#include "platform/win32/registry_store.h"
#include "platform/win32/timers.h"
#include "platform/win32/user32_desktop.h"
#include "platform/win32/window_manager.h"
#include "startup_steps.h"
#include "ui/layout.h"
#include "ui/main_window.h"

namespace {

// A window shown and destroyed at once, off screen: what any program pays for its first window.
void firstWindow() {
  support::registerClass(L"VaskBenchWarmUp", DefWindowProcW);
  HWND hwnd = support::makeWindow(L"VaskBenchWarmUp", L"",
                                  {.exStyle = WS_EX_TOOLWINDOW,
                                   .style = WS_POPUP,
                                   .x = -200,
                                   .y = -200,
                                   .width = 16,
                                   .height = 16,
                                   .show = SW_SHOWNOACTIVATE});
  DestroyWindow(hwnd);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// The form's typeface in its sizes, measured on a screen DC the way the form host measures its labels.
void fonts() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  HFONT system = CreateFontIndirectW(&metrics.lfMessageFont);
  HDC dc = GetDC(nullptr);
  const std::wstring caption = L"\u81ea\u52a8\u5237\u65b0 Chrome";
  for (int points : {9, 10, 14}) {
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(points, 96, 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = GB2312_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    std::wstring(L"\u5fae\u8f6f\u96c5\u9ed1").copy(lf.lfFaceName, LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    RECT measured{0, 0, 0, 0};
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measured, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    DeleteObject(font);
  }
  ReleaseDC(nullptr, dc);
  DeleteObject(system);
}

IWICImagingFactory* imagingFactory() {
  IWICImagingFactory* factory = nullptr;
  if (FAILED(
          CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))) {
    return nullptr;
  }
  return factory;
}

// Pictures from the program's resources decoded the way its form host decodes them, to 32-bit premultiplied
// BGRA.
void decode(IWICImagingFactory* factory, HINSTANCE instance, std::initializer_list<const wchar_t*> names) {
  for (const wchar_t* name : names) {
    HRSRC found = FindResourceW(instance, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!found || !factory) continue;
    auto* bytes = static_cast<BYTE*>(LockResource(LoadResource(instance, found)));
    const DWORD size = SizeofResource(instance, found);
    IWICStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    UINT width = 0, height = 0;
    if (SUCCEEDED(factory->CreateStream(&stream)) && SUCCEEDED(stream->InitializeFromMemory(bytes, size)) &&
        SUCCEEDED(
            factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                        nullptr, 0.0, WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(converter->GetSize(&width, &height))) {
      std::vector<BYTE> pixels(static_cast<size_t>(width) * height * 4);
      converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data());
    }
    if (converter) converter->Release();
    if (frame) frame->Release();
    if (decoder) decoder->Release();
    if (stream) stream->Release();
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  bench::Steps steps;
  win32::ProcessServices process;
  if (process.anotherCopyRuns()) {
    bench::out("error VaskF5 is running; the profile needs its single-instance mutex\n");
    return 1;
  }
  steps.done("single-instance-mutex");

  const win32::ComApartment com;
  steps.done("CoInitializeEx");

  if (commandLine && std::wstring(commandLine).find(L"--split") != std::wstring::npos) {
    firstWindow();
    steps.done("warm:first-window");
    INITCOMMONCONTROLSEX common{sizeof(common), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);
    steps.done("warm:InitCommonControlsEx");
    fonts();
    steps.done("warm:fonts");
    IWICImagingFactory* factory = imagingFactory();
    steps.done("warm:WIC-factory");
    decode(factory, instance, {L"SKIN", L"TICK", L"AUTOTICK", L"SETTING"});
    steps.done("decode:pictures-1x");
    decode(factory, instance, {L"SKIN_2X", L"TICK_2X", L"AUTOTICK_2X", L"SETTING_2X"});
    steps.done("decode:pictures-2x");
    if (factory) factory->Release();
  }

  win32::WindowManager windowManager;
  win32::User32Desktop desktop(windowManager);
  win32::WindowTimers timers;
  win32::RegistryStore settings;
  win32::RawKeyboardWatch keyboard;
  platform::Platform platform{desktop, keyboard, timers, settings, process};
  ui::Main main(platform);
  main.placeWindow(win32::monitors());
  steps.done("form-model");

  win32::FormHost host(instance, main.form(), ui::kHostOptions);
  steps.done("FormHost-constructor");
  if (!host.create()) return 1;
  steps.done("FormHost-create");
  host.onClosed = [&main] { main.windowClosed(); };
  process.owner = host.hwnd();
  main.start();
  steps.done("start");
  host.show();
  steps.done("show-and-first-paint");
  // Whatever else the first showing queued (child windows' paints, activation) until the queue is empty.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  steps.done("queued-messages");
  process.quit();
  return host.run();
}
