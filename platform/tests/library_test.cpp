#include "platform/library.h"

#include <gtest/gtest.h>

#include <utility>

namespace zv::platform {
namespace {

TEST(SharedLibrary, LoadsByAbsolutePathOrSonameAndSaysWhyNot) {
  const SharedLibrary relative = SharedLibrary::Open("lib/libm.so.6");
  EXPECT_FALSE(relative);
  EXPECT_NE(relative.error().find("not an absolute path"), std::string::npos) << relative.error();
  const SharedLibrary missing = SharedLibrary::Open("/no/such/folder/libThing.so");
  EXPECT_FALSE(missing);
  EXPECT_NE(missing.error().find("/no/such/folder/libThing.so"), std::string::npos) << missing.error();
  EXPECT_FALSE(SharedLibrary::OpenSystem("./libm.so.6"));

  SharedLibrary math = SharedLibrary::OpenSystem("libm.so.6");
  ASSERT_TRUE(math) << math.error();
  const auto cosine = math.Symbol<double (*)(double)>("cos");
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(math.Address("no_such_function_here"), nullptr);
  SharedLibrary moved = std::move(math);
  EXPECT_TRUE(moved);
  EXPECT_FALSE(math);  // NOLINT(bugprone-use-after-move): the moved-from object is empty
  EXPECT_FALSE(ModuleFolder(reinterpret_cast<const void*>(cosine)).empty());
}

}  // namespace
}  // namespace zv::platform
