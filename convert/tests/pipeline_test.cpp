// InsertFileToBinder against a store in a private folder, with the image
// library, the secured-PDF check and the printer's writer installed as the
// installer does: PDF files (the damaged and encrypted corpus too), images,
// secured PDF files and an office document.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "dravel/core.h"
#include "dravel/pipeline.h"
#include "pdfwriter/writer.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "store/store.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/pdf.h"

namespace zv::dravel {
namespace {

namespace test = zv::testing;

namespace bl = companion::binder;
namespace pf = platform;

// ---- images made at test time ------------------------------------------------
void WriteJpeg(const std::string& path, int w, int h) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = static_cast<JDIMENSION>(w);
  c.image_height = static_cast<JDIMENSION>(h);
  c.input_components = 1;
  c.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  c.density_unit = 1;
  c.X_density = c.Y_density = 100;
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(w));
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < w; ++x)
      row[static_cast<std::size_t>(x)] = static_cast<JSAMPLE>((x * 7 + c.next_scanline) & 0xff);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
}

void WritePng(const std::string& path, int w, int h) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<std::size_t>(w) * 3);
  for (int y = 0; y < h; ++y) {
    for (std::size_t i = 0; i < row.size(); ++i)
      row[i] = static_cast<png_byte>((i + static_cast<std::size_t>(y)) & 0xff);
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

// A multi-page G4 fax TIFF at 200 dpi, made as scanners' software does:
// one G4 page per bitmap, joined.
void WriteFaxTiff(const std::string& path, int pages) {
  const int w = 1700, h = 2200;
  std::vector<std::string> joined = {"-c", "g4"};
  for (int p = 0; p < pages; ++p) {
    std::string pbm = "P4\n" + std::to_string(w) + " " + std::to_string(h) + "\n";
    for (int y = 0; y < h; ++y) pbm += std::string((w + 7) / 8, (y / 40 + p) % 3 == 0 ? '\xff' : '\0');
    const std::string page = path + std::to_string(p);
    ASSERT_TRUE(pf::WriteFileAtomic(page + ".pbm", pbm));
    ASSERT_EQ(test::RunProgram("ppm2tiff", {"-c", "g4", "-R", "200", page + ".pbm", page + ".tif"}).exitCode, 0);
    joined.push_back(page + ".tif");
  }
  joined.push_back(path);
  ASSERT_EQ(test::RunProgram("tiffcp", joined).exitCode, 0);
}

// Blank pages: no content stream and no resources; an A4 MediaBox only with
// `mediaBox`.
void MakeBlankPdf(const std::string& path, int pages, bool mediaBox) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFPageDocumentHelper doc(pdf);
  for (int i = 0; i < pages; ++i) {
    doc.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(QPDFObjectHandle::parse(
                    mediaBox ? "<< /Type /Page /MediaBox [0 0 595 842] >>" : "<< /Type /Page >>"))),
                false);
  }
  QPDFWriter w(pdf, path.c_str());
  w.setDeterministicID(true);
  w.write();
}

