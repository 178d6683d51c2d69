#include "image/tiff_reader.h"

#ifdef PDF417_HAVE_TIFF

#include <tiffio.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/gray_conversion.h"
#include "image/picture_limits.h"
#endif

namespace pdf417read::detail {

#ifdef PDF417_HAVE_TIFF

namespace {

// More pages than this are not read: a chain of directories is cheap to
// write and each one costs a decoding.
const int kMaxPages = 1000;
// The most libtiff may take in one allocation (a strip or tile buffer).
const tmsize_t kMaxAllocation = (tmsize_t)kMaxPicturePixels * 4;
// Rows decoded at a time, at the least: a band of them sits in memory as
// four bytes a pixel.
const uint32_t kBandRows = 64;

// The file in memory as libtiff reads it, and what its messages told.
struct Source {
  const unsigned char* bytes;
  size_t size;
  size_t at;
  bool ranOut;  // an error said that the data ended early
};

tmsize_t readBytes(thandle_t handle, void* buffer, tmsize_t count) {
  Source* source = static_cast<Source*>(handle);
  size_t left = source->size - source->at;
  size_t n = count < 0 ? 0 : (size_t)count < left ? (size_t)count : left;
  std::memcpy(buffer, source->bytes + source->at, n);
  source->at += n;
  return (tmsize_t)n;
}

tmsize_t refuseWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t seekTo(thandle_t handle, toff_t offset, int whence) {
  Source* source = static_cast<Source*>(handle);
  unsigned long long base = whence == SEEK_CUR ? source->at : whence == SEEK_END ? source->size : 0;
  unsigned long long target = base + offset;
  // Offsets past the end stay there: reads from them find nothing.
  source->at = target > source->size ? source->size : (size_t)target;
  return (toff_t)target;
}

int closeNothing(thandle_t) { return 0; }
toff_t sizeOf(thandle_t handle) { return static_cast<Source*>(handle)->size; }

// The bytes are in memory already: libtiff reads them where they are, as
// from a mapped file. (Read through readBytes instead, its 4.5 release
// refuses uncompressed tiles at the picture's edge.)
int mapBytes(thandle_t handle, void** base, toff_t* size) {
  Source* source = static_cast<Source*>(handle);
  *base = const_cast<unsigned char*>(source->bytes);
  *size = source->size;
  return 1;
}

void unmapNothing(thandle_t, void*, toff_t) {}

// libtiff's messages are not printed: a library prints nothing. An error
// about data that ends early marks the file as truncated.
int noteError(TIFF*, void* handle, const char*, const char* format, va_list arguments) {
  char text[256];
  std::vsnprintf(text, sizeof text, format, arguments);
  if (std::strstr(text, "Read error") || std::strstr(text, "end of") || std::strstr(text, "Premature"))
    static_cast<Source*>(handle)->ranOut = true;
  return 1;
}

int ignoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TIFF* openTiff(Source* source) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return nullptr;
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxAllocation);
  TIFFOpenOptionsSetErrorHandlerExtR(options, noteError, source);
  TIFFOpenOptionsSetWarningHandlerExtR(options, ignoreWarning, source);
  TIFF* tiff = TIFFClientOpenExt("picture", "r", source, readBytes, refuseWrite, seekTo, closeNothing, sizeOf,
                                 mapBytes, unmapNothing, options);
  TIFFOpenOptionsFree(options);
  return tiff;
}

// Where red, green, blue and alpha lie in the uint32 pixels libtiff writes
// (red in the lowest byte), on this machine.
struct ByteOrder {
  int red, green, blue, alpha;
};

ByteOrder rasterOrder() {
  const uint32_t probe = 0x03020100;
  unsigned char bytes[4];
  std::memcpy(bytes, &probe, 4);
  return {bytes[0], bytes[1], bytes[2], bytes[3]};
}

