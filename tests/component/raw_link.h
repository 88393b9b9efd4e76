#pragma once

#include <string>
#include <string_view>

// Shell links with a target text of the test's choosing. The shell-link
// object normalises what SetPath is given, so a link that stores '/'
// separators, "..", doubled separators or an unexpanded variable has to be
// written byte by byte: a header and a link-info block with a local base path.
namespace orvanta::test {

// The stored target is ASCII, as the link-info block holds it in the ANSI code page.
void WriteRawLink(const std::wstring& file, std::string_view storedTarget);

}  // namespace orvanta::test
