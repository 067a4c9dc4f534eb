// TIFF through libtiff, read from memory or from the file. Single-strip CCITT
// fax pages are embedded unchanged; everything else is decoded and
// Flate-compressed.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include <tiffio.h>

#include "image_internal.h"

namespace zv::companion::imageio {
namespace {

struct MemFile {
  const unsigned char* data;  // null when libtiff reads the file itself
  toff_t size;
  toff_t pos;
  bool failed = false;  // libtiff reported an error
  std::string message;
};

tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t n) {
  auto* f = static_cast<MemFile*>(h);
  if (n <= 0 || f->pos >= f->size) return 0;
  const toff_t left = f->size - f->pos;
  const toff_t count = static_cast<toff_t>(n) < left ? static_cast<toff_t>(n) : left;
  std::memcpy(buf, f->data + f->pos, count);
  f->pos += count;
  return static_cast<tmsize_t>(count);
}
tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }
toff_t SeekProc(thandle_t h, toff_t off, int whence) {
  auto* f = static_cast<MemFile*>(h);
  toff_t base = 0;
  if (whence == SEEK_CUR)
    base = f->pos;
  else if (whence == SEEK_END)
    base = f->size;
  f->pos = base + off;
  return f->pos;
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<MemFile*>(h)->size; }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

int OnError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto* f = static_cast<MemFile*>(user);
  if (!f->failed) {
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    f->message = std::string(module ? module : "") + ": " + text;
  }
  f->failed = true;
  return 1;  // handled: nothing on stderr
}
int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

TiffPtr Open(MemFile& file) {
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  if (opts == nullptr) throw std::bad_alloc();
  TIFFOpenOptionsSetErrorHandlerExtR(opts, OnError, &file);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, OnWarning, &file);
  TIFFOpenOptionsSetMaxSingleMemAlloc(opts, static_cast<tmsize_t>(512) << 20);
  // "m": never memory-map (the bytes are already in memory).
  TIFF* t = TIFFClientOpenExt("image", "rm", &file, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, MapProc,
                              UnmapProc, opts);
  TIFFOpenOptionsFree(opts);
  if (t == nullptr) Fail(IMAGEIO_E_CORRUPT, "TIFF: cannot open: " + file.message);
  return TiffPtr(t);
}

// A TIFF opened from its path, kept open (with its error sink) while pages
// still have strips to fetch from it.
struct FileSource {
  MemFile sink{nullptr, 0, 0};
  TiffPtr tif;
};

std::shared_ptr<FileSource> OpenPath(const std::string& path, std::uint64_t size) {
  auto source = std::make_shared<FileSource>();
  source->sink.size = size;
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  if (opts == nullptr) throw std::bad_alloc();
  TIFFOpenOptionsSetErrorHandlerExtR(opts, OnError, &source->sink);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, OnWarning, &source->sink);
  TIFFOpenOptionsSetMaxSingleMemAlloc(opts, static_cast<tmsize_t>(512) << 20);
  // "m": plain reads, never a mapping: a file cut short under a mapping would
  // kill the process instead of failing the conversion.
  source->tif.reset(TIFFOpenExt(path.c_str(), "rm", opts));
  TIFFOpenOptionsFree(opts);
  if (!source->tif) return nullptr;
  return source;
}

// The raw bytes at `offset`, through the open file's own read procedures
// (independent of the directory libtiff is on).
void ReadRaw(TIFF* t, std::uint64_t offset, std::size_t count, std::string& buffer) {
  buffer.resize(count);
  const thandle_t h = TIFFClientdata(t);
  if (TIFFGetSeekProc(t)(h, offset, SEEK_SET) != offset) Fail(IMAGEIO_E_CORRUPT, "TIFF: cannot reach a strip");
  std::size_t got = 0;
  while (got < count) {
    const tmsize_t n = TIFFGetReadProc(t)(h, buffer.data() + got, static_cast<tmsize_t>(count - got));
    if (n <= 0) Fail(IMAGEIO_E_CORRUPT, "TIFF: strip cut short");
    got += static_cast<std::size_t>(n);
  }
}

template <typename T>
T Field(TIFF* t, ttag_t tag, T fallback) {
  T value{};
  return TIFFGetField(t, tag, &value) == 1 ? value : fallback;
}
template <typename T>
T FieldDefaulted(TIFF* t, ttag_t tag) {
  T value{};
  TIFFGetFieldDefaulted(t, tag, &value);
  return value;
}

void Check(MemFile& file, const char* what) {
  if (file.failed) Fail(IMAGEIO_E_CORRUPT, std::string("TIFF: ") + what + ": " + file.message);
}