// libtiff hands transparent pixels premultiplied by their alpha; the rest of
// the reader takes colours as they are, to be laid over white.
void unpremultiply(unsigned char* pixels, size_t count, const ByteOrder& order) {
  for (unsigned char* pixel = pixels; count > 0; count--, pixel += 4) {
    unsigned alpha = pixel[order.alpha];
    if (alpha == 255) continue;
    const int offsets[3] = {order.red, order.green, order.blue};
    for (int offset : offsets) {
      unsigned value = alpha == 0 ? 0 : (pixel[offset] * 255u + alpha / 2) / alpha;
      pixel[offset] = (unsigned char)(value > 255 ? 255 : value);
    }
  }
}

// Rows decoded together: whole strips or tiles, so that none is decoded
// twice, and at least kBandRows.
uint32_t bandRows(TIFF* tiff, uint32_t height) {
  uint32_t unit = 0;
  if (TIFFIsTiled(tiff))
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &unit);
  else
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &unit);
  if (unit < 1 || unit > height) unit = height;
  uint32_t rows = unit;
  while (rows < kBandRows && rows < height) rows += unit;
  return rows < height ? rows : height;
}

// Whether the page's tiles are of a size the picture explains: a tile far
// larger than the picture would be allocated whole.
bool tilesPlausible(TIFF* tiff, uint32_t width, uint32_t height) {
  if (!TIFFIsTiled(tiff)) return true;
  uint32_t tileWidth = 0, tileHeight = 0;
  TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
  TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
  return tileWidth >= 1 && tileHeight >= 1 && tileWidth <= width + 256 && tileHeight <= height + 256;
}

// A gray page libtiff's RGBA reading does not take: samples of 1, 8 or 16
// bits with extra samples beside the gray (as ImageMagick writes a bilevel
// picture that had transparency), in strips. Read a row at a time, the
// gray as the first sample and an alpha extra sample laid over white.
bool grayWithExtraSamples(TIFF* tiff, uint16_t* bits, uint16_t* samples, bool* inverted, bool* alpha) {
  uint16_t photometric = 0, planar = PLANARCONFIG_CONTIG, extraCount = 0;
  uint16_t* extraKinds = nullptr;
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds);
  *inverted = photometric == PHOTOMETRIC_MINISWHITE;
  *alpha = extraCount >= 1 && extraKinds && extraKinds[0] != EXTRASAMPLE_UNSPECIFIED;
  bool gray = *inverted || photometric == PHOTOMETRIC_MINISBLACK;
  return gray && planar == PLANARCONFIG_CONTIG && !TIFFIsTiled(tiff) && *samples >= 2 && *samples <= 4 &&
         (*bits == 1 || *bits == 8 || *bits == 16);
}

// Sample s of pixel x in a row of `samples` samples a pixel, as 8 bits.
unsigned char sampleOf(const unsigned char* row, uint32_t x, int s, int samples, int bits) {
  size_t index = (size_t)x * samples + s;
  if (bits == 1) return (row[index / 8] >> (7 - index % 8) & 1) ? 255 : 0;
  if (bits == 8) return row[index];
  uint16_t wide;
  std::memcpy(&wide, row + 2 * index, 2);
  return (unsigned char)(wide >> 8);
}

bool readGrayRows(TIFF* tiff, uint32_t width, uint32_t height, DecodedPicture* picture, PictureStatus* status) {
  uint16_t bits = 0, samples = 0;
  bool inverted = false, alpha = false;
  if (!grayWithExtraSamples(tiff, &bits, &samples, &inverted, &alpha)) {
    status->format = "TIFF of this kind (sample layout or colour space)";
    return pictureFails(status, kPictureUnsupported);
  }
  tmsize_t rowBytes = TIFFScanlineSize(tiff);
  if (rowBytes < (tmsize_t)(((uint64_t)width * samples * bits + 7) / 8)) return pictureFails(status, kPictureDamaged);
  unsigned char* row = (unsigned char*)std::malloc((size_t)rowBytes);
  unsigned char* pair = (unsigned char*)std::malloc((size_t)width * 2);
  bool read = row && pair && allocatePicture(picture, (int)width, (int)height, picture->channels, status);
  for (uint32_t y = 0; read && y < height; y++) {
    read = TIFFReadScanline(tiff, row, y, 0) >= 0;
    for (uint32_t x = 0; read && x < width; x++) {
      unsigned char level = sampleOf(row, x, 0, samples, bits);
      pair[2 * x] = inverted ? (unsigned char)(255 - level) : level;
      pair[2 * x + 1] = alpha ? sampleOf(row, x, 1, samples, bits) : 255;
    }
    if (read) pixelRowTo(picture->channels, pair, (int)width, 2, 0, 0, 0, 1, pictureRow(*picture, (int)y));
  }
  bool memory = row && pair && picture->pixels;
  std::free(row);
  std::free(pair);
  if (read) return true;
  freeDecodedPicture(picture);
  return pictureFails(status, memory ? kPictureDamaged : kPictureOutOfMemory);
}

