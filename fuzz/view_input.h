// read_view_fuzz's input as an image view: width, height, row stride (32
// bits each, signed), pixel format, flags, maxSymbols (16 bits, signed),
// then the pixels, repeated to fill. Nonsense is kept as it comes; a view
// read should take gets a buffer of exactly the bytes it spans, so that a
// read past its last pixel is caught, and any other view a few bytes, of
// which read must touch none.
#ifndef PDF417_FUZZ_VIEW_INPUT_H
#define PDF417_FUZZ_VIEW_INPUT_H

#include <pdf417read/pdf417read.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"

struct ViewInput {
  std::vector<uint8_t> buffer;
  pdf417read::ImageView view;
  pdf417read::Options options;  // the second read's; the first takes the defaults
  bool readable = false;        // read should take the view
};

inline int viewPixelBytes(int format) {
  switch (format) {
    case 0: return 1;
    case 1: case 2: return 3;
    case 3: case 4: return 4;
    default: return 0;
  }
}

// The bytes a view spans when read should take it; -1 when it should not.
inline long long viewSpannedBytes(int width, int height, int stride, int format) {
  int pixelBytes = viewPixelBytes(format);
  if (pixelBytes == 0 || width < 1 || height < 1) return -1;
  if (width > pdf417read::kMaxImageSide || height > pdf417read::kMaxImageSide ||
      (long long)width * height > pdf417read::kMaxImagePixels)
    return -1;
  long long rowBytes = (long long)width * pixelBytes;
  long long rowStride = stride == 0 ? rowBytes : stride;
  if (rowStride < rowBytes) return -1;
  return (height - 1) * rowStride + rowBytes;
}

// False when the view is one read should take but larger than maxBytes or
// maxPixels: skipped, not to spend a run on a few reads.
inline bool takeViewInput(const uint8_t* data, size_t size, long long maxBytes, long long maxPixels,
                          ViewInput* out) {
  FuzzInput in = {data, size};
  int width = takeS32(&in), height = takeS32(&in), stride = takeS32(&in);
  int format = takeU8(&in);
  int flags = takeU8(&in);
  int maxSymbols = takeS16(&in);
  // Formats past the named ones, as a cast from a wrong number makes them.
  if (format >= 8) format -= 256;
  long long spanned = viewSpannedBytes(width, height, stride, format);
  if (spanned > maxBytes || (spanned > 0 && (long long)width * height > maxPixels)) return false;
  bool noPixels = flags & 1;
  out->readable = spanned > 0 && !noPixels;
  out->buffer.resize(spanned > 0 ? (size_t)spanned : 1 + in.size % 16);
  if (in.size == 0) std::fill(out->buffer.begin(), out->buffer.end(), 255);
  for (size_t at = 0; in.size > 0 && at < out->buffer.size(); at += in.size)
    std::memcpy(out->buffer.data() + at, in.data, std::min(in.size, out->buffer.size() - at));
  out->view = pdf417read::ImageView(noPixels ? nullptr : out->buffer.data(), width, height,
                                    (pdf417read::PixelFormat)format, stride);
  const pdf417read::Effort efforts[] = {pdf417read::Effort::Hard, pdf417read::Effort::Fast,
                                        pdf417read::Effort::Normal, pdf417read::Effort::Hard};
  out->options.effort = efforts[(flags >> 1) & 3];
  out->options.exactOnly = flags & 8;
  if (flags & 16) out->options.trace = [](const std::string&) {};
  out->options.maxSymbols = maxSymbols;
  return true;
}

#endif
