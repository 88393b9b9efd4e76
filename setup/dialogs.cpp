#include "setup/dialogs.h"

#include <windows.h>

#include "base/text.h"

namespace orvanta {

std::wstring ConfirmationText(bool remove, std::wstring_view targetDir) {
  std::wstring text = remove ? L"移除 Orvanta？\n" : L"安装 Orvanta 到：\n";
  text += targetDir;
  text += L"\n\n无需额外运行时。配置独立保存在当前用户目录。";
  return text;
}

bool ConfirmWithUser(bool remove, const std::wstring& targetDir) {
  const std::wstring text = ConfirmationText(remove, targetDir);
  return MessageBoxW(nullptr, text.c_str(), kSetupTitle, MB_OKCANCEL | MB_ICONINFORMATION) == IDOK;
}

bool AskToStartApplication() {
  return MessageBoxW(nullptr, kCompletionText, kCompletionTitle, MB_YESNO | MB_ICONINFORMATION) ==
         IDYES;
}

void ShowFailure(std::string_view text) {
  // ASCII stays as it is; other bytes are read in the code page that made the
  // path narrow, so a Chinese profile path reads correctly on a Chinese system.
  const std::wstring wide = WidenFileText(text);
  MessageBoxW(nullptr, wide.c_str(), kFailureTitle, MB_OK | MB_ICONERROR);
}

HWND FindOtherRunsDialog() noexcept {
  for (const wchar_t* title : {kSetupTitle, kCompletionTitle, kFailureTitle}) {
    // The class of a message box.
    for (HWND dialog = nullptr; (dialog = FindWindowExW(nullptr, dialog, L"#32770", title));) {
      DWORD process = 0;
      GetWindowThreadProcessId(dialog, &process);
      if (process != GetCurrentProcessId()) return dialog;
    }
  }
  return nullptr;
}

}  // namespace orvanta
