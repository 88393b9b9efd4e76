// The control: a program that keeps the default DLL search order and loads
// each DLL named on its command line by name, as a careless program would.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    HMODULE module = LoadLibraryW(argv[i]);
    wchar_t path[MAX_PATH] = {};
    if (module != nullptr) GetModuleFileNameW(module, path, MAX_PATH);
    std::wprintf(L"%ls -> %ls\n", argv[i], module != nullptr ? path : L"(not loaded)");
  }
  return 0;
}
