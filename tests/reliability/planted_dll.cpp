// A DLL that, once loaded into a process, leaves a file beside itself named
// after itself with ".loaded" appended, holding the path it was loaded from.
// It uses nothing but kernel32, so that it loads whatever name it is given.
#include <windows.h>

extern "C" BOOL WINAPI PlantedDllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH + 16];
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  lstrcatW(path, L".loaded");
  HANDLE report =
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (report == INVALID_HANDLE_VALUE) return TRUE;
  DWORD written = 0;
  WriteFile(report, path, length * sizeof(wchar_t), &written, nullptr);
  CloseHandle(report);
  return TRUE;
}
