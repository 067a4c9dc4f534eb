// One PDF page per image, the image filling the page.
#include <cstdio>
#include <memory>
#include <string_view>

#include <qpdf/Buffer.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/Pl_String.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "image_internal.h"
#include "platform/fs.h"

namespace zv::companion::imageio {
namespace {

using OH = QPDFObjectHandle;

OH DecodeArray(int components) {
  OH a = OH::newArray();
  for (int i = 0; i < components; ++i) {
    a.appendItem(OH::newInteger(1));
    a.appendItem(OH::newInteger(0));
  }
  return a;
}

OH ImageStream(QPDF& pdf, const PageImage& p, const std::shared_ptr<std::string>& scratch) {
  OH dict = OH::newDictionary();
  dict.replaceKey("/Type", OH::newName("/XObject"));
  dict.replaceKey("/Subtype", OH::newName("/Image"));
  dict.replaceKey("/Width", OH::newInteger(p.info.width));
  dict.replaceKey("/Height", OH::newInteger(p.info.height));
  dict.replaceKey("/BitsPerComponent", OH::newInteger(p.bitsPerComponent));
  int components = 1;
  switch (p.space) {
    case Space::kGray: dict.replaceKey("/ColorSpace", OH::newName("/DeviceGray")); break;
    case Space::kRgb:
      dict.replaceKey("/ColorSpace", OH::newName("/DeviceRGB"));
      components = 3;
      break;
    case Space::kCmyk:
      dict.replaceKey("/ColorSpace", OH::newName("/DeviceCMYK"));
      components = 4;
      break;
    case Space::kIndexed: {
      const std::size_t entries = p.palette.size() / 3;
      if (entries == 0 || entries > 256) Fail(IMAGEIO_E_INTERNAL, "palette size");
      OH cs = OH::newArray();
      cs.appendItem(OH::newName("/Indexed"));
      cs.appendItem(OH::newName("/DeviceRGB"));
      cs.appendItem(OH::newInteger(static_cast<long long>(entries) - 1));
      cs.appendItem(OH::newString(p.palette));
      dict.replaceKey("/ColorSpace", cs);
      break;
    }
  }
  if (p.invert && p.filter != Filter::kCcitt) dict.replaceKey("/Decode", DecodeArray(components));

  OH filter, parms = OH::newNull();
  if (p.filter == Filter::kDct) {
    filter = OH::newName("/DCTDecode");
  } else if (p.filter == Filter::kCcitt) {
    filter = OH::newName("/CCITTFaxDecode");
    parms = OH::newDictionary();
    parms.replaceKey("/K", OH::newInteger(p.ccittK));
    parms.replaceKey("/Columns", OH::newInteger(p.info.width));
    parms.replaceKey("/Rows", OH::newInteger(p.info.height));
    if (p.blackIs1) parms.replaceKey("/BlackIs1", OH::newBool(true));
    if (p.encodedByteAlign) parms.replaceKey("/EncodedByteAlign", OH::newBool(true));
  } else {
    filter = OH::newName("/FlateDecode");
  }
  OH stream = OH::newStream(&pdf);
  stream.replaceDict(dict);
  if (p.fetch) {
    // Read as the page is written, into one buffer for all the pages.
    stream.replaceStreamData(
        [fetch = p.fetch, scratch](Pipeline* out) {
          fetch(*scratch);
          out->write(reinterpret_cast<const unsigned char*>(scratch->data()), scratch->size());
        },
        filter, parms);
    return stream;
  }
  // The buffer only borrows the page's bytes; the pages (and the source
  // bytes they may point into) outlive the writer.
  const std::string_view bytes = p.bytes();
  auto borrowed = std::make_shared<Buffer>(
      reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.data())), bytes.size());
  stream.replaceStreamData(borrowed, filter, parms);
  return stream;
}

