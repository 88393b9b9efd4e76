#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "install/marker_line.h"

// The marker test over raw file bytes: only the head decides, and it decides
// as reading the whole file in text mode and comparing the first line would.
namespace orvanta::fuzz {
namespace {

// Text-mode reading turns each CR LF into LF; a lone CR stays.
std::string TextModeRead(std::string_view bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  return text;
}

bool ReferenceIsMarker(std::string_view file) {
  const std::string text = TextModeRead(file);
  const std::string firstLine = text.substr(0, text.find('\n'));
  return firstLine == "Orvanta-Native installer v1";
}

}  // namespace
}  // namespace orvanta::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvanta::fuzz;
  const std::string file(reinterpret_cast<const char*>(data), size);
  const bool whole = orvanta::IsMarkerHead(file);
  const bool head = orvanta::IsMarkerHead(file.substr(0, orvanta::kMarkerHeadSize));
  Require(whole == head, "only the head decides", file);
  Require(head == ReferenceIsMarker(file), "the first line read in text mode decides", file);
  return 0;
}
