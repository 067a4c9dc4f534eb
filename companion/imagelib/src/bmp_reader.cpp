// BMP: a small reader of our own for 1/4/8-bit palette (uncompressed, RLE4,
// RLE8), 24-bit and 32-bit images. Every offset is checked against the file.
#include <cstring>

#include "image_internal.h"

namespace zv::companion::imageio {
namespace {

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;

std::uint32_t U32(std::string_view b, std::size_t at) {
  if (at + 4 > b.size()) Fail(IMAGEIO_E_CORRUPT, "BMP: header cut short");
  const auto* p = reinterpret_cast<const unsigned char*>(b.data()) + at;
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t U16(std::string_view b, std::size_t at) {
  if (at + 2 > b.size()) Fail(IMAGEIO_E_CORRUPT, "BMP: header cut short");
  const auto* p = reinterpret_cast<const unsigned char*>(b.data()) + at;
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

struct Header {
  std::uint32_t dataOffset = 0, headerSize = 0;
  std::uint32_t width = 0, height = 0;
  bool topDown = false;
  int bits = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t colours = 0;
  double xDpi = 0, yDpi = 0;
  std::uint32_t masks[4] = {0, 0, 0, 0};
};

Header ParseHeader(std::string_view b) {
  if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') Fail(IMAGEIO_E_UNSUPPORTED, "not a BMP file");
  Header h;
  h.dataOffset = U32(b, 10);
  h.headerSize = U32(b, 14);
  if (h.headerSize == 12) {  // OS/2 core header
    h.width = U16(b, 18);
    const std::uint16_t height = U16(b, 20);
    h.height = height;
    h.bits = U16(b, 24);
  } else if (h.headerSize >= 40 && h.headerSize <= 124) {
    const auto w = static_cast<std::int32_t>(U32(b, 18));
    const auto hh = static_cast<std::int32_t>(U32(b, 22));
    if (w <= 0 || hh == 0 || hh == INT32_MIN) Fail(IMAGEIO_E_SIZE, "BMP: no pixels");
    h.width = static_cast<std::uint32_t>(w);
    h.topDown = hh < 0;
    h.height = static_cast<std::uint32_t>(hh < 0 ? -hh : hh);
    h.bits = U16(b, 28);
    h.compression = U32(b, 30);
    const auto xppm = static_cast<std::int32_t>(U32(b, 38));
    const auto yppm = static_cast<std::int32_t>(U32(b, 42));
    if (xppm > 0 && yppm > 0) {
      h.xDpi = xppm * 0.0254;
      h.yDpi = yppm * 0.0254;
    }
    h.colours = U32(b, 46);
    if (h.compression == kBiBitfields) {
      // Masks follow a 40-byte header, or are part of a longer one.
      for (int i = 0; i < 3; ++i) h.masks[i] = U32(b, 54 + 4 * static_cast<std::size_t>(i));
    }
  } else {
    Fail(IMAGEIO_E_UNSUPPORTED, "BMP: unknown header");
  }
  CheckDimensions(h.width, h.height);
  const bool palette = h.bits == 1 || h.bits == 4 || h.bits == 8;
  if (!palette && h.bits != 24 && h.bits != 32) Fail(IMAGEIO_E_UNSUPPORTED, "BMP: unsupported depth");
  if (h.compression == kBiRle8 && h.bits != 8) Fail(IMAGEIO_E_CORRUPT, "BMP: RLE8 needs 8 bits");
  if (h.compression == kBiRle4 && h.bits != 4) Fail(IMAGEIO_E_CORRUPT, "BMP: RLE4 needs 4 bits");
  if (h.compression == kBiBitfields && h.bits != 32) Fail(IMAGEIO_E_UNSUPPORTED, "BMP: bit fields");
  if (h.compression > kBiBitfields) Fail(IMAGEIO_E_UNSUPPORTED, "BMP: unsupported compression");
  if (h.dataOffset >= b.size()) Fail(IMAGEIO_E_CORRUPT, "BMP: pixel data past the end");
  return h;
}

// Expands RLE data into bottom-up rows of one byte per pixel index.
std::vector<unsigned char> DecodeRle(std::string_view b, const Header& h) {
  std::vector<unsigned char> pixels(static_cast<std::size_t>(h.width) * h.height, 0);
  std::size_t at = h.dataOffset;
  std::uint32_t x = 0, y = 0;
  auto put = [&](unsigned v) {
    if (x < h.width && y < h.height) pixels[static_cast<std::size_t>(y) * h.width + x] = static_cast<unsigned char>(v);
    ++x;
  };
  auto byteAt = [&](std::size_t i) -> unsigned {
    if (i >= b.size()) Fail(IMAGEIO_E_CORRUPT, "BMP: RLE data past the end");
    return static_cast<unsigned char>(b[i]);
  };
  const bool four = h.compression == kBiRle4;
  while (y < h.height) {
    const unsigned count = byteAt(at), value = byteAt(at + 1);
    at += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i) put(four ? ((i & 1) ? value & 15 : value >> 4) : value);
    } else if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      x += byteAt(at);
      y += byteAt(at + 1);
      at += 2;
    } else {
      const unsigned n = value;
      const std::size_t bytes = four ? (n + 1) / 2 : n;
      for (unsigned i = 0; i < n; ++i) {
        const unsigned v = four ? ((i & 1) ? byteAt(at + i / 2) & 15 : byteAt(at + i / 2) >> 4) : byteAt(at + i);
        put(v);
      }
      at += (bytes + 1) & ~std::size_t{1};
    }
  }
  return pixels;
}

}  // namespace

