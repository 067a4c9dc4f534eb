// One PDF page per image, the image filling the page.
//
// The document is written straight out, in one pass:
//   1 the catalog, 2 the pages tree, then per page i (from 0) the page
//   (3 + 3i), its content stream (4 + 3i) and its image XObject (5 + 3i),
//   the cross-reference table and the trailer.
// Image streams go out exactly as the readers made them (JPEG and fax data
// untouched, our Flate data not recompressed). The page content streams are
// a few dozen bytes and stay uncompressed.
//
// The trailer's /ID is derived from the bytes written before it (a 128-bit
// non-cryptographic hash), so the same images always give the same file and
// different images practically never share an ID.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "image_internal.h"
#include "platform/fs.h"

namespace zv::companion::imageio {
namespace {

// Cross-reference offsets have ten digits.
constexpr std::uint64_t kMaxOffset = 9'999'999'999ull;

// A 128-bit hash over everything written, in two 64-bit lanes fed eight
// bytes at a time; a tail shorter than a word is kept until more arrives.
class ContentHash {
 public:
  void Add(std::string_view bytes) {
    total_ += bytes.size();
    const char* p = bytes.data();
    std::size_t n = bytes.size();
    if (pendingSize_ > 0) {
      const std::size_t take = std::min(n, sizeof pending_ - pendingSize_);
      std::memcpy(pending_ + pendingSize_, p, take);
      pendingSize_ += take;
      p += take;
      n -= take;
      if (pendingSize_ < sizeof pending_) return;
      Block(pending_);
      pendingSize_ = 0;
    }
    for (; n >= sizeof pending_; p += sizeof pending_, n -= sizeof pending_) Block(p);
    std::memcpy(pending_, p, n);
    pendingSize_ = n;
  }

  // 32 hex digits.
  std::string Hex() const {
    std::uint64_t a = a_, b = b_;
    std::uint64_t tail[2] = {0, 0};
    std::memcpy(tail, pending_, pendingSize_);
    a = Mix(a ^ tail[0]);
    b = Mix(b ^ tail[1]);
    a = Final(a ^ total_ ^ Rotate(b, 29));
    b = Final(b ^ (total_ * kK1) ^ Rotate(a, 17));
    char out[33];
    std::snprintf(out, sizeof out, "%016llx%016llx", static_cast<unsigned long long>(a),
                  static_cast<unsigned long long>(b));
    return out;
  }

 private:
  static constexpr std::uint64_t kK1 = 0x9E3779B97F4A7C15ull;
  static constexpr std::uint64_t kK2 = 0xC2B2AE3D27D4EB4Full;
  static std::uint64_t Rotate(std::uint64_t v, int r) { return (v << r) | (v >> (64 - r)); }
  static std::uint64_t Mix(std::uint64_t v) { return Rotate(v * kK2, 31) * kK1; }
  static std::uint64_t Final(std::uint64_t v) {
    v ^= v >> 33;
    v *= 0xFF51AFD7ED558CCDull;
    v ^= v >> 33;
    v *= 0xC4CEB9FE1A85EC53ull;
    return v ^ (v >> 33);
  }
  void Block(const char* p) {
    std::uint64_t w[2];
    std::memcpy(w, p, sizeof w);
    a_ = Rotate(a_ ^ Mix(w[0]), 27) * 5 + 0x52DCE729;
    b_ = Rotate(b_ ^ Mix(w[1]), 33) * 5 + 0x38495AB5;
  }

  std::uint64_t a_ = 0x6A09E667F3BCC908ull, b_ = 0xBB67AE8584CAA73Bull;
  std::uint64_t total_ = 0;
  char pending_[16] = {};
  std::size_t pendingSize_ = 0;
};

// Where the bytes go: a string, or a file in large writes through the
// platform layer. Stream data of a chunk or more is written straight from
// the caller's buffer.
class Output {
 public:
  explicit Output(std::string& memory) : buffer_(memory) {}
  Output(std::string& buffer, const std::string& path) : buffer_(buffer), toFile_(true) {
    if (!file_.Open(path, true)) Fail(IMAGEIO_E_WRITE, "cannot create the PDF");
    buffer_.reserve(kChunk);
  }

