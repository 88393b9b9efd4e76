#include "reliability/outcome.h"

#include <gtest/gtest.h>

#include "e2e/harness.h"

namespace orvanta::reliability {
namespace {

// The harness starts the program its inputs name; this points them elsewhere
// for one run.
class ProgramOverride {
 public:
  explicit ProgramOverride(const std::wstring& program) : saved_(e2e::TestInputs()) {
    e2e::Inputs inputs = saved_;
    inputs.setupProgram = program;
    e2e::SetTestInputs(inputs);
  }
  ~ProgramOverride() { e2e::SetTestInputs(saved_); }
  ProgramOverride(const ProgramOverride&) = delete;
  ProgramOverride& operator=(const ProgramOverride&) = delete;

 private:
  e2e::Inputs saved_;
};

}  // namespace

std::string Narrow(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), narrow.data(), size,
                      nullptr, nullptr);
  return narrow;
}

Outcome RunConfirmed(const std::wstring& program, const std::vector<std::wstring>& arguments,
                     void (*inspect)(HWND confirmation)) {
  const ProgramOverride override(program);
  e2e::SetupRun run(arguments);
  Outcome outcome;
  auto dialog = run.NextDialog();
  if (dialog && dialog->title == L"Orvanta 安装") {
    outcome.confirmation = dialog->text;
    if (inspect != nullptr) inspect(dialog->window);
    dialog->Press(IDOK);
    dialog = run.NextDialog();
  }
  if (dialog && dialog->title == L"Orvanta 安装失败") {
    outcome.failure = dialog->text;
    dialog->Press(IDOK);
  } else if (dialog && dialog->title == L"Orvanta") {
    outcome.completion = true;
    dialog->Press(IDNO);
  } else if (dialog) {
    ADD_FAILURE() << "unexpected dialog: " << Narrow(dialog->title);
  }
  outcome.exitCode = run.ExitCode();
  return outcome;
}

std::string Describe(const Outcome& outcome) {
  std::string text = "exit code " + std::to_string(outcome.exitCode);
  if (outcome.completion) text += ", completion dialog";
  if (!outcome.failure.empty()) text += ", failure dialog \"" + Narrow(outcome.failure) + "\"";
  return text;
}

}  // namespace orvanta::reliability
