// JPEG: checked with libjpeg, then embedded byte for byte (DCTDecode).
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
// jerror.h needs the configuration jpeglib.h brings in first.
#include <jerror.h>

#include "image_internal.h"

namespace zv::companion::imageio {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  int corruptWarnings;
  char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Corrupt-data warnings (truncation, bad codes) make the file unusable for
// pass-through; harmless ones (unknown JFIF revision, stray bytes between
// markers) do not.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  switch (cinfo->err->msg_code) {
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL: ++err->corruptWarnings; break;
    default: break;
  }
}

void OnOutput(j_common_ptr) {}

struct Header {
  int width = 0, height = 0, components = 0, precision = 0;
  J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
  bool adobe = false;
  int densityUnit = 0, xDensity = 0, yDensity = 0;
};

// Returns 0 on success, 1 on a libjpeg error, 2 on corrupt-data warnings,
// 3 when the header's size is out of bounds (nothing decoded then).
// Plain C data only between setjmp and longjmp.
int Examine(const unsigned char* data, unsigned long size, bool decode, Header* header, char* message) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnError;
  err.base.emit_message = OnMessage;
  err.base.output_message = OnOutput;
  err.corruptWarnings = 0;
  err.message[0] = '\0';
  JSAMPARRAY rows = nullptr;
  if (setjmp(err.jump)) {
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
    jpeg_destroy_decompress(&cinfo);
    return 1;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, size);
  jpeg_read_header(&cinfo, TRUE);
  header->width = static_cast<int>(cinfo.image_width);
  header->height = static_cast<int>(cinfo.image_height);
  header->components = cinfo.num_components;
  header->precision = cinfo.data_precision;
  header->colorSpace = cinfo.jpeg_color_space;
  header->adobe = cinfo.saw_Adobe_marker != 0;
  header->densityUnit = cinfo.saw_JFIF_marker ? cinfo.density_unit : 0;
  header->xDensity = cinfo.X_density;
  header->yDensity = cinfo.Y_density;
  const std::uint64_t w = cinfo.image_width, h = cinfo.image_height;
  if (w == 0 || h == 0 || w > kImageMaxSide || h > kImageMaxSide || w * h > kImageMaxPixels) {
    jpeg_destroy_decompress(&cinfo);
    return 3;
  }
  if (decode) {
    // Every entropy-coded bit is read (that is where truncation and damage
    // show), but the picture is reconstructed at an eighth of its size.
    cinfo.scale_num = 1;
    cinfo.scale_denom = 8;
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
    cinfo.buffered_image = FALSE;
    jpeg_start_decompress(&cinfo);
    rows = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                      cinfo.output_width * cinfo.output_components, 1);
    while (cinfo.output_scanline < cinfo.output_height) jpeg_read_scanlines(&cinfo, rows, 1);
    jpeg_finish_decompress(&cinfo);
  }
  const int warnings = err.corruptWarnings;
  jpeg_destroy_decompress(&cinfo);
  return warnings > 0 ? 2 : 0;
}

double Dpi(int unit, int density) {
  if (density <= 0) return 0;
  if (unit == 1) return density;
  if (unit == 2) return density * 2.54;
  return 0;
}

}  // namespace

void ReadJpeg(std::string_view bytes, bool decode, std::vector<PageImage>& pages) {
  Header header;
  char message[JMSG_LENGTH_MAX] = {0};
  const int rc = Examine(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()),
                         decode, &header, message);
  if (rc == 1) Fail(IMAGEIO_E_CORRUPT, std::string("JPEG: ") + message);
  if (rc == 2) Fail(IMAGEIO_E_CORRUPT, "JPEG: corrupt or truncated data");
  if (rc == 3) CheckDimensions(static_cast<std::uint32_t>(header.width), static_cast<std::uint32_t>(header.height));
  if (header.precision != 8) Fail(IMAGEIO_E_UNSUPPORTED, "JPEG: not 8-bit samples");

  PageImage page;
  page.info.width = header.width;
  page.info.height = header.height;
  page.info.xDpi = Dpi(header.densityUnit, header.xDensity);
  page.info.yDpi = Dpi(header.densityUnit, header.yDensity);
  page.info.bitsPerPixel = 8 * header.components;
  page.filter = Filter::kDct;
  switch (header.components) {
    case 1: page.space = Space::kGray; break;
    case 3: page.space = Space::kRgb; break;
    case 4:
      page.space = Space::kCmyk;
      // Adobe's CMYK JPEGs store inverted samples.
      page.invert = header.adobe;
      break;
    default: Fail(IMAGEIO_E_UNSUPPORTED, "JPEG: unusual number of components");
  }
  if (decode) page.view = bytes;  // the file itself is the stream
  pages.push_back(std::move(page));
}

}  // namespace zv::companion::imageio
