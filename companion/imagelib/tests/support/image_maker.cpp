#include "support/image_maker.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::test {

Bitmap Pattern(int width, int height, int channels, int levels) {
  Bitmap b;
  b.width = width;
  b.height = height;
  b.channels = channels;
  b.px.resize(static_cast<std::size_t>(width) * height * channels);
  std::uint32_t seed = 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) {
        seed = seed * 1103515245u + 12345u;
        int v = ((x / 7 + y / 5 + c * 3) % 4) * 60 + ((x == y) ? 15 : 0) + static_cast<int>((seed >> 16) % 10);
        if (y < height / 4) v = 255 - v;  // top band differs from the bottom
        b.at(x, y, c) = static_cast<std::uint8_t>((v % 256) * levels / 256);
      }
  return b;
}

std::string MakeJpeg(const Bitmap& b, int dpi) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(b.width);
  c.image_height = static_cast<JDIMENSION>(b.height);
  c.input_components = b.channels;
  c.in_color_space = b.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  if (dpi > 0) {
    c.density_unit = 1;
    c.X_density = c.Y_density = static_cast<UINT16>(dpi);
  }
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(b.px.data() + static_cast<std::size_t>(c.next_scanline) * b.width * b.channels);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string s(reinterpret_cast<char*>(out), size);
  std::free(out);
  return s;
}

namespace {
void PngWrite(png_structp png, png_bytep data, png_size_t n) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), n);
}
void PngFlush(png_structp) {}
}  // namespace

std::string MakePng(const Bitmap& b, int colorType, int bitDepth, int dpi,
                    const std::vector<std::uint8_t>& paletteRgb) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(b.width), static_cast<png_uint_32>(b.height), bitDepth, colorType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    std::vector<png_color> pal(paletteRgb.size() / 3);
    for (std::size_t i = 0; i < pal.size(); ++i)
      pal[i] = {paletteRgb[i * 3], paletteRgb[i * 3 + 1], paletteRgb[i * 3 + 2]};
    png_set_PLTE(png, info, pal.data(), static_cast<int>(pal.size()));
  }
  if (dpi > 0) {
    const auto ppm = static_cast<png_uint_32>(dpi / 0.0254 + 0.5);
    png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
  }
  png_write_info(png, info);
  // Samples are packed into the row at the given depth.
  const int spp = b.channels;
  std::vector<std::uint8_t> row((static_cast<std::size_t>(b.width) * spp * bitDepth + 7) / 8 + 8);
  for (int y = 0; y < b.height; ++y) {
    std::fill(row.begin(), row.end(), 0);
    for (int x = 0; x < b.width; ++x)
      for (int c = 0; c < spp; ++c) {
        const std::size_t i = static_cast<std::size_t>(x) * spp + c;
        const unsigned v = b.px[(static_cast<std::size_t>(y) * b.width + x) * spp + c];
        if (bitDepth == 8) {
          row[i] = static_cast<std::uint8_t>(v);
        } else if (bitDepth == 16) {
          row[i * 2] = static_cast<std::uint8_t>(v);
          row[i * 2 + 1] = static_cast<std::uint8_t>(v ^ 0x5a);
        } else {
          const std::size_t bit = i * static_cast<std::size_t>(bitDepth);
          row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bitDepth - bit % 8));
        }
      }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::string MakeTiff(const std::vector<TiffPage>& pages) {
  const testing::TempDir dir;
  const std::string path = dir / "t.tif";
  TIFF* t = TIFFOpen(path.c_str(), "w");
  for (const TiffPage& p : pages) {
    const Bitmap& b = p.bitmap;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(b.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(b.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(p.bitsPerSample));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(b.channels));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, static_cast<uint16_t>(p.photometric));
    TIFFSetField(t, TIFFTAG_COMPRESSION, static_cast<uint16_t>(p.compression));
    if (p.compression == COMPRESSION_CCITTFAX3)
      TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, static_cast<uint32_t>(p.group3Options));
    if (b.channels == 4) {
      uint16_t extra = EXTRASAMPLE_UNASSALPHA;
      TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(p.rowsPerStrip > 0 ? p.rowsPerStrip : b.height));
    if (p.dpi > 0) {
      TIFFSetField(t, TIFFTAG_XRESOLUTION, p.dpi);
      TIFFSetField(t, TIFFTAG_YRESOLUTION, p.dpi);
      TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
    if (pages.size() > 1) TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(t)));
    for (int y = 0; y < b.height; ++y) {
      std::fill(row.begin(), row.end(), 0);
      for (int x = 0; x < b.width; ++x)
        for (int c = 0; c < b.channels; ++c) {
          const std::uint8_t v = b.px[(static_cast<std::size_t>(y) * b.width + x) * b.channels + c];
          if (p.bitsPerSample == 8)
            row[static_cast<std::size_t>(x) * b.channels + c] = v;
          else if (v)
            row[static_cast<std::size_t>(x) / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
      TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0);
    }
    TIFFWriteDirectory(t);
  }
  TIFFClose(t);
  return testing::ReadText(path);
}

