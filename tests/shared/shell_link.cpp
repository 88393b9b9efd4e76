#include "shared/shell_link.h"

#include <windows.h>
#include <objbase.h>
#include <propkey.h>
#include <propsys.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <vector>

using Microsoft::WRL::ComPtr;

namespace orvanta::test {

std::optional<LinkFields> ReadLink(const std::wstring& path) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (FAILED(
          CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) ||
      FAILED(link.As(&file)) || FAILED(file->Load(path.c_str(), STGM_READ))) {
    return std::nullopt;
  }
  // The longest path the system takes, so no field is cut short.
  constexpr int kCapacity = 32768;
  LinkFields fields;
  std::vector<wchar_t> buffer(kCapacity, L'\0');
  link->GetPath(buffer.data(), kCapacity, nullptr, SLGP_RAWPATH);
  fields.target = buffer.data();
  buffer.assign(kCapacity, L'\0');
  link->GetWorkingDirectory(buffer.data(), kCapacity);
  fields.workingDirectory = buffer.data();
  buffer.assign(kCapacity, L'\0');
  link->GetIconLocation(buffer.data(), kCapacity, &fields.iconIndex);
  fields.iconPath = buffer.data();
  buffer.assign(kCapacity, L'\0');
  link->GetDescription(buffer.data(), kCapacity);
  fields.description = buffer.data();
  ComPtr<IPropertyStore> properties;
  PROPVARIANT id;
  PropVariantInit(&id);
  if (SUCCEEDED(link.As(&properties)) &&
      SUCCEEDED(properties->GetValue(PKEY_AppUserModel_ID, &id)) && id.vt == VT_LPWSTR) {
    fields.appUserModelId = id.pwszVal;
  }
  PropVariantClear(&id);
  return fields;
}

}  // namespace orvanta::test
