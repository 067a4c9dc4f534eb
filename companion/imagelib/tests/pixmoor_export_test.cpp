// The shared object as the importer uses it: loaded by name, six functions.
#include <gtest/gtest.h>
#include <tiffio.h>

#include "imagelib/Pixmoor.h"
#include "platform/library.h"
#include "support/image_maker.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

using namespace zv::test;
using zv::testing::ReadText;
using zv::testing::TempDir;
using zv::testing::WriteText;

namespace {

struct Pixmoor {
  zv::platform::SharedLibrary handle = zv::platform::SharedLibrary::Open(ZV_PIXMOOR_PATH);
  template <typename F>
  F Get(const char* name) {
    return handle.Symbol<F>(name);
  }
};

}  // namespace

TEST(PixmoorExports, SessionsInfoSupportAndSave) {
  Pixmoor lib;
  ASSERT_TRUE(lib.handle) << lib.handle.error();
  auto init = lib.Get<ImageIO_InitializeFunc>(IMAGEIO_INITIALIZE_NAME);
  auto uninit = lib.Get<ImageIO_UnInitializeFunc>(IMAGEIO_UNINITIALIZE_NAME);
  auto info = lib.Get<ImageIO_GetFileInfoFunc>(IMAGEIO_GETFILEINFO_NAME);
  auto support = lib.Get<ImageIO_CheckSupportFunc>(IMAGEIO_CHECKSUPPORT_NAME);
  auto saveInfo = lib.Get<ImageIO_GetSaveFuncInfoFunc>(IMAGEIO_GETSAVEFUNCINFO_NAME);
  auto save = lib.Get<ImageIO_SaveFileNameFunc>(IMAGEIO_SAVEFILENAME_NAME);
  ASSERT_TRUE(init && uninit && info && support && saveInfo && save);

  EXPECT_EQ(init(nullptr, nullptr, 0), 0);
  EXPECT_EQ(init(nullptr, "Corvane ", 0), 1);
  EXPECT_EQ(init(nullptr, "ZorvanService", 0), 1);
  EXPECT_EQ(uninit(), 1);

  const TempDir tmp;
  const std::string dir = tmp.path();
  Bitmap fax = Pattern(80, 60, 1);
  for (auto& v : fax.px) v = v > 128;
  WriteText(dir + "/fax.tif", MakeTiff({{fax, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 200},
                                        {Pattern(30, 40, 3), COMPRESSION_LZW, PHOTOMETRIC_RGB, 8, 0}}));
  WriteText(dir + "/note.txt", "not an image");
  WriteText(dir + "/cut.jpg", MakeJpeg(Pattern(64, 64, 3), 0).substr(0, 200));

  ImageIOFileInfo fi{};
  EXPECT_EQ(info((dir + "/fax.tif").c_str(), 0, &fi), IMAGEIO_E_PARAM) << "structSize unset";
  fi.structSize = sizeof fi;
  ASSERT_EQ(info((dir + "/fax.tif").c_str(), 1, &fi), IMAGEIO_OK);
  EXPECT_EQ(fi.format, IMAGEIO_FORMAT_TIFF);
  EXPECT_EQ(fi.pageCount, 2);
  EXPECT_EQ(fi.width, 30);
  EXPECT_EQ(fi.height, 40);
  EXPECT_EQ(fi.xDpi, 0);
  ASSERT_EQ(info((dir + "/fax.tif").c_str(), 0, &fi), IMAGEIO_OK);
  EXPECT_EQ(fi.xDpi, 200);
  EXPECT_EQ(fi.bitsPerPixel, 1);
  EXPECT_EQ(info((dir + "/fax.tif").c_str(), 2, &fi), IMAGEIO_E_PAGE);
  EXPECT_EQ(info((dir + "/none.tif").c_str(), 0, &fi), IMAGEIO_E_NOFILE);

  // PDFs are counted, but not claimed as images to convert.
  const std::string corpus = std::string(ZV_CORPUS_DIR) + "/";
  ASSERT_EQ(info((corpus + "fax-decode-parms.pdf").c_str(), 0, &fi), IMAGEIO_OK);
  EXPECT_EQ(fi.format, IMAGEIO_FORMAT_PDF);
  EXPECT_EQ(fi.pageCount, 10);
  EXPECT_EQ(info((corpus + "pages-loop.pdf").c_str(), 0, &fi), IMAGEIO_E_CORRUPT);
  EXPECT_EQ(support((corpus + "fax-decode-parms.pdf").c_str()), 0);
  EXPECT_EQ(support((dir + "/fax.tif").c_str()), IMAGEIO_FORMAT_TIFF);
  EXPECT_EQ(support((dir + "/note.txt").c_str()), 0);
  EXPECT_EQ(support(""), 0);

  ImageIOSaveInfo si{};
  si.structSize = sizeof si;
  ASSERT_EQ(saveInfo(IMAGEIO_FORMAT_PDF, &si), IMAGEIO_OK);
  EXPECT_EQ(si.defaultDpi, 72);
  EXPECT_STREQ(si.extension, "pdf");
  EXPECT_EQ(saveInfo(IMAGEIO_FORMAT_JPEG, &si), IMAGEIO_E_UNSUPPORTED);

  EXPECT_EQ(save((dir + "/fax.tif").c_str(), (dir + "/fax.pdf").c_str(), IMAGEIO_FORMAT_PDF, 0), 2);
  ASSERT_EQ(info((dir + "/fax.pdf").c_str(), 0, &fi), IMAGEIO_OK);
  EXPECT_EQ(fi.pageCount, 2);
  EXPECT_EQ(fi.width, 29);  // 80 px at 200 dpi is 28.8 pt
  EXPECT_EQ(save((dir + "/cut.jpg").c_str(), (dir + "/cut.pdf").c_str(), IMAGEIO_FORMAT_PDF, 0), IMAGEIO_E_CORRUPT);
  EXPECT_EQ(save((dir + "/note.txt").c_str(), (dir + "/n.pdf").c_str(), IMAGEIO_FORMAT_PDF, 0), IMAGEIO_E_UNSUPPORTED);
  EXPECT_EQ(save((dir + "/fax.tif").c_str(), (dir + "/x.pdf").c_str(), IMAGEIO_FORMAT_TIFF, 0), IMAGEIO_E_UNSUPPORTED);
  EXPECT_EQ(save(nullptr, (dir + "/x.pdf").c_str(), IMAGEIO_FORMAT_PDF, 0), IMAGEIO_E_PARAM);
  EXPECT_EQ(save((dir + "/fax.tif").c_str(), (dir + "/no/such/folder/x.pdf").c_str(), IMAGEIO_FORMAT_PDF, 0),
            IMAGEIO_E_WRITE);

  EXPECT_EQ(uninit(), 1);
  EXPECT_EQ(uninit(), 0) << "no session left";
}