std::string MakeBmp(const Bitmap& b, int bits, bool topDown, int dpi) {
  const int paletteEntries = bits == 8 ? 256 : bits == 1 ? 2 : 0;
  const std::size_t stride = ((static_cast<std::size_t>(b.width) * bits + 31) / 32) * 4;
  const std::size_t offset = 14 + 40 + paletteEntries * 4;
  std::string s(offset + stride * b.height, '\0');
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
  };
  auto put16 = [&](std::size_t at, std::uint16_t v) {
    s[at] = static_cast<char>(v);
    s[at + 1] = static_cast<char>(v >> 8);
  };
  s[0] = 'B';
  s[1] = 'M';
  put32(2, static_cast<std::uint32_t>(s.size()));
  put32(10, static_cast<std::uint32_t>(offset));
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(b.width));
  put32(22, static_cast<std::uint32_t>(topDown ? -b.height : b.height));
  put16(26, 1);
  put16(28, static_cast<std::uint16_t>(bits));
  put32(38, static_cast<std::uint32_t>(dpi / 0.0254 + 0.5));
  put32(42, static_cast<std::uint32_t>(dpi / 0.0254 + 0.5));
  for (int i = 0; i < paletteEntries; ++i) {  // B, G, R, 0: a ramp that differs per channel
    const int v = bits == 1 ? i * 255 : i;
    s[54 + i * 4] = static_cast<char>(v / 2);
    s[54 + i * 4 + 1] = static_cast<char>(v);
    s[54 + i * 4 + 2] = static_cast<char>(255 - v);
  }
  for (int r = 0; r < b.height; ++r) {
    const int y = topDown ? r : b.height - 1 - r;
    std::size_t at = offset + stride * r;
    for (int x = 0; x < b.width; ++x) {
      if (bits == 24) {
        s[at + x * 3] = static_cast<char>(b.px[(static_cast<std::size_t>(y) * b.width + x) * 3 + 2]);
        s[at + x * 3 + 1] = static_cast<char>(b.px[(static_cast<std::size_t>(y) * b.width + x) * 3 + 1]);
        s[at + x * 3 + 2] = static_cast<char>(b.px[(static_cast<std::size_t>(y) * b.width + x) * 3]);
      } else if (bits == 8) {
        s[at + x] = static_cast<char>(b.px[static_cast<std::size_t>(y) * b.width + x]);
      } else if (b.px[static_cast<std::size_t>(y) * b.width + x]) {
        s[at + x / 8] = static_cast<char>(s[at + x / 8] | (0x80 >> (x % 8)));
      }
    }
  }
  return s;
}

namespace {
int GifWrite(GifFileType* g, const GifByteType* data, int n) {
  static_cast<std::string*>(g->UserData)->append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(n));
  return n;
}
}  // namespace