// The PDF goes to its file in large writes through the platform layer (a
// stdio stream would issue one every few kilobytes). Stream data of a chunk
// or more is written straight from the writer's buffer.
class FileSink final : public Pipeline {
 public:
  explicit FileSink(const std::string& path) : Pipeline("pdf file", nullptr) {
    if (!file_.Open(path, true)) Fail(IMAGEIO_E_WRITE, "cannot create the PDF");
    buffer_.reserve(kChunk);
  }
  void write(unsigned char const* data, size_t len) override {
    const std::string_view bytes(reinterpret_cast<const char*>(data), len);
    if (buffer_.size() + len > kChunk) {
      Flush();
      if (len >= kChunk) return Put(bytes);
    }
    buffer_.append(bytes);
  }
  void finish() override { Flush(); }
  void Close() {
    Flush();
    file_.Close();
  }

 private:
  static constexpr std::size_t kChunk = std::size_t{64} << 10;
  void Flush() {
    if (!buffer_.empty()) Put(buffer_);
    buffer_.clear();
  }
  void Put(std::string_view bytes) {
    if (!file_.Write(bytes)) Fail(IMAGEIO_E_WRITE, "cannot write the PDF");
  }
  platform::AppendFile file_;
  std::string buffer_;
};

double Points(int pixels, double dpi) { return pixels * 72.0 / (dpi > 0 ? dpi : 72.0); }

}  // namespace

namespace {

void BuildDocument(QPDF& pdf, const std::vector<PageImage>& pages, bool& sixteen) {
  pdf.emptyPDF();
  QPDFPageDocumentHelper doc(pdf);
  sixteen = false;
  const auto scratch = std::make_shared<std::string>();
  for (const PageImage& p : pages) {
    sixteen = sixteen || p.bitsPerComponent == 16;
    const double w = Points(p.info.width, p.info.xDpi);
    const double h = Points(p.info.height, p.info.yDpi);
    OH image = ImageStream(pdf, p, scratch);
    char content[128];
    std::snprintf(content, sizeof content, "q %.4f 0 0 %.4f 0 0 cm /Im0 Do Q\n", w, h);
    OH contents = OH::newStream(&pdf, content);
    OH xobjects = OH::newDictionary();
    xobjects.replaceKey("/Im0", image);
    OH resources = OH::newDictionary();
    resources.replaceKey("/XObject", xobjects);
    OH box = OH::newArray();
    box.appendItem(OH::newInteger(0));
    box.appendItem(OH::newInteger(0));
    box.appendItem(OH::newReal(w, 4));
    box.appendItem(OH::newReal(h, 4));
    OH page = OH::newDictionary();
    page.replaceKey("/Type", OH::newName("/Page"));
    page.replaceKey("/MediaBox", box);
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", contents);
    doc.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
  }
}

void Configure(QPDFWriter& writer, bool sixteen) {
  writer.setDeterministicID(true);
  // Image streams go out exactly as made: JPEG and fax data untouched, our
  // Flate data not recompressed.
  writer.setDecodeLevel(qpdf_dl_none);
  // The page content streams are a few dozen bytes: compressing them costs
  // more (a fresh deflate state each) than it saves.
  writer.setCompressStreams(false);
  writer.setMinimumPDFVersion(sixteen ? "1.5" : "1.4");
}

}  // namespace

std::string WritePdf(const std::vector<PageImage>& pages) {
  QPDF pdf;
  bool sixteen = false;
  BuildDocument(pdf, pages, sixteen);
  std::string out;
  std::size_t total = 4096;
  for (const PageImage& p : pages) total += p.bytes().size() + 1024;
  out.reserve(total);
  // Straight into a string: the writer's own memory buffer grows by copying.
  Pl_String sink("pdf", nullptr, out);
  QPDFWriter writer(pdf);
  writer.setOutputPipeline(&sink);
  Configure(writer, sixteen);
  writer.write();
  return out;
}

void WritePdfFile(const std::vector<PageImage>& pages, const std::string& path) {
  QPDF pdf;
  bool sixteen = false;
  BuildDocument(pdf, pages, sixteen);
  FileSink sink(path);
  QPDFWriter writer(pdf);
  writer.setOutputPipeline(&sink);
  Configure(writer, sixteen);
  writer.write();
  sink.Close();
}

}  // namespace zv::companion::imageio
