#include "base/errors.h"

// Apart from the rest of the error code, which needs Windows, so that the
// pure logic that raises it builds on its own (the native fuzzers).
namespace orvanta {

void ThrowSetupError(Sentence text) { throw SetupError(text); }

}  // namespace orvanta
