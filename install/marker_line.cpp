#include "install/marker_line.h"

namespace orvanta {

bool IsMarkerHead(std::string_view head) noexcept {
  if (head.substr(0, kMarkerLine.size()) != kMarkerLine) return false;
  const std::string_view rest = head.substr(kMarkerLine.size());
  return rest.empty() || rest.front() == '\n' || rest.substr(0, 2) == "\r\n";
}

}  // namespace orvanta