ImagePageInfo PageInfo(TIFF* t) {
  ImagePageInfo info;
  const auto w = Field<uint32_t>(t, TIFFTAG_IMAGEWIDTH, 0);
  const auto h = Field<uint32_t>(t, TIFFTAG_IMAGELENGTH, 0);
  CheckDimensions(w, h);
  info.width = static_cast<int>(w);
  info.height = static_cast<int>(h);
  const auto bps = FieldDefaulted<uint16_t>(t, TIFFTAG_BITSPERSAMPLE);
  const auto spp = FieldDefaulted<uint16_t>(t, TIFFTAG_SAMPLESPERPIXEL);
  info.bitsPerPixel = bps * spp;
  float xr = 0, yr = 0;
  const bool hasX = TIFFGetField(t, TIFFTAG_XRESOLUTION, &xr) == 1;
  const bool hasY = TIFFGetField(t, TIFFTAG_YRESOLUTION, &yr) == 1;
  const auto unit = FieldDefaulted<uint16_t>(t, TIFFTAG_RESOLUTIONUNIT);
  double scale = unit == RESUNIT_INCH ? 1.0 : unit == RESUNIT_CENTIMETER ? 2.54 : 0.0;
  if (hasX && xr > 0 && xr < 1e6) info.xDpi = xr * scale;
  if (hasY && yr > 0 && yr < 1e6) info.yDpi = yr * scale;
  if (info.xDpi > 0 && info.yDpi <= 0) info.yDpi = info.xDpi;
  if (info.yDpi > 0 && info.xDpi <= 0) info.xDpi = info.yDpi;
  return info;
}

// Single-strip G3/G4 pages go in as they are. False when the page needs decoding.
bool TryPassThrough(TIFF* t, MemFile& file, const std::shared_ptr<FileSource>& source, PageImage& page) {
  const auto compression = FieldDefaulted<uint16_t>(t, TIFFTAG_COMPRESSION);
  if (compression != COMPRESSION_CCITTFAX3 && compression != COMPRESSION_CCITTFAX4) return false;
  if (TIFFIsTiled(t) || TIFFNumberOfStrips(t) != 1) return false;
  if (FieldDefaulted<uint16_t>(t, TIFFTAG_BITSPERSAMPLE) != 1 ||
      FieldDefaulted<uint16_t>(t, TIFFTAG_SAMPLESPERPIXEL) != 1)
    return false;
  const auto photometric = Field<uint16_t>(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  if (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK) return false;
  if (FieldDefaulted<uint32_t>(t, TIFFTAG_ROWSPERSTRIP) < static_cast<uint32_t>(page.info.height)) return false;
  if (compression == COMPRESSION_CCITTFAX3) {
    const auto options = Field<uint32_t>(t, TIFFTAG_GROUP3OPTIONS, 0);
    if (options & GROUP3OPT_UNCOMPRESSED) return false;
    const bool twoD = (options & GROUP3OPT_2DENCODING) != 0;
    const bool fill = (options & GROUP3OPT_FILLBITS) != 0;
    // With fill bits the EOL, not the line, is byte-aligned; for 2-D lines the
    // tag bit follows it, which the PDF filter cannot express.
    if (twoD && fill) return false;
    page.ccittK = twoD ? 4 : 0;
    page.encodedByteAlign = fill;
  } else {
    if (Field<uint32_t>(t, TIFFTAG_GROUP4OPTIONS, 0) & GROUP4OPT_UNCOMPRESSED) return false;
    page.ccittK = -1;
  }
  uint64_t* counts = nullptr;
  uint64_t* offsets = nullptr;
  if (TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts) != 1 || counts == nullptr || counts[0] == 0 ||
      TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets) != 1 || offsets == nullptr)
    Fail(IMAGEIO_E_CORRUPT, "TIFF: strip without data");
  if (offsets[0] > file.size || counts[0] > file.size - offsets[0])
    Fail(IMAGEIO_E_CORRUPT, "TIFF: strip past the end of the file");
  const bool reversed = FieldDefaulted<uint16_t>(t, TIFFTAG_FILLORDER) == FILLORDER_LSB2MSB;
  if (source) {
    // Left in the file: read into the writer's buffer as the page goes out.
    page.fetch = [source, offset = offsets[0], count = static_cast<std::size_t>(counts[0]),
                  reversed](std::string& buffer) {
      ReadRaw(source->tif.get(), offset, count, buffer);
      if (reversed) TIFFReverseBits(reinterpret_cast<uint8_t*>(buffer.data()), static_cast<tmsize_t>(count));
    };
  } else {
    const std::string_view strip(reinterpret_cast<const char*>(file.data) + offsets[0],
                                 static_cast<std::size_t>(counts[0]));
    if (reversed) {
      page.data.assign(strip);
      TIFFReverseBits(reinterpret_cast<uint8_t*>(page.data.data()), static_cast<tmsize_t>(page.data.size()));
    } else {
      page.view = strip;  // borrowed: no copy of the fax data
    }
  }
  page.filter = Filter::kCcitt;
  page.space = Space::kGray;
  page.bitsPerComponent = 1;
  // The codes' "white" runs are the 0 samples; min-is-black files call those black.
  page.blackIs1 = photometric == PHOTOMETRIC_MINISBLACK;
  return true;
}

