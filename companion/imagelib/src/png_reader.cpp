// PNG through libpng: palette, gray and colour kept as they are (bit depth
// included); alpha and transparency composited onto white.
#include <csetjmp>
#include <cstring>

#include <png.h>

#include "image_internal.h"

namespace zv::companion::imageio {
namespace {

struct Source {
  const unsigned char* data;
  std::size_t size;
  std::size_t pos;
};

void ReadData(png_structp png, png_bytep out, png_size_t length) {
  auto* src = static_cast<Source*>(png_get_io_ptr(png));
  if (length > src->size - src->pos) png_error(png, "unexpected end of file");
  std::memcpy(out, src->data + src->pos, length);
  src->pos += length;
}

void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

// What the header says and how the rows will be written out.
struct Layout {
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  bool hasPhys = false;
  png_uint_32 xPpu = 0, yPpu = 0;
  int unit = 0;
  bool composite = false;  // alpha or tRNS present: expand to 8-bit + alpha
  int outChannels = 0;     // channels per pixel in the rows libpng delivers
  std::size_t rowBytes = 0;
};

// The row sink is a C++ object; only pointers to it cross setjmp.
struct Sink {
  PageImage* page;
  FlateWriter* flate;
  std::vector<unsigned char>* row;    // one delivered row
  std::vector<unsigned char>* out;    // one composited row
  std::vector<unsigned char>* whole;  // interlaced images only
};

void EmitRow(const Layout& lay, Sink& sink, const unsigned char* row) {
  if (!lay.composite) {
    sink.flate->Write(row, lay.rowBytes);
    return;
  }
  const int colour = lay.outChannels - 1;  // 1 gray or 3 RGB, then alpha
  auto& out = *sink.out;
  for (png_uint_32 x = 0; x < lay.width; ++x) {
    const unsigned char* px = row + static_cast<std::size_t>(x) * lay.outChannels;
    for (int c = 0; c < colour; ++c) out[static_cast<std::size_t>(x) * colour + c] = OnWhite(px[c], px[colour]);
  }
  sink.flate->Write(out.data(), static_cast<std::size_t>(lay.width) * colour);
}

// 0 success, 1 libpng error, 2 size refused (after the header only).
int Run(Source* src, bool decode, Layout* lay, Sink* sink) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (png == nullptr) return 1;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return 1;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return 1;
  }
  png_set_read_fn(png, src, ReadData);
  png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
  png_read_info(png, info);
  int unit = 0;
  png_get_IHDR(png, info, &lay->width, &lay->height, &lay->bitDepth, &lay->colorType, &lay->interlace, nullptr,
               nullptr);
  if (png_get_pHYs(png, info, &lay->xPpu, &lay->yPpu, &unit) != 0) {
    lay->hasPhys = true;
    lay->unit = unit;
  }
  const std::uint64_t w = lay->width, h = lay->height;
  if (w == 0 || h == 0 || w > kImageMaxSide || h > kImageMaxSide || w * h > kImageMaxPixels) {
    png_destroy_read_struct(&png, &info, nullptr);
    return 2;
  }
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  lay->composite = (lay->colorType & PNG_COLOR_MASK_ALPHA) != 0 || trns;
  if (!decode) {
    png_destroy_read_struct(&png, &info, nullptr);
    return 0;
  }
  if (lay->composite) {
    png_set_expand(png);  // palette to RGB, tRNS to alpha, small gray to 8 bits
    png_set_strip_16(png);
    if ((lay->colorType & PNG_COLOR_MASK_ALPHA) == 0) png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
  }
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  lay->outChannels = png_get_channels(png, info);
  lay->rowBytes = png_get_rowbytes(png, info);
  if (lay->composite && lay->outChannels != 2 && lay->outChannels != 4) png_error(png, "layout");

  sink->row->resize(lay->rowBytes);
  if (lay->composite) sink->out->resize(static_cast<std::size_t>(lay->width) * 3);
  if (passes > 1) {
    // Interlaced rows are only complete after the last pass.
    sink->whole->resize(lay->rowBytes * lay->height);
    for (int p = 0; p < passes; ++p)
      for (png_uint_32 y = 0; y < lay->height; ++y) png_read_row(png, sink->whole->data() + lay->rowBytes * y, nullptr);
    for (png_uint_32 y = 0; y < lay->height; ++y) EmitRow(*lay, *sink, sink->whole->data() + lay->rowBytes * y);
  } else {
    for (png_uint_32 y = 0; y < lay->height; ++y) {
      png_read_row(png, sink->row->data(), nullptr);
      EmitRow(*lay, *sink, sink->row->data());
    }
  }
  png_read_end(png, nullptr);

  if (lay->colorType == PNG_COLOR_TYPE_PALETTE && !lay->composite) {
    png_colorp colours = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &colours, &count) == 0 || count <= 0) png_error(png, "no palette");
    sink->page->palette.resize(static_cast<std::size_t>(count) * 3);
    for (int i = 0; i < count; ++i) {
      sink->page->palette[i * 3] = static_cast<char>(colours[i].red);
      sink->page->palette[i * 3 + 1] = static_cast<char>(colours[i].green);
      sink->page->palette[i * 3 + 2] = static_cast<char>(colours[i].blue);
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return 0;
}

}  // namespace

void ReadPng(std::string_view bytes, bool decode, std::vector<PageImage>& pages) {
  Source src{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
  Layout lay;
  PageImage page;
  FlateWriter flate;
  std::vector<unsigned char> row, out, whole;
  Sink sink{&page, &flate, &row, &out, &whole};
  const int rc = Run(&src, decode, &lay, &sink);
  if (rc == 1) Fail(IMAGEIO_E_CORRUPT, "PNG: damaged data");
  if (rc == 2) CheckDimensions(lay.width, lay.height);

  page.info.width = static_cast<int>(lay.width);
  page.info.height = static_cast<int>(lay.height);
  if (lay.hasPhys && lay.unit == PNG_RESOLUTION_METER) {
    page.info.xDpi = lay.xPpu * 0.0254;
    page.info.yDpi = lay.yPpu * 0.0254;
  }
  const bool colour = (lay.colorType & PNG_COLOR_MASK_COLOR) != 0;
  const int channels =
      lay.colorType == PNG_COLOR_TYPE_PALETTE ? 1 : (colour ? 3 : 1) + ((lay.colorType & PNG_COLOR_MASK_ALPHA) ? 1 : 0);
  page.info.bitsPerPixel = lay.bitDepth * channels;
  page.filter = Filter::kFlate;
  if (lay.composite) {
    page.space = colour ? Space::kRgb : Space::kGray;
    page.bitsPerComponent = 8;
  } else if (lay.colorType == PNG_COLOR_TYPE_PALETTE) {
    page.space = Space::kIndexed;
    page.bitsPerComponent = lay.bitDepth;
  } else {
    page.space = colour ? Space::kRgb : Space::kGray;
    page.bitsPerComponent = lay.bitDepth;  // 16-bit samples are big-endian in both
  }
  if (decode) page.data = flate.Finish();
  pages.push_back(std::move(page));
}

}  // namespace zv::companion::imageio
