// Holds the prefix's desktop open for the whole benchmark. Without a GUI
// process alive, Wine closes its desktop shortly after each program and starts
// it again inside the next sample.
//
//   keepalive.exe SECONDS
#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
  const long seconds = std::wcstol(arguments, nullptr, 10);
  // Never shown: a window is what ties the process to the desktop.
  const HWND window =
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  SetTimer(window, 1, static_cast<UINT>(seconds > 0 ? seconds : 3600) * 1000, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER) break;
    DispatchMessageW(&message);
  }
  DestroyWindow(window);
  return 0;
}