// A PNG that is only a signature, an IHDR claiming w x h and IEND: the
// header of a huge (or empty) picture without its data.
void WritePngHeaderOnly(const std::string& path, std::uint32_t w, std::uint32_t h) {
  auto be32 = [](std::string& s, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>((v >> shift) & 0xff));
  };
  auto chunk = [&](std::string& out, const char* type, const std::string& data) {
    be32(out, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    be32(out, static_cast<std::uint32_t>(
                  crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
  };
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  be32(ihdr, w);
  be32(ihdr, h);
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);
  chunk(png, "IHDR", ihdr);
  chunk(png, "IEND", "");
  ASSERT_TRUE(pf::WriteFileAtomic(path, png));
}

// ---- the fixture ------------------------------------------------------------------
struct Outcome {
  int result = 99;
  int errorCode = 99;
  int pages = -1;
  int secured = -1;
  std::string message, title, binder, printCopy;
};

struct Call {
  int vlCode = 2;
  int service = 0;
  int securePdfMode = 0;
  int printFlag = 0;
  int contentsAdd = 0;
  int searchVariant = 0;
  int insertPos = bl::kInsertBack;
  std::string keyword;
  std::string extra;
};

class Pipeline : public ::testing::Test {
 protected:
  void SetUp() override {
    box.LinkIntoViewer("libPixmoor.so", ZV_PIXMOOR_LIB);
    box.LinkIntoViewer("libGantry.so", ZV_GANTRY_LIB);
    const std::string writer = box.Path("writer"), registry = box.machineRegistry();
    ASSERT_TRUE(pf::MakeFolders(writer));
    ASSERT_TRUE(pf::CopyFile(ZV_WRITER_TEMPLATE, pf::JoinPath(writer, companion::kWriterTemplateName), false));
    ASSERT_TRUE(pf::ini::WriteString(registry, companion::kWriterAppPathsKey, "@", ZV_ORRINDEL_EXE));
    ASSERT_TRUE(pf::ini::WriteString(registry, companion::kWriterAppPathsKey, "Path", writer));
    link = box.Path("link");
    ASSERT_TRUE(pf::MakeFolders(link));
    const auto lib = store::CreateLibrary(link, "Lib");
    ASSERT_TRUE(lib.ok());
    const auto cabinet = store::CreateCabinet(lib.path, "Cab");
    ASSERT_TRUE(cabinet.ok());
    cab = cabinet.path;
    binder = MakeBinder("Accounts");
  }

  std::string MakeBinder(const std::string& title, int maxUpload = 0, const std::string& password = {}) {
    bl::BinderDescription d;
    d.title = title;
    d.maxUploadPage = maxUpload;
    d.password = password;
    const auto r = store::CreateBinder(cab, d);
    EXPECT_TRUE(r.ok()) << store::CreateStatusText(r.status);
    return r.path;
  }

  Outcome Insert(const std::string& source, const std::string& target, const Call& c = {}) {
    char binderBuf[DRAVEL_PATH_MAX] = {};
    std::snprintf(binderBuf, sizeof binderBuf, "%s", target.c_str());
    char printCopy[DRAVEL_PATH_MAX] = "stale", message[DRAVEL_PATH_MAX] = "stale", title[DRAVEL_PATH_MAX] = "stale";
    int reserved = 0;
    Outcome o;
    o.result =
        InsertFileToBinder(nullptr, binderBuf, source.c_str(), 0, 3, c.insertPos, 0, printCopy, c.printFlag, &o.pages,
                           c.keyword.c_str(), c.service, message, &reserved, c.vlCode, title, &o.errorCode,
                           c.contentsAdd, c.securePdfMode, &o.secured, c.extra.c_str(), c.searchVariant);
    o.message = message;
    o.title = title;
    o.binder = binderBuf;
    o.printCopy = printCopy;
    return o;
  }

  // Nothing of an import may stay in the work folder.
  void ExpectNoWorkFiles() const {
    const auto entries = pf::ListFolder(ImportWorkFolder());
    if (entries) {
      EXPECT_TRUE(entries->empty()) << entries->front().name;
    }
  }
  int Pages(const std::string& b) const { return bl::ReadBinder(b, false).pageTotal; }

  // Pauses and retries in no time; not while the writer runs, whose time
  // limits would pass at once.
  void UseFakeClock() { useClock.emplace(clock); }

  test::Installation box;
  pf::FakeClock clock;
  std::optional<pf::ScopedClock> useClock;
  std::string link, cab, binder;
};

TEST_F(Pipeline, FilesPdfWithKeywordsTitleAndPrintCopy) {
  UseFakeClock();
  const std::string pdf = box.Path("scan.pdf");
  test::MakePdf(pdf, {{595, 842}, {595, 842}});
  pf::ini::WriteString(bl::BinderIniPath(binder), bl::kSecBinderInfo, bl::kKeyTitle, "Acc\x18\x19ounts");
  Call c;
  c.keyword = "20240102";
  c.extra = "memo";
  c.printFlag = 1;
  c.contentsAdd = 1;
  const Outcome o = Insert(pdf, binder, c);
  ASSERT_EQ(o.result, 0) << o.errorCode << " " << o.message;
  EXPECT_EQ(o.errorCode, 0);
  EXPECT_EQ(o.pages, 2);
  EXPECT_EQ(o.secured, 0);
  EXPECT_EQ(o.message, "");
  EXPECT_EQ(o.title, "Accounts");  // line-break bytes removed
  EXPECT_EQ(o.binder, binder);
  const auto s = bl::ReadBinder(binder, true);
  ASSERT_EQ(s.pages.size(), 2u);
  EXPECT_EQ(s.pages[0].keyword, "20240102_1 memo");  // the ini drops the trailing blank
  EXPECT_EQ(s.pages[1].keyword, "20240102_2 memo");
  EXPECT_EQ(s.pages[0].contentText, "20240102 scan.pdf");
  EXPECT_TRUE(s.ok());
  // The print copy survives a successful import; the source is untouched.
  EXPECT_EQ(o.printCopy, pf::JoinPath(pf::JoinPath(box.temp(), "Hopvale"), "scan.pdf"));
  EXPECT_TRUE(pf::IsFile(o.printCopy));
  EXPECT_TRUE(pf::IsFile(pdf));
  ExpectNoWorkFiles();

  // The plain route (VLCode other than 2) files without keywords.
  c = {};
  c.vlCode = 0;
  c.keyword = "ignored";
  const Outcome plain = Insert(pdf, binder, c);
  ASSERT_EQ(plain.result, 0) << plain.message;
  const auto after = bl::ReadBinder(binder, true);
  ASSERT_EQ(after.pages.size(), 4u);
  EXPECT_EQ(after.pages[3].keyword, "");
  ExpectNoWorkFiles();
}

// Blank pages have no content stream of their own; they are still pages.
TEST_F(Pipeline, BlankPagesAreFiled) {
  UseFakeClock();
  const std::string boxed = box.Path("boxed.pdf"), bare = box.Path("bare.pdf");
  MakeBlankPdf(boxed, 3, true);
  MakeBlankPdf(bare, 2, false);
  for (int variant : {0, 1}) {
    Call c;
    c.searchVariant = variant;
    for (const auto& [pdf, pages] : {std::pair{boxed, 3}, std::pair{bare, 2}}) {
      const Outcome o = Insert(pdf, binder, c);
      ASSERT_EQ(o.result, 0) << pdf << " " << variant << ": " << o.errorCode << " " << o.message;
      EXPECT_EQ(o.pages, pages);
    }
  }
  EXPECT_EQ(Pages(binder), 10);
  EXPECT_TRUE(bl::ReadBinder(binder, true).ok());
  ExpectNoWorkFiles();
}

TEST_F(Pipeline, FilesImagesAsPdfPages) {
  UseFakeClock();
  const std::string jpg = box.Path("photo.jpg"), png = box.Path("chart.png"), tif = box.Path("fax.tif");
  WriteJpeg(jpg, 300, 200);
  WritePng(png, 64, 48);
  WriteFaxTiff(tif, 3);
  for (const auto& [file, pages] : std::vector<std::pair<std::string, int>>{{jpg, 1}, {png, 1}, {tif, 3}}) {
    const int before = Pages(binder);
    const Outcome o = Insert(file, binder);
    ASSERT_EQ(o.result, 0) << file << ": " << o.errorCode << " " << o.message;
    EXPECT_EQ(o.pages, pages) << file;
    EXPECT_EQ(Pages(binder), before + pages) << file;
    ExpectNoWorkFiles();
  }
  EXPECT_TRUE(bl::ReadBinder(binder, true).ok());
  // The paper check also answers for images: 1700 x 2200 at 200 dpi is
  // Letter-sized portrait.
  int code = 0, orientation = 0;
  EXPECT_EQ(GetTargetPaperSize(nullptr, tif.c_str(), &code, &orientation), 1);
  EXPECT_EQ(code, 96);
  EXPECT_EQ(orientation, 1);
  EXPECT_EQ(GetTargetPaperSize(nullptr, box.Path("none.png").c_str(), &code, &orientation), 0);
}

TEST_F(Pipeline, BadImagesAreRefusedWithACode) {
  const std::string good = box.Path("good.jpg");
  WriteJpeg(good, 400, 400);
  const std::string jpeg = *pf::ReadFile(good);
  ASSERT_TRUE(pf::WriteFileAtomic(box.Path("cut.jpg"), jpeg.substr(0, jpeg.size() / 3)));
  WritePngHeaderOnly(box.Path("empty.png"), 0, 0);
  WritePngHeaderOnly(box.Path("huge.png"), 30000, 30000);
  for (const char* name : {"cut.jpg", "empty.png", "huge.png"}) {
    // Without a desktop they cannot be printed either.
    Call c;
    c.service = 1;
    Outcome o = Insert(box.Path(name), binder, c);
    EXPECT_EQ(o.result, -1) << name;
    EXPECT_EQ(o.errorCode, 300400) << name;
    EXPECT_EQ(o.message, Message(26));
    // With a desktop they go to the printer, which cannot take them.
    o = Insert(box.Path(name), binder);
    EXPECT_EQ(o.result, -1) << name;
    EXPECT_GE(o.errorCode, 310100) << name;
    EXPECT_LE(o.errorCode, 310500) << name;
    ExpectNoWorkFiles();
  }
  EXPECT_EQ(Pages(binder), 0);
}

TEST_F(Pipeline, RefusalsLeaveBinderAndWorkFolderUntouched) {
  UseFakeClock();
  const std::string pdf = box.Path("doc.pdf");
  test::MakePdf(pdf, {{595, 842}});

  // ".HTML" is refused before any library is loaded: even with no image
  // library installed the code is 300100.
  pf::RemoveFile(box.Path("viewer/libPixmoor.so"));
  ASSERT_TRUE(pf::WriteFileAtomic(box.Path("page.HTML"), "<html></html>"));
  Outcome o = Insert(box.Path("page.HTML"), binder);
  EXPECT_EQ(o.result, -1);
  EXPECT_EQ(o.errorCode, 300100);
  EXPECT_EQ(o.message, Message(22));
  // A missing image library: 310121 and message 70.
  o = Insert(pdf, binder);
  EXPECT_EQ(o.errorCode, 310121);
  EXPECT_EQ(o.message, "DLL Load Error. (Pixmoor.dll)");
  box.LinkIntoViewer("libPixmoor.so", ZV_PIXMOOR_LIB);

  // A missing source or a folder.
  EXPECT_EQ(Insert(box.Path("missing.pdf"), binder).errorCode, 300300);
  EXPECT_EQ(Insert(box.Path("viewer"), binder).errorCode, 300300);
  // A document that needs printing in service mode.
  ASSERT_TRUE(pf::WriteFileAtomic(box.Path("note.txt"), "hello"));
  Call service;
  service.service = 1;
  service.printFlag = 1;
  o = Insert(box.Path("note.txt"), binder, service);
  EXPECT_EQ(o.errorCode, 300400);
  EXPECT_EQ(o.printCopy, "");
  // A damaged PDF: the security check calls it damaged.
  ASSERT_TRUE(pf::WriteFileAtomic(box.Path("bad.pdf"), "%PDF-1.4\ngarbage"));
  o = Insert(box.Path("bad.pdf"), binder);
  EXPECT_EQ(o.errorCode, 310202);
  EXPECT_EQ(o.message, FormatMessage(32, -2));

  // Card binders of each kind: 331101 to 331104; the print copy is removed.
  const std::string card = MakeBinder("Cards");
  for (int ext = 0; ext <= 3; ++ext) {
    pf::ini::WriteString(bl::BinderIniPath(card), bl::kSecBinderInfo, bl::kKeyCardBinder, "1");
    pf::ini::WriteString(bl::BinderIniPath(card), bl::kSecBinderInfo, bl::kKeyExtBinderType, std::to_string(ext));
    Call c;
    c.printFlag = 1;
    o = Insert(pdf, card, c);
    EXPECT_EQ(o.errorCode, 331101 + ext);
    EXPECT_EQ(o.message, FormatMessage(74, 331101 + ext));
    EXPECT_EQ(o.printCopy, "");
    EXPECT_FALSE(pf::Exists(pf::JoinPath(pf::JoinPath(box.temp(), "Hopvale"), "doc.pdf")));
  }

  // A secured binder: refused unless VLCode is 2, also when the search
  // made nothing new.
  const std::string secret = MakeBinder("Secret", 0, "pw");
  Call plain;
  plain.vlCode = 0;
  o = Insert(pdf, secret, plain);
  EXPECT_EQ(o.errorCode, 300101);
  EXPECT_EQ(o.message, Message(69));
  EXPECT_EQ(o.binder, secret);
  o = Insert(pdf, secret);
  EXPECT_EQ(o.result, 0) << o.errorCode << " " << o.message;
  EXPECT_EQ(Pages(secret), 1);

  EXPECT_EQ(Pages(binder), 0);
  ExpectNoWorkFiles();
}

TEST_F(Pipeline, OpenBinderIsSkippedWithoutLeavingWorkFiles) {
  UseFakeClock();
  const std::string jpg = box.Path("a.jpg");
  WriteJpeg(jpg, 50, 50);
  platform::HeldLock open = bl::HoldBinderOpen(binder);
  ASSERT_TRUE(open.valid());
  Call c;
  c.printFlag = 1;
  const Outcome o = Insert(jpg, binder, c);
  EXPECT_EQ(o.result, 1);
  EXPECT_EQ(o.errorCode, -100000);
  EXPECT_EQ(o.message, Message(81));
  EXPECT_EQ(o.pages, 0);
  EXPECT_EQ(o.printCopy, "");
  EXPECT_FALSE(pf::Exists(pf::JoinPath(pf::JoinPath(box.temp(), "Hopvale"), "a.jpg")));
  ExpectNoWorkFiles();
  EXPECT_TRUE(pf::IsFile(jpg));
  open.Release();
  EXPECT_EQ(Insert(jpg, binder).result, 0);
}

TEST_F(Pipeline, FullBinderContinuesInOverflowBinder) {
  UseFakeClock();
  const std::string small = MakeBinder("Small", 3);
  const std::string pdf = box.Path("two.pdf");
  test::MakePdf(pdf, {{595, 842}, {595, 842}});
  for (int variant : {0, 1}) {
    Call c;
    c.searchVariant = variant;
    const Outcome o = Insert(pdf, small, c);
    ASSERT_EQ(o.result, 0) << variant << ": " << o.errorCode << " " << o.message;
    // The first call fits; the second goes to "#2", which the caller learns.
    EXPECT_EQ(o.binder, variant == 0 ? small : small + "#2");
  }
  EXPECT_EQ(Pages(small), 2);
  EXPECT_EQ(Pages(small + "#2"), 2);
  EXPECT_EQ(Insert(pdf, small).binder, small + "#3");

  // A file larger than the limit is refused after five searches 1 s apart,
  // and no empty overflow binder is left.
  const std::string tiny = MakeBinder("Tiny", 1);
  const std::int64_t sleptBefore = clock.totalSleptMs();
  const Outcome o = Insert(pdf, tiny);
  EXPECT_EQ(o.result, -1);
  EXPECT_EQ(o.errorCode, 306000);
  EXPECT_EQ(o.message, Message(67));
  EXPECT_GE(clock.totalSleptMs() - sleptBefore, 4000);
  EXPECT_FALSE(pf::Exists(tiny + "#2"));
  ExpectNoWorkFiles();
}

TEST_F(Pipeline, EachFileIsFiledOrRefusedWithItsCode) {
  struct Case {
    const char* file;
    int errorCode;  // 0: filed
    int pages;      // filed pages (0: any count above 0)
    int secured;
  };
  // Secured files are refused (secured PDFs are not printed here); damaged
  // ones are refused by the security check (310202) or have no countable
  // pages (300601).
  const Case cases[] = {
      {"bad1.pdf", 310202, 0, 0},
      {"bad2.pdf", 0, 1, 0},
      {"bad22.pdf", 0, 0, 0},
      {"c-empty.pdf", 300601, 0, 0},
      {"issue-146.pdf", 310202, 0, 0},
      {"pages-loop.pdf", 310202, 0, 0},
      {"append-xref-loop.pdf", 0, 30, 0},
      {"duplicate-page-inherited.pdf", 0, 2, 0},
      {"object-stream.pdf", 0, 1, 0},
      {"minimal-linearized.pdf", 0, 1, 0},
      {"fax-decode-parms.pdf", 0, 10, 0},
      {"form-fields-and-annotations-shared.pdf", 0, 4, 0},
      {"20-pages.pdf", 310205, 0, 1},
      {"enc-R3,V2,O=master.pdf", 310205, 0, 1},
      {"c-r6-in.pdf", 310205, 0, 1},
      {"encrypted-with-images.pdf", 0, 0, 0},
      {"many-nulls.pdf", 0, 1, 0},
      {"leading-junk.pdf", 0, 30, 0},
  };
  UseFakeClock();
  int expected = 0;
  for (const Case& c : cases) {
    const std::string path = pf::JoinPath(ZV_CORPUS_DIR, c.file);
    ASSERT_TRUE(pf::IsFile(path)) << path;
    const int before = Pages(binder);
    const Outcome o = Insert(path, binder);
    EXPECT_EQ(o.errorCode, c.errorCode) << c.file << ": " << o.message;
    EXPECT_EQ(o.secured, c.secured) << c.file;
    if (c.errorCode == 0) {
      EXPECT_EQ(o.result, 0) << c.file;
      if (c.pages > 0) {
        EXPECT_EQ(o.pages, c.pages) << c.file;
      }
      EXPECT_GE(o.pages, 1) << c.file;
      EXPECT_EQ(Pages(binder), before + o.pages) << c.file;
      expected += o.pages;
    } else {
      EXPECT_EQ(o.result, -1) << c.file;
      EXPECT_FALSE(o.message.empty()) << c.file;
      EXPECT_EQ(Pages(binder), before) << c.file;
    }
    if (c.errorCode == 310205) {
      EXPECT_EQ(o.message, Message(71)) << c.file;
    }
    ExpectNoWorkFiles();
  }
  EXPECT_EQ(Pages(binder), expected);
  EXPECT_TRUE(store::CheckStore(binder).empty());
}

TEST_F(Pipeline, SecuredPdfIsPrintedWhenAllowed) {
  // Owner restrictions that still allow printing: printed without its
  // encryption, filed with its real page count, secured flag 0.
  const std::string plain = box.Path("three.pdf"), restricted = box.Path("restricted.pdf");
  test::MakePdf(plain, {{595, 842}, {595, 842}, {595, 842}});
  ASSERT_EQ(
      pf::RunAndWait("qpdf", {"--encrypt", "", "owner", "256", "--modify=none", "--extract=n", "--", plain, restricted},
                     60'000),
      0);
  Call secure;
  secure.securePdfMode = 1;
  Outcome o = Insert(restricted, binder, secure);
  ASSERT_EQ(o.result, 0) << o.errorCode << " " << o.message;
  EXPECT_EQ(o.secured, 0);
  EXPECT_EQ(o.pages, 3);
  EXPECT_EQ(Pages(binder), 3);
  // Printing not allowed: the printer refuses it (310400, message 41), the
  // secured flag says why.
  o = Insert(pf::JoinPath(ZV_CORPUS_DIR, "enc-R3,V2,O=master.pdf"), binder, secure);
  EXPECT_EQ(o.result, -1);
  EXPECT_EQ(o.errorCode, 310400);
  EXPECT_EQ(o.message, Message(41));
  EXPECT_EQ(o.secured, 1);
  // No printing without a desktop.
  secure.service = 1;
  o = Insert(restricted, binder, secure);
  EXPECT_EQ(o.errorCode, 300400);
  EXPECT_EQ(Pages(binder), 3);
  ExpectNoWorkFiles();
}

TEST_F(Pipeline, OfficeDocumentIsFiledThroughTheOfficeProgram) {
  if (companion::OfficeProgram().empty()) GTEST_SKIP() << "no office program installed";
  const std::string txt = box.Path("Memo.txt");
  ASSERT_TRUE(pf::WriteFileAtomic(txt, "Quarterly memo\nsecond line\n"));
  const Outcome o = Insert(txt, binder);
  ASSERT_EQ(o.result, 0) << o.errorCode << " " << o.message;
  EXPECT_GE(o.pages, 1);
  EXPECT_EQ(Pages(binder), o.pages);
  EXPECT_TRUE(pf::IsFile(txt));
  ExpectNoWorkFiles();
  EXPECT_TRUE(store::CheckStore(binder).empty());
}

}  // namespace
}  // namespace zv::dravel
