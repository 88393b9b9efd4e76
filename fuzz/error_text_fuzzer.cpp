#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/error_text.h"
#include "fuzz_input.h"

// The failure texts over raw bytes. The input is one system message, or up
// to three texts separated by 0xFF bytes for the operation, the message and
// the path, which also serve as the answers of the three message lookups.
namespace orvanta::fuzz {
namespace {

bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; }

void CheckTrim(const std::string& text) {
  const std::string trimmed = TrimSystemMessage(text);
  Require(text.starts_with(trimmed), "trimming only cuts a suffix", text);
  Require(trimmed.empty() || !IsTrimmed(trimmed.back()), "nothing blank is left at the end", text);
  for (std::size_t i = trimmed.size(); i < text.size(); ++i) {
    Require(IsTrimmed(text[i]), "only blanks are cut", text);
  }
}

void CheckFilesystemText(const std::string& op, const std::string& message,
                         const std::string& path) {
  const std::string text = FilesystemErrorText(op, message, path);
  std::string_view rest = text;
  const auto take = [&rest](std::string_view part) {
    if (!rest.starts_with(part)) return false;
    rest.remove_prefix(part.size());
    return true;
  };
  const bool shaped = take(op) && take(": ") && take(message) && take(": \"") && take(path) &&
                      take("\"") && rest.empty();
  Require(shaped, "op: message: \"path\"", text);
}

void CheckFirstMessage(const std::vector<std::string>& answers) {
  const auto answer = [&answers](std::size_t i) {
    return i < answers.size() ? answers[i] : std::string();
  };
  std::vector<std::uint16_t> asked;
  const auto lookup = [&](std::uint16_t language) {
    asked.push_back(language);
    return answer(asked.size() - 1);
  };
  const std::string message = FirstSystemMessage(0x0804, lookup);
  std::size_t found = 0;
  while (found < 3 && answer(found).empty()) ++found;
  const std::uint16_t order[] = {0x0409, 0x0804, 0};
  Require(asked.size() == std::min<std::size_t>(found + 1, 3), "lookups stop at an answer",
          answers[0]);
  for (std::size_t i = 0; i < asked.size(); ++i) {
    Require(asked[i] == order[i], "US English, then the default language, then 0", answers[0]);
  }
  const std::string expected = found < 3 ? TrimSystemMessage(answer(found)) : std::string();
  Require(message == (expected.empty() ? std::string(kUnknownErrorText) : expected),
          "the first answer, trimmed, or \"unknown error\"", answers[0]);
}

}  // namespace
}  // namespace orvanta::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvanta::fuzz;
  const std::string input(reinterpret_cast<const char*>(data), size);
  CheckTrim(input);
  const auto parts = SplitAt<char>(input, '\xFF');
  for (const auto& part : parts) CheckTrim(part);
  const std::string none;
  CheckFilesystemText(parts[0], parts.size() > 1 ? parts[1] : none,
                      parts.size() > 2 ? parts[2] : none);
  CheckFirstMessage(parts);
  return 0;
}