  std::uint64_t Offset() const { return offset_; }

  void Put(std::string_view bytes) {
    hash_.Add(bytes);
    offset_ += bytes.size();
    if (toFile_ && buffer_.size() + bytes.size() > kChunk) {
      Flush();
      if (bytes.size() >= kChunk) return Write(bytes);
    }
    buffer_.append(bytes);
  }

  const ContentHash& Hash() const { return hash_; }

  void Close() {
    if (!toFile_) return;
    Flush();
    file_.Close();
  }

 private:
  static constexpr std::size_t kChunk = std::size_t{64} << 10;
  void Flush() {
    if (!buffer_.empty()) Write(buffer_);
    buffer_.clear();
  }
  void Write(std::string_view bytes) {
    if (!file_.Write(bytes)) Fail(IMAGEIO_E_WRITE, "cannot write the PDF");
  }

  std::string& buffer_;
  bool toFile_ = false;
  platform::AppendFile file_;
  std::uint64_t offset_ = 0;
  ContentHash hash_;
};

// A page length in points with at most four decimals, trailing zeros cut
// ("610.56", "72").
std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f", value);
  std::string s(text);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s;
}

// Pixels to points. A missing resolution means 72 dpi; so does one that
// would put a page beyond any sane size (or make it vanish), which a damaged
// header can claim.
double Points(int pixels, double dpi) {
  const double points = pixels * 72.0 / (dpi > 0 ? dpi : 72.0);
  if (!std::isfinite(points) || points > 1e8 || points < 1e-3) return pixels;
  return points;
}

void AppendHex(std::string& out, std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += '<';
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  out += '>';
}

// The image XObject's dictionary, keys in name order, /Length last.
std::string ImageDictionary(const PageImage& p, std::size_t length) {
  std::string d = "<< /BitsPerComponent " + std::to_string(p.bitsPerComponent) + " /ColorSpace ";
  int components = 1;
  switch (p.space) {
    case Space::kGray: d += "/DeviceGray"; break;
    case Space::kRgb:
      d += "/DeviceRGB";
      components = 3;
      break;
    case Space::kCmyk:
      d += "/DeviceCMYK";
      components = 4;
      break;
    case Space::kIndexed: {
      const std::size_t entries = p.palette.size() / 3;
      if (entries == 0 || entries > 256 || p.palette.size() % 3 != 0) Fail(IMAGEIO_E_INTERNAL, "palette size");
      d += "[ /Indexed /DeviceRGB " + std::to_string(entries - 1) + " ";
      AppendHex(d, p.palette);
      d += " ]";
      break;
    }
  }
  if (p.invert && p.filter != Filter::kCcitt) {
    d += " /Decode [";
    for (int i = 0; i < components; ++i) d += " 1 0";
    d += " ]";
  }
  switch (p.filter) {
    case Filter::kDct: d += " /Filter /DCTDecode"; break;
    case Filter::kFlate: d += " /Filter /FlateDecode"; break;
    case Filter::kCcitt:
      d += " /DecodeParms <<";
      if (p.blackIs1) d += " /BlackIs1 true";
      d += " /Columns " + std::to_string(p.info.width);
      if (p.encodedByteAlign) d += " /EncodedByteAlign true";
      d += " /K " + std::to_string(p.ccittK) + " /Rows " + std::to_string(p.info.height) + " >>";
      d += " /Filter /CCITTFaxDecode";
      break;
  }
  d += " /Height " + std::to_string(p.info.height) + " /Subtype /Image /Type /XObject /Width " +
       std::to_string(p.info.width) + " /Length " + std::to_string(length) + " >>";
  return d;
}

class DocumentWriter {
 public:
  explicit DocumentWriter(Output& out) : out_(out) {}

