// A small stand-in for the Orvanta application, built when no real
// application binary is given. Like the real one it gives its process the
// AppUserModelID "Orvanta.Native"; its window shows the working directory it
// was started in, which is what a setup program's test can check.
#include <windows.h>
#include <shobjidl.h>

#include <string>

namespace {

constexpr wchar_t kClassName[] = L"OrvantaStandInWindow";
constexpr int kDirectoryLabelId = 100;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring CurrentDirectory() {
  std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
  directory.resize(GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data()));
  return directory;
}

HWND CreateMainWindow(HINSTANCE instance) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClassName;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassW(&windowClass);
  HWND window =
      CreateWindowExW(0, kClassName, L"Orvanta 演示计时器", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, 420, 140, nullptr, nullptr, instance, nullptr);
  CreateWindowExW(0, L"STATIC", CurrentDirectory().c_str(), WS_CHILD | WS_VISIBLE, 12, 12, 380, 40,
                  window, reinterpret_cast<HMENU>(kDirectoryLabelId), instance, nullptr);
  return window;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  SetCurrentProcessExplicitAppUserModelID(L"Orvanta.Native");
  HWND window = CreateMainWindow(instance);
  ShowWindow(window, show);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
