// Why a picture file could not be read, and the one text that says so.
#ifndef PDF417_IMAGE_PICTURE_STATUS_H
#define PDF417_IMAGE_PICTURE_STATUS_H

#include <cstddef>

namespace pdf417read::detail {

enum PictureError {
  kPictureOk = 0,
  kPictureMissing,        // no file of that name
  kPictureDirectory,      // the name is a folder
  kPictureNotRegular,     // a device, pipe or socket
  kPictureNoPermission,   // the file may not be read
  kPictureUnreadable,     // reading the file failed
  kPictureEmpty,          // a file of no bytes
  kPictureFileTooLarge,   // more bytes than kMaxPictureFileBytes
  kPictureUnknownFormat,  // no format the reader knows of
  kPictureUnsupported,    // a known format the reader does not read
  kPictureTruncated,      // the file ends before its pixels do
  kPictureDamaged,        // the format's decoder refused the content
  kPictureTooLarge,       // more pixels than the limits allow
  kPictureImplausible,    // far more pixels than the file could hold
  kPictureOutOfMemory,
};

// A reading's outcome with what its text names: the format (a short name
// such as "PNG", or null), the size a header claims and the file's size.
struct PictureStatus {
  PictureError error = kPictureOk;
  const char* format = nullptr;
  int width = 0;
  int height = 0;
  unsigned long long fileBytes = 0;
};

// The status's text, for example "unsupported picture format: HEIC" or
// "truncated PNG file", in text (capacity bytes, zero-terminated).
void describePictureStatus(const PictureStatus& status, char* text, size_t capacity);

// Whether a picture of width x height pixels may be decoded from a file of
// fileBytes bytes. A header can claim any size; compression shrinks a
// picture a few thousand times at most, so a claim far beyond the file's
// size is a damaged or hostile file, refused before its pixels are
// allocated. Records the size, and the error when refused, in *status.
bool pictureSizeAllowed(size_t fileBytes, long long width, long long height, PictureStatus* status);

// Sets *status to the error and returns false, for one-line failures.
bool pictureFails(PictureStatus* status, PictureError error);

}  // namespace pdf417read::detail

#endif
