#include "install/deploy.h"

#include <windows.h>

#include "base/durable_file.h"
#include "base/errors.h"

namespace orvanta {

void DeployResource(std::uint16_t resourceId, const std::wstring& destination) {
  const HMODULE module = GetModuleHandleW(nullptr);
  const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
  if (resource == nullptr) ThrowSetupError("Missing embedded payload");

  const DWORD size = SizeofResource(module, resource);
  // The payload is written straight from the loaded image, never copied.
  const void* data = LockResource(LoadResource(module, resource));
  if (data == nullptr && size != 0) ThrowSetupError("Missing embedded payload");

  constexpr Sentence kReplaceFailure = "Cannot install file; close Orvanta before updating";
  ReplaceFileContents(destination, data, size, {"Cannot stage file", kReplaceFailure});
}

}  // namespace orvanta
