#include "util/Version.h"

#include <gtest/gtest.h>

namespace tolmi {

TEST(Version, NumberAndTextFromTheFourParts) {
  EXPECT_EQ(VersionNumber(), 2034361);
  EXPECT_EQ(VersionText(), "2.09.003");
  EXPECT_EQ(VersionText({2, 1, 5, 12}), "2.01.005");
}

}  // namespace tolmi
