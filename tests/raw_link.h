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

inline std::string RawLinkBytes(std::string_view storedTarget) {
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
  const auto put32 = [&out](std::uint32_t value) {  // little-endian
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
  };
  put32(kHeaderSize);
  out.append(kClsid, 16);
  put32(kHasLinkInfo | kIsUnicode);
  out.append(4 + 3 * 8 + 4 + 4, '\0');  // attributes, three times, size, icon index
  put32(kShowNormal);
  out.append(2 + 2 + 4 + 4, '\0');  // hotkey and reserved fields

  const std::uint32_t basePath = kInfoHeaderSize + kVolumeIdSize;
  const std::uint32_t suffix = basePath + static_cast<std::uint32_t>(storedTarget.size()) + 1;
  for (const std::uint32_t field :
       {suffix + 1, kInfoHeaderSize, kVolumeIdAndLocalBasePath, kInfoHeaderSize, basePath, 0u,
        suffix, kVolumeIdSize, kFixedDrive, 0u, kEmptyLabelOffset}) {
    put32(field);
  }
  out.push_back('\0');  // the empty volume label
  out += storedTarget;
  out.append(2 + 4, '\0');  // end of the base path, empty common suffix, terminal block
  return out;
}

}  // namespace orvanta::test
