#include "resources/version_block.h"

namespace orvanta::resources_test {
namespace {

size_t Align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

uint16_t Word(const uint8_t* data, size_t size, size_t offset) {
  if (offset + 2 > size) throw VersionBlockError("version block cut short");
  return static_cast<uint16_t>(data[offset] | (data[offset + 1] << 8));
}

// Offsets are from the start of the resource, which is itself 32-bit aligned.
VersionBlock ParseAt(const uint8_t* data, size_t size, size_t start) {
  const size_t length = Word(data, size, start);
  const size_t valueLength = Word(data, size, start + 2);
  const uint16_t type = Word(data, size, start + 4);
  const size_t end = start + length;
  if (length < 6 || end > size) throw VersionBlockError("version block length out of range");

  VersionBlock block;
  block.isText = type == 1;
  size_t pos = start + 6;
  for (;;) {
    if (pos + 2 > end) throw VersionBlockError("unterminated version block key");
    const char16_t c = static_cast<char16_t>(Word(data, size, pos));
    pos += 2;
    if (c == u'\0') break;
    block.key += c;
  }
  pos = Align4(pos);
  // A text value's length counts UTF-16 units, a binary value's counts bytes.
  const size_t valueBytes = block.isText ? valueLength * 2 : valueLength;
  if (pos + valueBytes > end) throw VersionBlockError("version block value out of range");
  block.value.assign(data + pos, data + pos + valueBytes);
  if (block.isText) {
    while (block.value.size() >= 2 && block.value[block.value.size() - 1] == 0 &&
           block.value[block.value.size() - 2] == 0) {
      block.value.resize(block.value.size() - 2);
    }
  }
  pos = Align4(pos + valueBytes);
  while (pos < end) {
    VersionBlock child = ParseAt(data, size, pos);
    pos = Align4(pos + Word(data, size, pos));
    block.children.push_back(std::move(child));
  }
  return block;
}

}  // namespace

const VersionBlock* VersionBlock::Child(const std::u16string& childKey) const {
  for (const VersionBlock& child : children) {
    if (child.key == childKey) return &child;
  }
  return nullptr;
}

VersionBlock ParseVersionBlock(const uint8_t* data, size_t size) { return ParseAt(data, size, 0); }

}  // namespace orvanta::resources_test
