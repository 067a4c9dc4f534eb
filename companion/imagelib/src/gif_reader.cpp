// GIF through giflib: the first image of the file, as an indexed image; a
// transparent colour is shown as white.
#include <cstring>
#include <memory>

#include <gif_lib.h>

#include "image_internal.h"

namespace zv::companion::imageio {
namespace {

struct Source {
  const unsigned char* data;
  std::size_t size;
  std::size_t pos;
};

int ReadProc(GifFileType* gif, GifByteType* out, int length) {
  auto* src = static_cast<Source*>(gif->UserData);
  if (length <= 0) return 0;
  const std::size_t left = src->size - src->pos;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), left);
  std::memcpy(out, src->data + src->pos, n);
  src->pos += n;
  return static_cast<int>(n);
}

struct GifCloser {
  void operator()(GifFileType* g) const {
    int error = 0;
    DGifCloseFile(g, &error);
  }
};

}  // namespace

void ReadGif(std::string_view bytes, bool decode, std::vector<PageImage>& pages) {
  Source src{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&src, ReadProc, &error));
  if (!gif) Fail(IMAGEIO_E_CORRUPT, "GIF: cannot open");
  GifFileType* g = gif.get();
  int transparent = -1;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(g, &type) == GIF_ERROR) Fail(IMAGEIO_E_CORRUPT, "GIF: damaged record");
    if (type == TERMINATE_RECORD_TYPE) Fail(IMAGEIO_E_CORRUPT, "GIF: no image");
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(g, &code, &ext) == GIF_ERROR) Fail(IMAGEIO_E_CORRUPT, "GIF: damaged extension");
      if (code == GRAPHICS_EXT_FUNC_CODE && ext != nullptr && ext[0] >= 4) transparent = (ext[1] & 1) ? ext[4] : -1;
      while (ext != nullptr)
        if (DGifGetExtensionNext(g, &ext) == GIF_ERROR) Fail(IMAGEIO_E_CORRUPT, "GIF: damaged extension");
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) Fail(IMAGEIO_E_CORRUPT, "GIF: unknown record");
    if (DGifGetImageDesc(g) == GIF_ERROR) Fail(IMAGEIO_E_CORRUPT, "GIF: damaged image descriptor");
    break;
  }
  const GifImageDesc& desc = g->Image;
  if (desc.Width < 0 || desc.Height < 0) Fail(IMAGEIO_E_CORRUPT, "GIF: negative size");
  CheckDimensions(static_cast<std::uint64_t>(desc.Width), static_cast<std::uint64_t>(desc.Height));
  const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : g->SColorMap;
  if (map == nullptr || map->ColorCount <= 0) Fail(IMAGEIO_E_CORRUPT, "GIF: no colour table");

  PageImage page;
  page.info.width = desc.Width;
  page.info.height = desc.Height;
  page.info.bitsPerPixel = map->BitsPerPixel;
  page.filter = Filter::kFlate;
  page.space = Space::kIndexed;
  page.bitsPerComponent = 8;
  page.palette.resize(256 * 3, '\0');
  for (int i = 0; i < map->ColorCount && i < 256; ++i) {
    page.palette[i * 3] = static_cast<char>(map->Colors[i].Red);
    page.palette[i * 3 + 1] = static_cast<char>(map->Colors[i].Green);
    page.palette[i * 3 + 2] = static_cast<char>(map->Colors[i].Blue);
  }
  if (transparent >= 0 && transparent < 256)
    std::memset(&page.palette[static_cast<std::size_t>(transparent) * 3], 0xff, 3);
  if (decode) {
    const std::size_t w = static_cast<std::size_t>(desc.Width), h = static_cast<std::size_t>(desc.Height);
    std::vector<GifPixelType> pixels(w * h);
    if (desc.Interlace) {
      static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (std::size_t y = static_cast<std::size_t>(kStart[pass]); y < h; y += static_cast<std::size_t>(kStep[pass]))
          if (DGifGetLine(g, pixels.data() + y * w, desc.Width) == GIF_ERROR)
            Fail(IMAGEIO_E_CORRUPT, "GIF: damaged image data");
    } else {
      for (std::size_t y = 0; y < h; ++y)
        if (DGifGetLine(g, pixels.data() + y * w, desc.Width) == GIF_ERROR)
          Fail(IMAGEIO_E_CORRUPT, "GIF: damaged image data");
    }
    FlateWriter flate;
    flate.Write(pixels.data(), pixels.size());
    page.data = flate.Finish();
  }
  pages.push_back(std::move(page));
}

}  // namespace zv::companion::imageio
