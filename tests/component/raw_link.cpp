#include "component/raw_link.h"

#include <cstdint>
#include <string>

#include "component/fixture.h"

namespace orvanta::test {
namespace {

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::uint32_t kHasLinkInfo = 0x2;
constexpr std::uint32_t kIsUnicode = 0x80;
constexpr std::uint32_t kLinkInfoHeaderSize = 0x1C;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr std::uint32_t kVolumeIdSize = 0x11;
constexpr std::uint32_t kFixedDrive = 3;
constexpr std::uint32_t kShowNormal = 1;
// CLSID_ShellLink {00021401-0000-0000-C000-000000000046} as stored.
constexpr unsigned char kShellLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

void Put32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
}

std::string Header() {
  std::string out;
  Put32(out, kHeaderSize);
  out.append(reinterpret_cast<const char*>(kShellLinkClsid), sizeof(kShellLinkClsid));
  Put32(out, kHasLinkInfo | kIsUnicode);
  out.append(4 + 3 * 8 + 4 + 4, '\0');  // attributes, three times, size, icon index
  Put32(out, kShowNormal);
  out.append(2 + 2 + 4 + 4, '\0');  // hotkey and the reserved fields
  return out;
}

std::string LinkInfo(std::string_view target) {
  std::string volume;
  Put32(volume, kVolumeIdSize);
  Put32(volume, kFixedDrive);
  Put32(volume, 0);     // serial number
  Put32(volume, 0x10);  // label offset: the empty label right after
  volume.push_back('\0');

  const std::uint32_t basePathOffset = kLinkInfoHeaderSize + kVolumeIdSize;
  const std::uint32_t suffixOffset = basePathOffset + static_cast<std::uint32_t>(target.size()) + 1;
  std::string out;
  Put32(out, suffixOffset + 1);
  Put32(out, kLinkInfoHeaderSize);
  Put32(out, kVolumeIdAndLocalBasePath);
  Put32(out, kLinkInfoHeaderSize);
  Put32(out, basePathOffset);
  Put32(out, 0);  // no network part
  Put32(out, suffixOffset);
  out += volume;
  out += target;
  out.push_back('\0');
  out.push_back('\0');  // empty common path suffix
  return out;
}

}  // namespace

void WriteRawLink(const std::wstring& file, std::string_view storedTarget) {
  std::string bytes = Header() + LinkInfo(storedTarget);
  bytes.append(4, '\0');  // terminal block
  WriteBytes(file, bytes);
}

}  // namespace orvanta::test
