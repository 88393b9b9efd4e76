#pragma once

#include <string>

#include "base/errors.h"

namespace orvanta {

// The sentences raised when staging fails and when writing or replacing fails.
struct ReplaceFailures {
  Sentence stage;
  Sentence replace;
};

// The name a replacement is written under before it is renamed into place.
std::wstring StagedPath(const std::wstring& destination);

// Replaces the destination's content as a whole: writes a staged file (the
// destination with ".new" appended) in one write, forces it to disk and moves
// it over the destination with one replacing rename. Until the rename, an
// existing destination stays as it was; on failure the staged file is deleted.
// The rename and that deletion wait out, for about two seconds in all, a
// file that another program holds open for a moment; a read-only file or a
// directory at the destination fails the rename at once.
void ReplaceFileContents(const std::wstring& destination, const void* data, unsigned long size,
                         const ReplaceFailures& failures);

}  // namespace orvanta
