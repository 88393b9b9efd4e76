#pragma once

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

// Brings another run's open message box, if any, to the front; false when
// none was found. Windows lets a process do so when the user has just started
// it, and finds only the windows of the caller's own desktop.
bool BringOpenDialogToFront();

}  // namespace orvanta
