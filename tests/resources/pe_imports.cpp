#include "resources/pe_imports.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "system_dlls.h"

namespace orvanta::resources_test {
namespace {

constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kImportDirectory = 1;
constexpr uint32_t kDelayImportDirectory = 13;
constexpr size_t kImportDescriptorSize = 20;
constexpr size_t kDelayDescriptorSize = 32;

class Image {
 public:
  explicit Image(const std::vector<uint8_t>& bytes) : bytes_(bytes) {
    if (U16(0) != 0x5A4D) throw PeError("no MZ header");
    const size_t pe = U32(0x3C);
    if (U32(pe) != 0x00004550) throw PeError("no PE signature");
    const size_t sectionCount = U16(pe + 6);
    const size_t optionalSize = U16(pe + 20);
    optional_ = pe + 24;
    if (U16(optional_) != kPe32PlusMagic) throw PeError("not a PE32+ image");
    directoryCount_ = U32(optional_ + 108);
    sections_ = optional_ + optionalSize;
    sectionCount_ = sectionCount;
  }

  uint16_t U16(size_t offset) const {
    Need(offset, 2);
    return static_cast<uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
  }
  uint32_t U32(size_t offset) const {
    return static_cast<uint32_t>(U16(offset)) | (static_cast<uint32_t>(U16(offset + 2)) << 16);
  }

  // The RVA and size of a data directory; {0, 0} when the image has none.
  std::pair<uint32_t, uint32_t> Directory(uint32_t index) const {
    if (index >= directoryCount_) return {0, 0};
    const size_t entry = optional_ + 112 + 8 * index;
    return {U32(entry), U32(entry + 4)};
  }

  size_t FileOffset(uint32_t rva) const {
    for (size_t i = 0; i < sectionCount_; ++i) {
      const size_t header = sections_ + 40 * i;
      const uint32_t virtualSize = U32(header + 8);
      const uint32_t virtualAddress = U32(header + 12);
      const uint32_t rawSize = U32(header + 16);
      const uint32_t rawPointer = U32(header + 20);
      const uint32_t span = std::max(virtualSize, rawSize);
      if (rva >= virtualAddress && rva - virtualAddress < span) {
        if (rva - virtualAddress >= rawSize) throw PeError("RVA outside the file's data");
        return rawPointer + (rva - virtualAddress);
      }
    }
    throw PeError("RVA in no section");
  }

  std::string String(uint32_t rva) const {
    size_t offset = FileOffset(rva);
    std::string s;
    for (;;) {
      Need(offset, 1);
      const char c = static_cast<char>(bytes_[offset++]);
      if (c == '\0') return s;
      s += c;
    }
  }

 private:
  void Need(size_t offset, size_t count) const {
    if (offset > bytes_.size() || bytes_.size() - offset < count) {
      throw PeError("read past the end of the file");
    }
  }

  const std::vector<uint8_t>& bytes_;
  size_t optional_ = 0;
  size_t directoryCount_ = 0;
  size_t sections_ = 0;
  size_t sectionCount_ = 0;
};

// Reads descriptors from the directory until the all-zero one; nameField is
// the offset of the DLL name's RVA inside a descriptor.
void ReadDescriptors(const Image& image, uint32_t directory, size_t descriptorSize,
                     size_t nameField, std::vector<std::string>& names) {
  const auto [rva, size] = image.Directory(directory);
  if (rva == 0) return;
  const size_t start = image.FileOffset(rva);
  for (size_t offset = start;; offset += descriptorSize) {
    bool allZero = true;
    for (size_t i = 0; i < descriptorSize; i += 4) allZero = allZero && image.U32(offset + i) == 0;
    if (allZero) return;
    names.push_back(image.String(image.U32(offset + nameField)));
  }
}

std::string Lower(std::string_view s) {
  std::string lower(s);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

}  // namespace

std::vector<std::string> ImportedDllNames(const std::vector<uint8_t>& bytes) {
  const Image image(bytes);
  std::vector<std::string> names;
  ReadDescriptors(image, kImportDirectory, kImportDescriptorSize, 12, names);
  ReadDescriptors(image, kDelayImportDirectory, kDelayDescriptorSize, 4, names);
  return names;
}

bool ShipsWithWindows(const std::string& dllName) {
  // The compiler's own run-time DLLs (libstdc++, libgcc, libwinpthread,
  // vcruntime) are not in the shared list.
  const std::string name = Lower(dllName);
  // The Universal CRT's API sets are part of Windows 10.
  if (name.starts_with("api-ms-win-crt-") && name.ends_with(".dll")) return true;
  return std::find(std::begin(test::kSystemDlls), std::end(test::kSystemDlls), name) !=
         std::end(test::kSystemDlls);
}

}  // namespace orvanta::resources_test
