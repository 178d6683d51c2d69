#include "image/picture_reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/picture_codec.h"
#include "image/png_reader.h"
#include "image/pnm_reader.h"
#include "image/tiff_reader.h"
#include "image/webp_reader.h"

namespace pdf417read::detail {

namespace {

enum Format { kBmp, kPng, kJpeg, kGif, kPnm, kTiff, kWebp, kUnsupported, kOther };

// A format told by the bytes at `at`; length counts them, zeros included.
struct Mark {
  size_t at;
  const char* bytes;
  size_t length;
  Format format;
  const char* name;
};

// The formats read, and formats that are known but not read, so that their
// refusal can name them. TGA files have no mark of their own: the general
// reader tries whatever is left.
const Mark kMarks[] = {
    {0, "\x89PNG\r\n\x1a\n", 8, kPng, "PNG"},
    {0, "\xff\xd8\xff", 3, kJpeg, "JPEG"},
    {0, "GIF8", 4, kGif, "GIF"},
    {0, "BM", 2, kBmp, "BMP"},
    {0, "II*\0", 4, kTiff, "TIFF"},
    {0, "MM\0*", 4, kTiff, "TIFF"},
    {0, "II+\0", 4, kTiff, "TIFF"},  // BigTIFF
    {0, "MM\0+", 4, kTiff, "TIFF"},
    {8, "WEBP", 4, kWebp, "WebP"},
    {4, "ftypheic", 8, kUnsupported, "HEIC"},
    {4, "ftypheix", 8, kUnsupported, "HEIC"},
    {4, "ftypmif1", 8, kUnsupported, "HEIF"},
    {4, "ftypavif", 8, kUnsupported, "AVIF"},
    {0, "\0\0\0\x0cjP  \r\n\x87\n", 12, kUnsupported, "JPEG 2000"},
    {0, "\xff\x4f\xff\x51", 4, kUnsupported, "JPEG 2000"},
    {0, "\xff\x0a", 2, kUnsupported, "JPEG XL"},
    {0, "\0\0\0\x0cJXL \r\n\x87\n", 12, kUnsupported, "JPEG XL"},
    {0, "II\xbc", 3, kUnsupported, "JPEG XR"},
    {0, "8BPS", 4, kUnsupported, "PSD"},
    {0, "%PDF", 4, kUnsupported, "PDF"},
    {0, "<svg", 4, kUnsupported, "SVG"},
    {0, "\0\0\1\0", 4, kUnsupported, "ICO"},
    {0, "#?RADIANCE", 10, kUnsupported, "Radiance HDR"},
    {0, "\x76\x2f\x31\x01", 4, kUnsupported, "OpenEXR"},
    {0, "qoif", 4, kUnsupported, "QOI"},
    {0, "P7", 2, kUnsupported, "PAM"},
    {0, "PF", 2, kUnsupported, "PFM"},
    {0, "Pf", 2, kUnsupported, "PFM"},
    {0, "AT&TFORM", 8, kUnsupported, "DjVu"},
    {0, "DDS ", 4, kUnsupported, "DDS"},
};

bool hasMark(const unsigned char* bytes, size_t size, const Mark& mark) {
  return size >= mark.at + mark.length && std::memcmp(bytes + mark.at, mark.bytes, mark.length) == 0;
}

Format formatOf(const unsigned char* bytes, size_t size, const char** name) {
  for (const Mark& mark : kMarks) {
    if (!hasMark(bytes, size, mark)) continue;
    if (mark.format == kWebp && std::memcmp(bytes, "RIFF", 4) != 0) continue;
    *name = mark.name;
    return mark.format;
  }
  if (isPnm(bytes, size)) return kPnm;
  return kOther;
}

unsigned little16(const unsigned char* p) { return p[0] | (unsigned)p[1] << 8; }
long long little32(const unsigned char* p) { return (int32_t)(little16(p) | (uint32_t)little16(p + 2) << 16); }
long long big32(const unsigned char* p) {
  return (long long)((uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]);
}

// The size a BMP, PNG or GIF header claims, read here so that a refusal for
// size says so, whatever the reader behind would say. False when the header
// does not tell.
bool claimedSize(Format format, const unsigned char* bytes, size_t size, long long* width, long long* height) {
  if (format == kPng && size >= 24) {
    *width = big32(bytes + 16), *height = big32(bytes + 20);
  } else if (format == kBmp && size >= 26 && little32(bytes + 14) >= 40) {
    // Rows stored top first have a negative height.
    *width = little32(bytes + 18), *height = little32(bytes + 22);
    if (*height < 0) *height = -*height;
  } else if (format == kGif && size >= 10) {
    *width = little16(bytes + 6), *height = little16(bytes + 8);
  } else {
    return false;
  }
  return true;
}

// Whether a BMP's pixels are run-length encoded (compression 1 or 2), which
// the general reader does not decode.
bool runLengthBmp(const unsigned char* bytes, size_t size) {
  if (size < 34 || little32(bytes + 14) < 40) return false;
  long long compression = little32(bytes + 30);
  return compression == 1 || compression == 2;
}

// A page visitor that keeps the first page and stops.
bool keepFirstPage(void* context, DecodedPicture* page, int, int) {
  DecodedPicture* first = static_cast<DecodedPicture*>(context);
  *first = *page;
  page->pixels = nullptr;
  return false;
}

// Hands a single picture to the visitor and frees it unless kept.
bool visitSingle(bool read, DecodedPicture* picture, PageVisitor visitor) {
  if (!read) return false;
  visitor.visit(visitor.context, picture, 0, 1);
  freeDecodedPicture(picture);
  return true;
}

// Whether a file of the format ends as a whole one does: a PNG with its end
// chunk, a JPEG with its end marker, a GIF with its trailer. A file that
// failed to decode and lacks its end was cut short.
bool endsWhole(Format format, const unsigned char* bytes, size_t size) {
  static const unsigned char kPngEnd[8] = {'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  if (format == kPng) return size >= 8 && std::memcmp(bytes + size - 8, kPngEnd, 8) == 0;
  if (format == kJpeg) return size >= 2 && bytes[size - 2] == 0xFF && bytes[size - 1] == 0xD9;
  if (format == kGif) return bytes[size - 1] == 0x3B;
  return true;
}

bool readSingle(Format format, const unsigned char* bytes, size_t size, int channels, DecodedPicture* picture,
                PictureStatus* status) {
  if (format == kPnm) return decodePnm(bytes, size, channels, picture, status);
  if (format == kWebp) return decodeWebp(bytes, size, channels, picture, status);
  if (format == kPng) {
    bool handled = false;
    bool read = decodeCommonPng(bytes, size, channels, picture, status, &handled);
    if (handled) return read;
  }
  return decodeWithStb(bytes, size, channels, picture, status);
}

// Reads a whole file; false, with the reason, when it cannot be read, is
// empty or is larger than any picture the decoder takes could need.
bool readWholeFile(const char* path, unsigned char** bytes, size_t* size, PictureStatus* status) {
  struct stat about;
  if (stat(path, &about) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return pictureFails(status, kPictureMissing);
    return pictureFails(status, errno == EACCES ? kPictureNoPermission : kPictureUnreadable);
  }
  if (S_ISDIR(about.st_mode)) return pictureFails(status, kPictureDirectory);
  if (!S_ISREG(about.st_mode)) return pictureFails(status, kPictureNotRegular);
  status->fileBytes = (unsigned long long)about.st_size;
  if (about.st_size == 0) return pictureFails(status, kPictureEmpty);
  if (about.st_size > kMaxPictureFileBytes) return pictureFails(status, kPictureFileTooLarge);
  FILE* file = std::fopen(path, "rb");
  if (!file) return pictureFails(status, errno == EACCES || errno == EPERM ? kPictureNoPermission : kPictureUnreadable);
  size_t length = (size_t)about.st_size;
  *bytes = (unsigned char*)std::malloc(length);
  bool read = *bytes && std::fread(*bytes, 1, length, file) == length && std::fgetc(file) == EOF;
  std::fclose(file);
  if (read) {
    *size = length;
    return true;
  }
  // A file that changed size while it was read is read as unreadable.
  PictureError error = *bytes ? kPictureUnreadable : kPictureOutOfMemory;
  std::free(*bytes);
  *bytes = nullptr;
  return pictureFails(status, error);
}

}  // namespace

bool readPicturePages(const unsigned char* bytes, size_t size, int channels, PageVisitor visitor,
                      PictureStatus* status) {
  status->fileBytes = size;
  if (!bytes || size == 0) return pictureFails(status, kPictureEmpty);
  if (size > (size_t)kMaxPictureFileBytes) return pictureFails(status, kPictureFileTooLarge);
  Format format = formatOf(bytes, size, &status->format);
  if (format == kBmp && runLengthBmp(bytes, size)) {
    status->format = "run-length encoded BMP";
    format = kUnsupported;
  }
  if (format == kUnsupported) return pictureFails(status, kPictureUnsupported);
  long long width = 0, height = 0;
  if (claimedSize(format, bytes, size, &width, &height) && !pictureSizeAllowed(size, width, height, status))
    return false;
  if (format == kTiff) return readTiffPages(bytes, size, channels, visitor, status);
  DecodedPicture picture;
  bool read = readSingle(format, bytes, size, channels, &picture, status);
  if (!read && status->error == kPictureDamaged && !endsWhole(format, bytes, size)) status->error = kPictureTruncated;
  return visitSingle(read, &picture, visitor);
}

bool readPictureFilePages(const char* path, int channels, PageVisitor visitor, PictureStatus* status) {
  if (!path) return pictureFails(status, kPictureMissing);
  unsigned char* bytes = nullptr;
  size_t size = 0;
  if (!readWholeFile(path, &bytes, &size, status)) return false;
  bool read = readPicturePages(bytes, size, channels, visitor, status);
  std::free(bytes);
  return read;
}

bool decodePicture(const unsigned char* bytes, size_t size, int channels, DecodedPicture* picture,
                   PictureStatus* status) {
  return readPicturePages(bytes, size, channels, {keepFirstPage, picture}, status) || picture->pixels;
}

static unsigned char* grayPixelsOf(const DecodedPicture& picture, int* width, int* height) {
  if (!picture.pixels) return nullptr;
  *width = picture.width;
  *height = picture.height;
  return picture.pixels;
}

unsigned char* decodePictureGray(const unsigned char* bytes, size_t size, int* width, int* height) {
  DecodedPicture picture;
  PictureStatus status;
  readPicturePages(bytes, size, 1, {keepFirstPage, &picture}, &status);
  return grayPixelsOf(picture, width, height);
}

unsigned char* loadPictureGray(const char* path, int* width, int* height) {
  DecodedPicture picture;
  PictureStatus status;
  readPictureFilePages(path, 1, {keepFirstPage, &picture}, &status);
  return grayPixelsOf(picture, width, height);
}

}  // namespace pdf417read::detail
