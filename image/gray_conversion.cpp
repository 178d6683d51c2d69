#include "image/gray_conversion.h"

#include <cstdlib>
#include <cstring>

namespace pdf417read::detail {

namespace {

// value * weight for every byte value, in double precision.
struct Products {
  double of[256];
  constexpr explicit Products(double weight) : of() {
    for (int v = 0; v < 256; v++) of[v] = v * weight;
  }
};
constexpr Products kBlue(0.11), kGreen(0.59), kRed(0.3);

// The gray of a pixel whose three channels are all v.
struct GrayLevels {
  unsigned char of[256];
  constexpr GrayLevels() : of() {
    for (int v = 0; v < 256; v++) of[v] = (unsigned char)(int)((kBlue.of[v] + kGreen.of[v]) + kRed.of[v]);
  }
};
constexpr GrayLevels kGrayOfGray;

// A colour composited over white paper by its alpha (0 transparent, 255
// opaque): how every transparent pixel of every format is read, as a viewer
// shows it on a page. The one place that says so.
unsigned char overWhite(unsigned char value, unsigned char alpha) {
  return (unsigned char)((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

}  // namespace

unsigned char grayOf(unsigned char red, unsigned char green, unsigned char blue) {
  // Weighed in this order in double precision and truncated, not rounded.
  return (unsigned char)(int)((kBlue.of[blue] + kGreen.of[green]) + kRed.of[red]);
}

void pixelRowToGray(const unsigned char* pixels, int count, int pixelBytes, int redOffset, int greenOffset,
                    int blueOffset, int alphaOffset, unsigned char* out) {
  const unsigned char* pixel = pixels;
  bool gray = redOffset == greenOffset && greenOffset == blueOffset;
  // One loop for each kind, so that none asks per pixel what kind it is.
  if (gray && alphaOffset < 0 && pixelBytes == 1) {
    // One byte a pixel: four lookups a step, none waiting on another.
    const unsigned char* levels = pixels + redOffset;
    int x = 0;
    for (; x + 4 <= count; x += 4) {
      unsigned char a = kGrayOfGray.of[levels[x]], b = kGrayOfGray.of[levels[x + 1]];
      unsigned char c = kGrayOfGray.of[levels[x + 2]], d = kGrayOfGray.of[levels[x + 3]];
      out[x] = a, out[x + 1] = b, out[x + 2] = c, out[x + 3] = d;
    }
    for (; x < count; x++) out[x] = kGrayOfGray.of[levels[x]];
  } else if (gray && alphaOffset < 0) {
    for (int x = 0; x < count; x++, pixel += pixelBytes) out[x] = kGrayOfGray.of[pixel[redOffset]];
  } else if (gray) {
    for (int x = 0; x < count; x++, pixel += pixelBytes)
      out[x] = kGrayOfGray.of[overWhite(pixel[redOffset], pixel[alphaOffset])];
  } else if (alphaOffset < 0) {
    for (int x = 0; x < count; x++, pixel += pixelBytes)
      out[x] = grayOf(pixel[redOffset], pixel[greenOffset], pixel[blueOffset]);
  } else {
    for (int x = 0; x < count; x++, pixel += pixelBytes) {
      unsigned char alpha = pixel[alphaOffset];
      // Opaque pixels need no compositing: overWhite(v, 255) is v.
      out[x] = alpha == 255 ? grayOf(pixel[redOffset], pixel[greenOffset], pixel[blueOffset])
                            : grayOf(overWhite(pixel[redOffset], alpha), overWhite(pixel[greenOffset], alpha),
                                     overWhite(pixel[blueOffset], alpha));
    }
  }
}

// A row to red, green, blue over white. out may be pixels itself when
// pixelBytes is 3 or more: each pixel is read before its colour is written.
static void pixelRowToRgb(const unsigned char* pixels, int count, int pixelBytes, int redOffset, int greenOffset,
                          int blueOffset, int alphaOffset, unsigned char* out) {
  const unsigned char* pixel = pixels;
  for (int x = 0; x < count; x++, pixel += pixelBytes, out += 3) {
    unsigned char alpha = alphaOffset < 0 ? 255 : pixel[alphaOffset];
    unsigned char red = overWhite(pixel[redOffset], alpha), green = overWhite(pixel[greenOffset], alpha);
    unsigned char blue = overWhite(pixel[blueOffset], alpha);
    out[0] = red, out[1] = green, out[2] = blue;
  }
}

void pixelRowTo(int outChannels, const unsigned char* pixels, int count, int pixelBytes, int redOffset,
                int greenOffset, int blueOffset, int alphaOffset, unsigned char* out) {
  if (outChannels == 1)
    pixelRowToGray(pixels, count, pixelBytes, redOffset, greenOffset, blueOffset, alphaOffset, out);
  else
    pixelRowToRgb(pixels, count, pixelBytes, redOffset, greenOffset, blueOffset, alphaOffset, out);
}

void packedPixelsInPlace(unsigned char* pixels, size_t count, int channels, int outChannels) {
  if (!pixels || channels < 1 || channels > 4 || outChannels > channels) return;
  bool colour = channels >= 3, alpha = channels == 2 || channels == 4;
  int green = colour ? 1 : 0, blue = colour ? 2 : 0;
  // Pixel i starts at byte i * channels, at or after byte i * outChannels
  // where it goes, so every pixel is read before anything overwrites it.
  const size_t chunk = 1 << 20;
  for (size_t first = 0; first < count; first += chunk) {
    size_t n = count - first < chunk ? count - first : chunk;
    pixelRowTo(outChannels, pixels + first * channels, (int)n, channels, 0, green, blue, alpha ? channels - 1 : -1,
               pixels + first * outChannels);
  }
}

static bool offsetInside(int offset, int pixelBytes) { return offset >= 0 && offset < pixelBytes; }

unsigned char* pixelsToGray(const unsigned char* pixels, int width, int height, long long rowStride,
                            int pixelBytes, int redOffset, int greenOffset, int blueOffset,
                            int alphaOffset) {
  if (!pixels || width < 1 || height < 1 || pixelBytes < 1) return nullptr;
  if (!offsetInside(redOffset, pixelBytes) || !offsetInside(greenOffset, pixelBytes) ||
      !offsetInside(blueOffset, pixelBytes) || (alphaOffset != -1 && !offsetInside(alphaOffset, pixelBytes)))
    return nullptr;
  if (rowStride < (long long)width * pixelBytes) return nullptr;
  unsigned char* gray = (unsigned char*)std::malloc((size_t)width * height);
  if (!gray) return nullptr;
  bool alreadyGray = pixelBytes == 1 && alphaOffset == -1;
  for (int y = 0; y < height; y++) {
    const unsigned char* row = pixels + (size_t)y * (size_t)rowStride;
    unsigned char* out = gray + (size_t)y * width;
    if (alreadyGray) {
      std::memcpy(out, row, (size_t)width);
      continue;
    }
    pixelRowToGray(row, width, pixelBytes, redOffset, greenOffset, blueOffset, alphaOffset, out);
  }
  return gray;
}

}  // namespace pdf417read::detail
