#include "image/picture_status.h"

#include <cstdio>

#include "image/picture_limits.h"

namespace pdf417read::detail {

void describePictureStatus(const PictureStatus& status, char* text, size_t capacity) {
  const char* format = status.format ? status.format : "picture";
  switch (status.error) {
    case kPictureOk: std::snprintf(text, capacity, "read"); break;
    case kPictureMissing: std::snprintf(text, capacity, "no such file"); break;
    case kPictureDirectory: std::snprintf(text, capacity, "a directory, not a picture file"); break;
    case kPictureNotRegular: std::snprintf(text, capacity, "not a regular file"); break;
    case kPictureNoPermission: std::snprintf(text, capacity, "permission denied"); break;
    case kPictureUnreadable: std::snprintf(text, capacity, "the file cannot be read"); break;
    case kPictureEmpty: std::snprintf(text, capacity, "empty file"); break;
    case kPictureFileTooLarge:
      std::snprintf(text, capacity, "file too large: %llu bytes (limit %d bytes)", status.fileBytes,
                    (int)kMaxPictureFileBytes);
      break;
    case kPictureUnknownFormat: std::snprintf(text, capacity, "unknown picture format"); break;
    case kPictureUnsupported: std::snprintf(text, capacity, "unsupported picture format: %s", format); break;
    case kPictureTruncated: std::snprintf(text, capacity, "truncated %s file", format); break;
    case kPictureDamaged: std::snprintf(text, capacity, "damaged %s file", format); break;
    case kPictureTooLarge:
      std::snprintf(text, capacity, "picture too large: %d x %d pixels (limit %d pixels a side, %d in all)",
                    status.width, status.height, (int)kMaxPictureSide, (int)kMaxPicturePixels);
      break;
    case kPictureImplausible:
      std::snprintf(text, capacity, "damaged %s file: %d x %d pixels claimed by %llu bytes", format, status.width,
                    status.height, status.fileBytes);
      break;
    case kPictureOutOfMemory: std::snprintf(text, capacity, "out of memory"); break;
  }
}

bool pictureSizeAllowed(size_t fileBytes, long long width, long long height, PictureStatus* status) {
  // Sides beyond int are shown as the largest int: the text only needs to
  // say that they are too large.
  status->width = width > 0x7fffffff ? 0x7fffffff : (int)width;
  status->height = height > 0x7fffffff ? 0x7fffffff : (int)height;
  status->fileBytes = fileBytes;
  if (width < 1 || height < 1) return pictureFails(status, kPictureDamaged);
  if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels)
    return pictureFails(status, kPictureTooLarge);
  if (width * height > (long long)fileBytes * 4096 + 65536) return pictureFails(status, kPictureImplausible);
  return true;
}

bool pictureFails(PictureStatus* status, PictureError error) {
  status->error = error;
  return false;
}

}  // namespace pdf417read::detail
