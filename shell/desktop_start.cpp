#include "shell/desktop_start.h"

#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <memory>

using Microsoft::WRL::ComPtr;

namespace orvanta {
namespace {

struct BstrFreer {
  void operator()(BSTR text) const noexcept { SysFreeString(text); }
};
using BstrPtr = std::unique_ptr<OLECHAR, BstrFreer>;

// CLSID_ShellWindows of exdisp.h and SID_STopLevelBrowser of shlguid.h,
// spelled out as in install/location.cpp.
constexpr CLSID kShellWindows = {
    0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
constexpr GUID kTopLevelBrowser = {
    0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};

// The automation object of the desktop window's view, through which the
// shell itself carries out what it is asked.
ComPtr<IShellDispatch2> DesktopShell() noexcept {
  ComPtr<IShellWindows> windows;
  ComPtr<IDispatch> desktop;
  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background;
  ComPtr<IShellFolderViewDual> folderView;
  ComPtr<IDispatch> application;
  ComPtr<IShellDispatch2> shell;
  VARIANT location{};
  location.vt = VT_I4;
  location.lVal = CSIDL_DESKTOP;
  VARIANT none{};
  long window = 0;
  if (FAILED(
          CoCreateInstance(kShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&windows))) ||
      windows->FindWindowSW(&location, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop) !=
          S_OK ||
      FAILED(desktop.As(&services)) ||
      FAILED(services->QueryService(kTopLevelBrowser, IID_PPV_ARGS(&browser))) ||
      FAILED(browser->QueryActiveShellView(&view)) ||
      // The view's background answers for IDispatch, as documented, and
      // not always for the interface behind it.
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background))) ||
      FAILED(background.As(&folderView)) || FAILED(folderView->get_Application(&application)) ||
      FAILED(application.As(&shell))) {
    return nullptr;
  }
  return shell;
}

}  // namespace

bool StartAsDesktopUser(const std::wstring& program, const std::wstring& directory) noexcept {
  const ComPtr<IShellDispatch2> shell = DesktopShell();
  const BstrPtr file(SysAllocString(program.c_str()));
  const BstrPtr folder(SysAllocString(directory.c_str()));
  if (!shell || !file || !folder) return false;
  VARIANT none{};
  VARIANT workingDirectory{};
  workingDirectory.vt = VT_BSTR;
  workingDirectory.bstrVal = folder.get();
  VARIANT show{};
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return SUCCEEDED(shell->ShellExecute(file.get(), none, workingDirectory, none, show));
}

}  // namespace orvanta
