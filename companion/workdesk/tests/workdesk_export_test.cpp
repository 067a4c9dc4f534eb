// The shared objects as the monitor loads them: from one folder, by name.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/library.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "workdesk/Pinfold.h"
#include "workdesk/Tarnwick.h"

using namespace zv;

namespace {

const std::string kCorpus = std::string(ZV_CORPUS_DIR) + "/";

// A 2x2 24-bit BMP.
std::string TinyBmp() {
  std::string b;
  auto u16 = [&](std::uint16_t v) {
    b.push_back(char(v & 0xff));
    b.push_back(char(v >> 8));
  };
  auto u32 = [&](std::uint32_t v) {
    u16(std::uint16_t(v & 0xffff));
    u16(std::uint16_t(v >> 16));
  };
  const std::uint32_t rowBytes = 8, pixels = rowBytes * 2;
  b += "BM";
  u32(54 + pixels);
  u32(0);
  u32(54);
  u32(40);
  u32(2);
  u32(2);
  u16(1);
  u16(24);
  u32(0);
  u32(pixels);
  u32(2835);
  u32(2835);
  u32(0);
  u32(0);
  for (int row = 0; row < 2; ++row) b += std::string("\x00\x00\xff\xff\xff\xff\x00\x00", rowBytes);
  return b;
}

struct Library {
  platform::SharedLibrary handle;
  explicit Library(const std::string& path) : handle(platform::SharedLibrary::Open(path)) {}
  template <typename F>
  F Get(const char* name) {
    return handle.Symbol<F>(name);
  }
};

struct WorkDeskExports : ::testing::Test {
  zv::testing::TempDir dir;
  std::string viewer = dir.path();
  void SetUp() override {
    for (auto [from, name] : {std::pair{ZV_PINFOLD_PATH, "libPinfold.so"}, std::pair{ZV_PIXMOOR_PATH, "libPixmoor.so"},
                              std::pair{ZV_TARNWICK_PATH, "libTarnwick.so"}})
      ASSERT_EQ(symlink(from, (viewer + "/" + name).c_str()), 0);
  }
};

}  // namespace

TEST_F(WorkDeskExports, ImportsPdfsAndImagesAndReportsBusy) {
  Library lib(viewer + "/libPinfold.so");
  ASSERT_TRUE(lib.handle) << lib.handle.error();
  auto import = lib.Get<WorkDesk_ImportFileFunc>(PINFOLD_IMPORTFILE_NAME);
  ASSERT_NE(import, nullptr);
  const std::string desk = viewer + "/WorkDesk";
  int converted = 0, pages = -1;
  char message[PINFOLD_MESSAGE_SIZE] = "stale";
  const std::string pdf = kCorpus + "fax-decode-parms.pdf";
  EXPECT_EQ(import(desk.c_str(), pdf.c_str(), 0, 0, &converted, &pages, 0, 0, 0, 0, message), 10);
  EXPECT_EQ(pages, 10);
  EXPECT_EQ(converted, 0);
  EXPECT_STREQ(message, "");
  EXPECT_TRUE(platform::IsFile(desk + "/fax-decode-parms_010.pdf"));

  const std::string bmp = viewer + "/photo.bmp";
  ASSERT_TRUE(platform::WriteFileAtomic(bmp, TinyBmp()));
  EXPECT_EQ(import(desk.c_str(), bmp.c_str(), 1, 1, &converted, &pages, 0, 0, 0, 0, message), 1) << message;
  EXPECT_EQ(converted, 1);
  EXPECT_TRUE(platform::IsFile(desk + "/photo_001.pdf"));

  const std::string text = viewer + "/notes.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(text, "just words"));
  EXPECT_EQ(import(desk.c_str(), text.c_str(), 0, 0, nullptr, &pages, 0, 0, 0, 0, message), PINFOLD_E_UNSUPPORTED);
  EXPECT_EQ(pages, 0);
  EXPECT_STRNE(message, "");
  EXPECT_EQ(import(desk.c_str(), pdf.c_str(), 0, 0, nullptr, nullptr, 0, 7, 0, 0, nullptr), PINFOLD_E_PARAM);

  platform::HeldLock held = platform::HeldLock::TryAcquire(desk + "/~Working.Locked");
  ASSERT_TRUE(held);
  EXPECT_EQ(import(desk.c_str(), pdf.c_str(), 0, 0, nullptr, &pages, 0, 0, 0, 0, message), PINFOLD_E_BUSY);
}

TEST_F(WorkDeskExports, WithoutTheImageLibraryOnlyPdfsGoIn) {
  // The build folder of the library holds no image library.
  Library lib(ZV_PINFOLD_PATH);
  ASSERT_TRUE(lib.handle) << lib.handle.error();
  auto import = lib.Get<WorkDesk_ImportFileFunc>(PINFOLD_IMPORTFILE_NAME);
  const std::string bmp = viewer + "/photo.bmp", desk = viewer + "/desk";
  ASSERT_TRUE(platform::WriteFileAtomic(bmp, TinyBmp()));
  EXPECT_EQ(import(desk.c_str(), bmp.c_str(), 0, 0, nullptr, nullptr, 0, 0, 0, 0, nullptr), PINFOLD_E_IMAGELIB);
  const std::string pdf = kCorpus + "object-stream.pdf";
  EXPECT_EQ(import(desk.c_str(), pdf.c_str(), 0, 0, nullptr, nullptr, 0, 0, 0, 0, nullptr), 1);
}

TEST_F(WorkDeskExports, TarnwickNamesTheFolder) {
  Library lib(viewer + "/libTarnwick.so");
  ASSERT_TRUE(lib.handle) << lib.handle.error();
  auto get = lib.Get<GetWorkDeskFolderFunc>(TARNWICK_GETWORKDESKFOLDER_NAME);
  ASSERT_NE(get, nullptr);
  char out[TARNWICK_PATH_MAX];
  zv::testing::ScopedEnv viewerDir("ZORVAN_VIEWER_DIR", viewer);
  EXPECT_EQ(get(out), 1);
  EXPECT_EQ(std::string(out), viewer + "/WorkDesk");
  EXPECT_EQ(get(nullptr), 0);
  // A path that does not fit is no path at all (never a cut one).
  ASSERT_TRUE(
      platform::WriteFileAtomic(viewer + "/ZorvanEnv.ini", "[WorkDesk]\nFolder=/" + std::string(300, 'd') + "\n"));
  EXPECT_EQ(get(out), 0);
  EXPECT_STREQ(out, "");
}
