#include <windows.h>

#include "setup/sequence.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // A setup program is often started from a Downloads folder full of other
  // files: never load a DLL from the program's own directory.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  return orvanta::RunSetup();
}