void ReadBmp(std::string_view b, bool decode, std::vector<PageImage>& pages) {
  const Header h = ParseHeader(b);
  PageImage page;
  page.info.width = static_cast<int>(h.width);
  page.info.height = static_cast<int>(h.height);
  page.info.xDpi = h.xDpi;
  page.info.yDpi = h.yDpi;
  page.info.bitsPerPixel = h.bits;
  page.filter = Filter::kFlate;
  const bool palette = h.bits <= 8;
  if (palette) {
    const std::size_t entry = h.headerSize == 12 ? 3 : 4;
    const std::size_t max = std::size_t{1} << h.bits;
    std::size_t count = h.colours == 0 || h.colours > max ? max : h.colours;
    const std::size_t at =
        14 + static_cast<std::size_t>(h.headerSize) + (h.compression == kBiBitfields && h.headerSize == 40 ? 12 : 0);
    if (at + count * entry > h.dataOffset || at + count * entry > b.size())
      Fail(IMAGEIO_E_CORRUPT, "BMP: palette cut short");
    page.palette.resize(max * 3, '\0');  // indexes beyond the palette read as black
    for (std::size_t i = 0; i < count; ++i) {
      page.palette[i * 3] = b[at + i * entry + 2];
      page.palette[i * 3 + 1] = b[at + i * entry + 1];
      page.palette[i * 3 + 2] = b[at + i * entry];
    }
    page.space = Space::kIndexed;
  } else {
    page.space = Space::kRgb;
  }
  page.bitsPerComponent = palette ? h.bits : 8;
  if (!decode) {
    pages.push_back(std::move(page));
    return;
  }
  const std::size_t width = h.width;
  FlateWriter flate;
  if (h.compression == kBiRle4 || h.compression == kBiRle8) {
    const std::vector<unsigned char> pixels = DecodeRle(b, h);
    page.bitsPerComponent = 8;
    for (std::uint32_t r = 0; r < h.height; ++r) {
      const std::uint32_t y = h.topDown ? r : h.height - 1 - r;
      flate.Write(pixels.data() + static_cast<std::size_t>(y) * width, width);
    }
  } else {
    const std::size_t stride = ((width * static_cast<std::size_t>(h.bits) + 31) / 32) * 4;
    if (static_cast<std::uint64_t>(stride) * h.height > b.size() - h.dataOffset)
      Fail(IMAGEIO_E_CORRUPT, "BMP: pixel data cut short");
    std::vector<unsigned char> out(palette ? (width * h.bits + 7) / 8 : width * 3);
    // Shifts of 32-bit bit-field masks; plain 32-bit pixels are B, G, R, X.
    auto shiftOf = [](std::uint32_t mask) {
      int s = 0;
      while (mask != 0 && (mask & 1u) == 0) mask >>= 1, ++s;
      return s;
    };
    const std::uint32_t rm = h.compression == kBiBitfields ? h.masks[0] : 0x00ff0000u;
    const std::uint32_t gm = h.compression == kBiBitfields ? h.masks[1] : 0x0000ff00u;
    const std::uint32_t bm = h.compression == kBiBitfields ? h.masks[2] : 0x000000ffu;
    const int rs = shiftOf(rm), gs = shiftOf(gm), bs = shiftOf(bm);
    for (std::uint32_t r = 0; r < h.height; ++r) {
      const std::uint32_t y = h.topDown ? r : h.height - 1 - r;
      const auto* row = reinterpret_cast<const unsigned char*>(b.data()) + h.dataOffset + stride * y;
      if (palette) {
        std::memcpy(out.data(), row, out.size());
      } else if (h.bits == 24) {
        for (std::size_t x = 0; x < width; ++x) {
          out[x * 3] = row[x * 3 + 2];
          out[x * 3 + 1] = row[x * 3 + 1];
          out[x * 3 + 2] = row[x * 3];
        }
      } else {
        for (std::size_t x = 0; x < width; ++x) {
          const std::uint32_t p = row[x * 4] | (row[x * 4 + 1] << 8) | (row[x * 4 + 2] << 16) |
                                  (static_cast<std::uint32_t>(row[x * 4 + 3]) << 24);
          out[x * 3] = static_cast<unsigned char>((p & rm) >> rs);
          out[x * 3 + 1] = static_cast<unsigned char>((p & gm) >> gs);
          out[x * 3 + 2] = static_cast<unsigned char>((p & bm) >> bs);
        }
      }
      flate.Write(out.data(), out.size());
    }
  }
  page.data = flate.Finish();
  pages.push_back(std::move(page));
}

}  // namespace zv::companion::imageio
