#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The three message boxes of a run. None has an owner window.
namespace orvanta {

inline constexpr wchar_t kSetupTitle[] = L"Orvanta 安装";
inline constexpr wchar_t kCompletionTitle[] = L"Orvanta";
inline constexpr wchar_t kFailureTitle[] = L"Orvanta 安装失败";
inline constexpr wchar_t kCompletionText[] = L"安装完成。立即启动 Orvanta？";

// The mode line, the target directory and the closing note.
std::wstring ConfirmationText(bool remove, std::wstring_view targetDir);

// Asks before anything changes; true only when the user pressed OK.
bool ConfirmWithUser(bool remove, const std::wstring& targetDir);

// Asks whether to start the installed application; true on Yes.
bool AskToStartApplication();

// Shows an error's narrow text.
void ShowFailure(std::string_view text);

// Another process's open message box with the title of one of ours, null
// when there is none. Only the windows of the caller's own desktop are found.
HWND FindOtherRunsDialog() noexcept;

}  // namespace orvanta
