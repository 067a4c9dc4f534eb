#include <gtest/gtest.h>

#include "pdfsecurity/Gantry.h"
#include "platform/library.h"

TEST(GantryExport, LoadedByNameAndAnswers) {
  const auto lib = zv::platform::SharedLibrary::Open(ZV_GANTRY_PATH);
  ASSERT_TRUE(lib) << lib.error();
  auto check = lib.Symbol<SecurityCheckPDFFunc>(GANTRY_SECURITY_CHECK_NAME);
  ASSERT_NE(check, nullptr);
  const std::string corpus = std::string(ZV_CORPUS_DIR) + "/";
  EXPECT_EQ(check((corpus + "object-stream.pdf").c_str()), GANTRY_NO_SECURITY);
  EXPECT_EQ(check((corpus + "c-r6-in.pdf").c_str()), GANTRY_PASSWORD_NEEDED);
  EXPECT_EQ(check((corpus + "enc-R3,V2,O=master.pdf").c_str()), GANTRY_PRINT_DENIED);
  EXPECT_EQ(check((corpus + "bad1.pdf").c_str()), GANTRY_E_DAMAGED);
  EXPECT_EQ(check((corpus + "absent.pdf").c_str()), GANTRY_E_MISSING);
  EXPECT_EQ(check(nullptr), GANTRY_E_OTHER);
}
