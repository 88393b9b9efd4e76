#pragma once

#include <gtest/gtest.h>

#include <string>

#include "resources/setup_image.h"

namespace orvanta::resources_test {

// The version that the top CMakeLists.txt gives the project; the version
// record and the manifest must carry it.
inline constexpr WORD kVersion[4] = {ORVANTA_VERSION_MAJOR, ORVANTA_VERSION_MINOR,
                                     ORVANTA_VERSION_PATCH, ORVANTA_VERSION_TWEAK};
// "0.3.15.0" with all four parts, or "0.3.15" with three.
std::wstring VersionText(int parts);

// Each test maps the built setup program afresh and unmaps it afterwards.
class SetupProgramResources : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(image_.module(), nullptr)
        << "cannot map the setup program as a data file, error " << image_.loadError();
  }
  HMODULE module() const { return image_.module(); }

 private:
  DataFileModule image_{TestInputs().setupProgram};
};

}  // namespace orvanta::resources_test
