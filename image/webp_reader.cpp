#include "image/webp_reader.h"

#ifdef PDF417_HAVE_WEBP

#include <webp/decode.h>

#include <cstdlib>
#endif

namespace pdf417read::detail {

#ifdef PDF417_HAVE_WEBP

bool decodeWebp(const unsigned char* bytes, size_t size, int channels, DecodedPicture* picture,
                PictureStatus* status) {
  WebPBitstreamFeatures features;
  VP8StatusCode header = WebPGetFeatures(bytes, size, &features);
  if (header == VP8_STATUS_NOT_ENOUGH_DATA) return pictureFails(status, kPictureTruncated);
  if (header != VP8_STATUS_OK) return pictureFails(status, kPictureDamaged);
  if (features.has_animation) {
    status->format = "animated WebP";
    return pictureFails(status, kPictureUnsupported);
  }
  if (!pictureSizeAllowed(size, features.width, features.height, status)) return false;
  // Decoded as RGB or RGBA, then turned gray or RGB where it lies.
  int decoded = features.has_alpha ? 4 : 3;
  size_t count = (size_t)features.width * features.height, length = count * decoded;
  unsigned char* pixels = (unsigned char*)std::malloc(length);
  if (!pixels) return pictureFails(status, kPictureOutOfMemory);
  int stride = features.width * decoded;
  bool read = decoded == 4 ? WebPDecodeRGBAInto(bytes, size, pixels, length, stride) != nullptr
                           : WebPDecodeRGBInto(bytes, size, pixels, length, stride) != nullptr;
  if (!read) {
    std::free(pixels);
    return pictureFails(status, kPictureDamaged);
  }
  adoptPackedPixels(pixels, features.width, features.height, decoded, channels, picture);
  return true;
}

#else

bool decodeWebp(const unsigned char*, size_t, int, DecodedPicture*, PictureStatus* status) {
  status->format = "WebP (this build has no libwebp)";
  return pictureFails(status, kPictureUnsupported);
}

#endif

}  // namespace pdf417read::detail
