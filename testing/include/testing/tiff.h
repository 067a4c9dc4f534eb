// A plain TIFF for tests that need an image file on disk.
#pragma once

#include <string>

namespace zv::testing {

// One page, 8-bit grey, uncompressed, at `dpi`, filled with a gradient.
// False when the file cannot be written.
bool MakeGreyTiff(const std::string& path, int width, int height, int dpi = 200);

}  // namespace zv::testing
