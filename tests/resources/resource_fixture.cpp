#include "resources/resource_fixture.h"

namespace orvanta::resources_test {

std::wstring VersionText(int parts) {
  std::wstring text;
  for (int i = 0; i < parts; ++i) {
    if (i > 0) text += L'.';
    text += std::to_wstring(kVersion[i]);
  }
  return text;
}

}  // namespace orvanta::resources_test
