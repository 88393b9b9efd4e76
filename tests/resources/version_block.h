#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// The tree of a version resource (VS_VERSIONINFO) as it is stored: each block
// is a length, a value length, a type, a UTF-16 key and a value, followed by
// its child blocks, every part aligned to 32 bits.
namespace orvanta::resources_test {

struct VersionBlock {
  std::u16string key;
  bool isText = false;         // wType 1: the value is UTF-16 text
  std::vector<uint8_t> value;  // as stored; text without its terminating NULs
  std::vector<VersionBlock> children;

  // The child with this key, or null.
  const VersionBlock* Child(const std::u16string& childKey) const;
};

class VersionBlockError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the block that starts at data[0] and whose length is its first word.
// Throws VersionBlockError when a length points outside the data.
VersionBlock ParseVersionBlock(const uint8_t* data, size_t size);

}  // namespace orvanta::resources_test
