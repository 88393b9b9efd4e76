#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The bytes of a shell link that stores exactly this target text. The
// shell-link object normalises what SetPath is given, so a link that stores
// '/' separators, "..", doubled separators or an unexpanded variable has to
// be written byte by byte: a header and a link-info block with a volume id
// and a local base path. The target is ASCII: the block holds it in the ANSI
// code page.
namespace orvanta::test {

namespace raw_link_detail {
inline void Put32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
}
}  // namespace raw_link_detail

inline std::string RawLinkBytes(std::string_view storedTarget) {
  using raw_link_detail::Put32;
  constexpr std::uint32_t kHeaderSize = 0x4C;
  constexpr std::uint32_t kHasLinkInfo = 0x2;
  constexpr std::uint32_t kIsUnicode = 0x80;
  constexpr std::uint32_t kShowNormal = 1;
  constexpr std::uint32_t kInfoHeaderSize = 0x1C;
  constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
  constexpr std::uint32_t kVolumeIdSize = 0x11;
  constexpr std::uint32_t kFixedDrive = 3;
  constexpr std::uint32_t kEmptyLabelOffset = 0x10;
  // CLSID_ShellLink as stored on disk.
  constexpr char kClsid[] = "\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46";
  std::string out;
  Put32(out, kHeaderSize);
  out.append(kClsid, 16);
  Put32(out, kHasLinkInfo | kIsUnicode);
  out.append(4 + 3 * 8 + 4 + 4, '\0');  // attributes, three times, size, icon index
  Put32(out, kShowNormal);
  out.append(2 + 2 + 4 + 4, '\0');  // hotkey and reserved fields

  const std::uint32_t basePath = kInfoHeaderSize + kVolumeIdSize;
  const std::uint32_t suffix = basePath + static_cast<std::uint32_t>(storedTarget.size()) + 1;
  for (const std::uint32_t field :
       {suffix + 1, kInfoHeaderSize, kVolumeIdAndLocalBasePath, kInfoHeaderSize, basePath, 0u,
        suffix, kVolumeIdSize, kFixedDrive, 0u, kEmptyLabelOffset}) {
    Put32(out, field);
  }
  out.push_back('\0');  // the empty volume label
  out += storedTarget;
  out.append(2 + 4, '\0');  // end of the base path, empty common suffix, terminal block
  return out;
}

}  // namespace orvanta::test