// The current page, read a band of rows at a time into picture.
bool readPage(TIFF* tiff, Source* source, size_t size, int channels, DecodedPicture* picture, PictureStatus* status) {
  uint32_t width = 0, height = 0;
  if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height))
    return pictureFails(status, kPictureDamaged);
  if (!pictureSizeAllowed(size, width, height, status)) return false;
  if (!tilesPlausible(tiff, width, height)) return pictureFails(status, kPictureDamaged);
  char message[1024];
  if (!TIFFRGBAImageOK(tiff, message)) {
    picture->channels = channels;
    return readGrayRows(tiff, width, height, picture, status);
  }
  TIFFRGBAImage image;
  if (!TIFFRGBAImageBegin(&image, tiff, 0, message)) return pictureFails(status, kPictureDamaged);
  image.req_orientation = ORIENTATION_TOPLEFT;
  uint32_t rows = bandRows(tiff, height);
  uint32_t* band = (uint32_t*)std::malloc((size_t)width * rows * 4);
  bool read = band && allocatePicture(picture, (int)width, (int)height, channels, status);
  ByteOrder order = rasterOrder();
  for (uint32_t y = 0; read && y < height; y += rows) {
    uint32_t count = height - y < rows ? height - y : rows;
    image.row_offset = (int)y;
    image.col_offset = 0;
    read = TIFFRGBAImageGet(&image, band, width, count) != 0;
    unsigned char* pixels = reinterpret_cast<unsigned char*>(band);
    if (read && image.alpha) unpremultiply(pixels, (size_t)width * count, order);
    for (uint32_t k = 0; read && k < count; k++)
      pixelRowTo(channels, pixels + (size_t)k * width * 4, (int)width, 4, order.red, order.green, order.blue,
                 image.alpha ? order.alpha : -1, pictureRow(*picture, (int)(y + k)));
  }
  TIFFRGBAImageEnd(&image);
  std::free(band);
  if (read) return true;
  freeDecodedPicture(picture);
  return pictureFails(status, !band ? kPictureOutOfMemory : source->ranOut ? kPictureTruncated : kPictureDamaged);
}

}  // namespace

bool readTiffPages(const unsigned char* bytes, size_t size, int channels, PageVisitor visitor,
                   PictureStatus* status) {
  status->format = "TIFF";
  Source source = {bytes, size, 0, false};
  TIFF* tiff = openTiff(&source);
  if (!tiff) return pictureFails(status, source.ranOut ? kPictureTruncated : kPictureDamaged);
  int count = TIFFNumberOfDirectories(tiff);
  if (count > kMaxPages) count = kMaxPages;
  bool read = true, more = true;
  for (int page = 0; read && more && page < count; page++) {
    if (page > 0 && !TIFFReadDirectory(tiff)) {
      read = pictureFails(status, source.ranOut ? kPictureTruncated : kPictureDamaged);
      break;
    }
    DecodedPicture picture;
    read = readPage(tiff, &source, size, channels, &picture, status);
    if (read) more = visitor.visit(visitor.context, &picture, page, count);
    freeDecodedPicture(&picture);
  }
  TIFFClose(tiff);
  return read;
}

#else

bool readTiffPages(const unsigned char*, size_t, int, PageVisitor, PictureStatus* status) {
  status->format = "TIFF (this build has no libtiff)";
  return pictureFails(status, kPictureUnsupported);
}

#endif

}  // namespace pdf417read::detail