std::string MakeGif(const Bitmap& idx, const std::vector<std::uint8_t>& pal, int transparent) {
  std::string out;
  int err = 0;
  GifFileType* g = EGifOpen(&out, GifWrite, &err);
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(pal.size() / 3), nullptr);
  for (int i = 0; i < map->ColorCount; ++i) map->Colors[i] = {pal[i * 3], pal[i * 3 + 1], pal[i * 3 + 2]};
  EGifSetGifVersion(g, true);
  EGifPutScreenDesc(g, idx.width, idx.height, map->BitsPerPixel, 0, map);
  if (transparent >= 0) {
    GifByteType gce[4] = {1, 0, 0, static_cast<GifByteType>(transparent)};
    EGifPutExtension(g, GRAPHICS_EXT_FUNC_CODE, 4, gce);
  }
  EGifPutImageDesc(g, 0, 0, idx.width, idx.height, false, nullptr);
  for (int y = 0; y < idx.height; ++y)
    EGifPutLine(g, const_cast<GifPixelType*>(idx.px.data() + static_cast<std::size_t>(y) * idx.width), idx.width);
  EGifCloseFile(g, &err);
  GifFreeMapObject(map);
  return out;
}

std::vector<PdfImage> InspectPdf(const std::string& bytes) {
  QPDF pdf;
  pdf.processMemoryFile("out", bytes.data(), bytes.size());
  std::vector<PdfImage> result;
  for (QPDFPageObjectHelper page : QPDFPageDocumentHelper(pdf).getAllPages()) {
    PdfImage r;
    auto box = page.getMediaBox().getArrayAsRectangle();
    r.pageWidth = box.urx - box.llx;
    r.pageHeight = box.ury - box.lly;
    auto images = page.getImages();
    if (images.size() != 1) throw std::runtime_error("page without exactly one image");
    QPDFObjectHandle img = images.begin()->second;
    QPDFObjectHandle d = img.getDict();
    r.width = static_cast<int>(d.getKey("/Width").getIntValue());
    r.height = static_cast<int>(d.getKey("/Height").getIntValue());
    r.bpc = static_cast<int>(d.getKey("/BitsPerComponent").getIntValue());
    r.filter = d.getKey("/Filter").unparse();
    QPDFObjectHandle cs = d.getKey("/ColorSpace");
    if (cs.isArray()) {
      r.colorSpace = cs.getArrayItem(0).unparse();
      r.palette = cs.getArrayItem(3).getStringValue();
    } else {
      r.colorSpace = cs.unparse();
    }
    if (d.hasKey("/DecodeParms")) r.decodeParms = d.getKey("/DecodeParms").unparse();
    if (d.hasKey("/Decode")) r.decode = d.getKey("/Decode").unparse();
    auto raw = img.getRawStreamData();
    r.raw.assign(reinterpret_cast<const char*>(raw->getBuffer()), raw->getSize());
    if (r.filter == "/FlateDecode") {
      auto dec = img.getStreamData(qpdf_dl_generalized);
      r.decoded.assign(reinterpret_cast<const char*>(dec->getBuffer()), dec->getSize());
    }
    result.push_back(std::move(r));
  }
  return result;
}

Bitmap RenderGray(const std::string& pdfPath, int page, int dpi) {
  Bitmap b;
  if (std::system("command -v pdftoppm >/dev/null 2>&1") != 0) return b;
  const testing::TempDir dir;
  const std::string out = dir / "r";
  const std::string cmd = "pdftoppm -gray -r " + std::to_string(dpi) + " -f " + std::to_string(page) + " -l " +
                          std::to_string(page) + " -singlefile '" + pdfPath + "' '" + out + "'";
  if (std::system(cmd.c_str()) != 0) return b;
  const std::string pgm = testing::ReadText(out + ".pgm");
  int w = 0, h = 0, max = 0, consumed = 0;
  if (std::sscanf(pgm.c_str(), "P5 %d %d %d%n", &w, &h, &max, &consumed) != 3) return b;
  b.width = w;
  b.height = h;
  b.channels = 1;
  b.px.assign(pgm.begin() + consumed + 1, pgm.begin() + consumed + 1 + static_cast<std::ptrdiff_t>(w) * h);
  return b;
}

}  // namespace zv::test