  void Write(const std::vector<PageImage>& pages) {
    if (pages.empty()) Fail(IMAGEIO_E_INTERNAL, "no pages");
    bool sixteen = false;
    for (const PageImage& p : pages) sixteen = sixteen || p.bitsPerComponent == 16;
    const std::size_t objects = 2 + 3 * pages.size();
    offsets_.assign(objects + 1, 0);

    // The binary comment tells transfer programs the file is not text.
    out_.Put(sixteen ? "%PDF-1.5\n%\xBF\xF7\xA2\xFE\n" : "%PDF-1.4\n%\xBF\xF7\xA2\xFE\n");
    Object(1, "<< /Pages 2 0 R /Type /Catalog >>");
    std::string tree = "<< /Count " + std::to_string(pages.size()) + " /Kids [";
    for (std::size_t i = 0; i < pages.size(); ++i) tree += " " + std::to_string(3 + 3 * i) + " 0 R";
    tree += " ] /Type /Pages >>";
    Object(2, tree);

    for (std::size_t i = 0; i < pages.size(); ++i) Page(pages[i], 3 + 3 * i);
    Trailer(objects);
  }

 private:
  void Begin(std::size_t number) {
    offsets_[number] = out_.Offset();
    out_.Put(std::to_string(number) + " 0 obj\n");
  }

  void Object(std::size_t number, std::string_view body) {
    Begin(number);
    std::string text(body);
    text += "\nendobj\n";
    out_.Put(text);
  }

  void Stream(std::size_t number, std::string_view dictionary, std::string_view data) {
    Begin(number);
    std::string head(dictionary);
    head += "\nstream\n";
    out_.Put(head);
    out_.Put(data);
    out_.Put("\nendstream\nendobj\n");
  }

  void Page(const PageImage& p, std::size_t number) {
    const std::string w = Number(Points(p.info.width, p.info.xDpi));
    const std::string h = Number(Points(p.info.height, p.info.yDpi));
    const std::string contents = std::to_string(number + 1), image = std::to_string(number + 2);
    Object(number, "<< /Contents " + contents + " 0 R /MediaBox [ 0 0 " + w + " " + h + " ] /Parent 2 0 R " +
                       "/Resources << /XObject << /Im0 " + image + " 0 R >> >> /Type /Page >>");
    const std::string content = "q " + w + " 0 0 " + h + " 0 0 cm /Im0 Do Q\n";
    Stream(number + 1, "<< /Length " + std::to_string(content.size()) + " >>", content);
    // Fetched pages are read from their source only now, into one buffer
    // shared by all the pages.
    std::string_view data = p.bytes();
    if (p.fetch) {
      p.fetch(scratch_);
      data = scratch_;
    }
    Stream(number + 2, ImageDictionary(p, data.size()), data);
    if (out_.Offset() > kMaxOffset) Fail(IMAGEIO_E_SIZE, "PDF too large for its cross-reference table");
  }

  void Trailer(std::size_t objects) {
    const std::uint64_t xref = out_.Offset();
    if (xref > kMaxOffset) Fail(IMAGEIO_E_SIZE, "PDF too large for its cross-reference table");
    std::string t = "xref\n0 " + std::to_string(objects + 1) + "\n0000000000 65535 f \n";
    t.reserve(t.size() + 20 * objects + 256);
    char entry[21];
    for (std::size_t i = 1; i <= objects; ++i) {
      std::snprintf(entry, sizeof entry, "%010llu 00000 n \n", static_cast<unsigned long long>(offsets_[i]));
      t.append(entry, 20);
    }
    const std::string id = out_.Hash().Hex();
    t += "trailer << /Root 1 0 R /Size " + std::to_string(objects + 1) + " /ID [<" + id + "><" + id +
         ">] >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    out_.Put(t);
  }

  Output& out_;
  std::vector<std::uint64_t> offsets_;
  std::string scratch_;
};

}  // namespace

std::string WritePdf(const std::vector<PageImage>& pages) {
  std::string pdf;
  std::size_t total = 4096;
  for (const PageImage& p : pages) total += p.bytes().size() + 1024;
  pdf.reserve(total);
  Output out(pdf);
  DocumentWriter(out).Write(pages);
  return pdf;
}

void WritePdfFile(const std::vector<PageImage>& pages, const std::string& path) {
  std::string buffer;
  Output out(buffer, path);
  DocumentWriter(out).Write(pages);
  out.Close();
}

}  // namespace zv::companion::imageio