// Strip images of 1/2/4/8-bit gray, palette and 8-bit RGB (alpha dropped onto
// white), read scanline by scanline. False when another path is needed.
bool TryScanlines(TIFF* t, MemFile& file, PageImage& page) {
  if (TIFFIsTiled(t)) return false;
  const auto compression = FieldDefaulted<uint16_t>(t, TIFFTAG_COMPRESSION);
  if (compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG) return false;
  if (FieldDefaulted<uint16_t>(t, TIFFTAG_PLANARCONFIG) != PLANARCONFIG_CONTIG) return false;
  const auto bps = FieldDefaulted<uint16_t>(t, TIFFTAG_BITSPERSAMPLE);
  const auto spp = FieldDefaulted<uint16_t>(t, TIFFTAG_SAMPLESPERPIXEL);
  const auto photometric = Field<uint16_t>(t, TIFFTAG_PHOTOMETRIC, 0xffff);
  const auto width = static_cast<std::size_t>(page.info.width);
  uint16_t extraCount = 0;
  uint16_t* extraTypes = nullptr;
  TIFFGetFieldDefaulted(t, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
  bool alpha = false;
  if (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK) {
    if (spp != 1 || (bps != 1 && bps != 2 && bps != 4 && bps != 8)) return false;
    page.space = Space::kGray;
    page.invert = photometric == PHOTOMETRIC_MINISWHITE;
  } else if (photometric == PHOTOMETRIC_PALETTE) {
    if (spp != 1 || (bps != 1 && bps != 2 && bps != 4 && bps != 8)) return false;
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (TIFFGetField(t, TIFFTAG_COLORMAP, &r, &g, &b) != 1) Fail(IMAGEIO_E_CORRUPT, "TIFF: no colormap");
    const std::size_t n = std::size_t{1} << bps;
    // Some writers store 8-bit values in the 16-bit map.
    bool eightBit = true;
    for (std::size_t i = 0; i < n; ++i)
      if (r[i] > 255 || g[i] > 255 || b[i] > 255) eightBit = false;
    const int shift = eightBit ? 0 : 8;
    page.palette.resize(n * 3);
    for (std::size_t i = 0; i < n; ++i) {
      page.palette[i * 3] = static_cast<char>(r[i] >> shift);
      page.palette[i * 3 + 1] = static_cast<char>(g[i] >> shift);
      page.palette[i * 3 + 2] = static_cast<char>(b[i] >> shift);
    }
    page.space = Space::kIndexed;
  } else if (photometric == PHOTOMETRIC_RGB) {
    if (bps != 8 || spp < 3 || spp - extraCount != 3 || spp > 4) return false;
    alpha = spp == 4;
    if (alpha && extraTypes != nullptr && extraTypes[0] == EXTRASAMPLE_ASSOCALPHA) return false;
    page.space = Space::kRgb;
  } else {
    return false;
  }
  page.bitsPerComponent = bps;
  page.filter = Filter::kFlate;

  const tmsize_t lineSize = TIFFScanlineSize(t);
  const std::size_t packed = page.space == Space::kRgb ? width * 3 : (width * bps + 7) / 8;
  if (lineSize <= 0 || static_cast<std::size_t>(lineSize) < (alpha ? width * 4 : packed))
    Fail(IMAGEIO_E_CORRUPT, "TIFF: inconsistent row size");
  std::vector<unsigned char> line(static_cast<std::size_t>(lineSize));
  std::vector<unsigned char> rgb(alpha ? width * 3 : 0);
  FlateWriter flate;
  for (int y = 0; y < page.info.height; ++y) {
    if (TIFFReadScanline(t, line.data(), static_cast<uint32_t>(y), 0) < 0 || file.failed)
      Check(file, "row"), Fail(IMAGEIO_E_CORRUPT, "TIFF: unreadable row");
    if (alpha) {
      for (std::size_t x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) rgb[x * 3 + c] = OnWhite(line[x * 4 + c], line[x * 4 + 3]);
      flate.Write(rgb.data(), rgb.size());
    } else {
      flate.Write(line.data(), packed);
    }
  }
  page.data = flate.Finish();
  return true;
}

// Anything else libtiff can render (JPEG-in-TIFF, YCbCr, CMYK, 16-bit,
// planar, tiles): RGBA in bands, composited onto white, as RGB.
void ReadRgba(TIFF* t, MemFile& file, PageImage& page) {
  char emsg[1024] = {0};
  if (!TIFFRGBAImageOK(t, emsg)) Fail(IMAGEIO_E_UNSUPPORTED, std::string("TIFF: ") + emsg);
  TIFFRGBAImage img;
  if (!TIFFRGBAImageBegin(&img, t, 1, emsg)) Fail(IMAGEIO_E_CORRUPT, std::string("TIFF: ") + emsg);
  struct Ender {
    TIFFRGBAImage* i;
    ~Ender() { TIFFRGBAImageEnd(i); }
  } ender{&img};
  const std::size_t width = img.width;
  uint32_t band = TIFFIsTiled(t) ? FieldDefaulted<uint32_t>(t, TIFFTAG_TILELENGTH)
                                 : FieldDefaulted<uint32_t>(t, TIFFTAG_ROWSPERSTRIP);
  if (band == 0 || band > img.height) band = img.height;
  const uint32_t maxBand = static_cast<uint32_t>(std::max<std::size_t>(1, (64u << 20) / (width * 4)));
  if (band > maxBand) band = std::max<uint32_t>(1, maxBand);
  std::vector<uint32_t> raster(width * band);
  std::vector<unsigned char> rgb(width * 3);
  FlateWriter flate;
  for (uint32_t row = 0; row < img.height; row += band) {
    const uint32_t rows = std::min(band, img.height - row);
    img.row_offset = static_cast<int>(row);
    img.col_offset = 0;
    if (!TIFFRGBAImageGet(&img, raster.data(), img.width, rows) || file.failed)
      Check(file, "pixels"), Fail(IMAGEIO_E_CORRUPT, "TIFF: unreadable pixels");
    // Each band comes bottom-up.
    for (uint32_t r = 0; r < rows; ++r) {
      const uint32_t* src = raster.data() + static_cast<std::size_t>(rows - 1 - r) * width;
      for (std::size_t x = 0; x < width; ++x) {
        const uint32_t p = src[x];
        const auto a = static_cast<uint8_t>(TIFFGetA(p));
        rgb[x * 3] = OnWhite(static_cast<uint8_t>(TIFFGetR(p)), a);
        rgb[x * 3 + 1] = OnWhite(static_cast<uint8_t>(TIFFGetG(p)), a);
        rgb[x * 3 + 2] = OnWhite(static_cast<uint8_t>(TIFFGetB(p)), a);
      }
      flate.Write(rgb.data(), rgb.size());
    }
  }
  page.filter = Filter::kFlate;
  page.space = Space::kRgb;
  page.bitsPerComponent = 8;
  page.data = flate.Finish();
}

void ReadPages(TIFF* t, MemFile& file, const std::shared_ptr<FileSource>& source, bool decode,
               std::vector<PageImage>& pages) {
  int index = 0;
  do {
    if (++index > kImageMaxPages) Fail(IMAGEIO_E_SIZE, "TIFF: too many pages");
    Check(file, "directory");
    PageImage page;
    page.info = PageInfo(t);
    if (decode) {
      if (!TryPassThrough(t, file, source, page) && !TryScanlines(t, file, page)) ReadRgba(t, file, page);
      Check(file, "page");
    }
    pages.push_back(std::move(page));
  } while (TIFFReadDirectory(t) == 1);
  // A broken link to the next page is damage, not the end of the file.
  Check(file, "directory chain");
}

}  // namespace

void ReadTiff(std::string_view bytes, bool decode, std::vector<PageImage>& pages) {
  MemFile file{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
  TiffPtr tif = Open(file);
  ReadPages(tif.get(), file, nullptr, decode, pages);
}

bool ReadTiffFile(const std::string& path, std::uint64_t size, std::vector<PageImage>& pages) {
  const std::shared_ptr<FileSource> source = OpenPath(path, size);
  if (!source) return false;
  ReadPages(source->tif.get(), source->sink, source, true, pages);
  if (pages.empty()) Fail(IMAGEIO_E_CORRUPT, "no pages");
  return true;
}

}  // namespace zv::companion::imageio
