#include <algorithm>
#include <new>

#include "image_internal.h"

namespace zv::companion::imageio {

void CheckDimensions(std::uint64_t width, std::uint64_t height) {
  if (width == 0 || height == 0) Fail(IMAGEIO_E_SIZE, "image without pixels");
  if (width > kImageMaxSide || height > kImageMaxSide || width * height > kImageMaxPixels)
    Fail(IMAGEIO_E_SIZE, "image size beyond the limits");
}

FlateWriter::FlateWriter() {
  if (deflateInit(&z_, Z_DEFAULT_COMPRESSION) != Z_OK) throw std::bad_alloc();
}

FlateWriter::~FlateWriter() { deflateEnd(&z_); }

void FlateWriter::Pump(int flush) {
  unsigned char buffer[65536];
  int rc;
  do {
    z_.next_out = buffer;
    z_.avail_out = sizeof buffer;
    rc = deflate(&z_, flush);
    if (rc == Z_STREAM_ERROR) Fail(IMAGEIO_E_INTERNAL, "deflate failed");
    out_.append(reinterpret_cast<const char*>(buffer), sizeof buffer - z_.avail_out);
  } while (z_.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
}

void FlateWriter::Write(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const auto chunk = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
    z_.next_in = const_cast<unsigned char*>(p);
    z_.avail_in = chunk;
    Pump(Z_NO_FLUSH);
    p += chunk;
    size -= chunk;
  }
}

std::string FlateWriter::Finish() {
  if (!finished_) {
    z_.next_in = nullptr;
    z_.avail_in = 0;
    Pump(Z_FINISH);
    finished_ = true;
  }
  return std::move(out_);
}

}  // namespace zv::companion::imageio
