// The public header compiles as C and links against the library from C.
#include <gtest/gtest.h>

extern "C" int ijenc_c_header_check(void);

namespace {

TEST(CHeader, UsableFromC) {
  EXPECT_EQ(1, ijenc_c_header_check());
}

} // namespace
