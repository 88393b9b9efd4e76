#include <array>
#include <cstring>

#include "resources/resource_fixture.h"

namespace orvanta::resources_test {
namespace {

class IconGroup : public SetupProgramResources {};

constexpr WORD kIconGroupId = 201;
constexpr std::array<int, 9> kSizes = {16, 20, 24, 32, 40, 48, 64, 128, 256};
constexpr size_t kGroupHeaderSize = 6;  // reserved, type, count
constexpr size_t kGroupEntrySize = 14;  // GRPICONDIRENTRY, packed

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return Le16(b, at) | (static_cast<uint32_t>(Le16(b, at + 2)) << 16);
}
uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return (static_cast<uint32_t>(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

// One GRPICONDIRENTRY of the group resource.
struct GroupEntry {
  int width, height, colours, reserved, planes, bitCount;
  uint32_t bytes;
  int id;
};

GroupEntry EntryAt(const std::vector<uint8_t>& group, size_t index) {
  const size_t at = kGroupHeaderSize + kGroupEntrySize * index;
  return {group[at],           group[at + 1],       group[at + 2],       group[at + 3],
          Le16(group, at + 4), Le16(group, at + 6), Le32(group, at + 8), Le16(group, at + 12)};
}

TEST_F(IconGroup, ListsNine32BitImagesInAscendingSizeWithIds1To9) {
  const auto group = ResourceBytes(module(), RT_GROUP_ICON, kIconGroupId);
  ASSERT_TRUE(group.has_value());
  ASSERT_EQ(group->size(), kGroupHeaderSize + kGroupEntrySize * kSizes.size());
  EXPECT_EQ(Le16(*group, 0), 0);  // reserved
  EXPECT_EQ(Le16(*group, 2), 1);  // 1: icons, not cursors
  ASSERT_EQ(Le16(*group, 4), kSizes.size());
  for (size_t i = 0; i < kSizes.size(); ++i) {
    SCOPED_TRACE("entry " + std::to_string(i) + ", " + std::to_string(kSizes[i]) + " pixels");
    const GroupEntry entry = EntryAt(*group, i);
    const int written = kSizes[i] == 256 ? 0 : kSizes[i];  // a byte: 0 stands for 256
    EXPECT_EQ(entry.width, written);
    EXPECT_EQ(entry.height, written);
    EXPECT_EQ(entry.colours, 0);
    EXPECT_EQ(entry.reserved, 0);
    EXPECT_EQ(entry.planes, 1);
    EXPECT_EQ(entry.bitCount, 32);
    EXPECT_EQ(entry.id, static_cast<int>(i) + 1);
  }
}

TEST_F(IconGroup, EachImageIsAnRgbaPngOfItsListedSizeAndLength) {
  const auto group = ResourceBytes(module(), RT_GROUP_ICON, kIconGroupId);
  ASSERT_TRUE(group.has_value());
  ASSERT_EQ(group->size(), kGroupHeaderSize + kGroupEntrySize * kSizes.size());
  static constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (size_t i = 0; i < kSizes.size(); ++i) {
    SCOPED_TRACE("icon " + std::to_string(i + 1) + ", " + std::to_string(kSizes[i]) + " pixels");
    const GroupEntry entry = EntryAt(*group, i);
    const auto image = ResourceBytes(module(), RT_ICON, static_cast<WORD>(i + 1));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), entry.bytes);
    // Signature, then the IHDR chunk: length 13, type, width, height, depth, colour type.
    ASSERT_GE(image->size(), 8u + 8u + 13u);
    EXPECT_EQ(std::memcmp(image->data(), kPngSignature, sizeof kPngSignature), 0);
    EXPECT_EQ(Be32(*image, 8), 13u);
    EXPECT_EQ(std::memcmp(image->data() + 12, "IHDR", 4), 0);
    EXPECT_EQ(Be32(*image, 16), static_cast<uint32_t>(kSizes[i]));
    EXPECT_EQ(Be32(*image, 20), static_cast<uint32_t>(kSizes[i]));
    EXPECT_EQ((*image)[24], 8) << "bit depth per channel";
    EXPECT_EQ((*image)[25], 6) << "colour type 6 is RGBA: 32 bits per pixel";
  }
}

}  // namespace
}  // namespace orvanta::resources_test
