// Netpbm files: PBM, PGM and PPM, plain (ASCII, P1 to P3) and raw (P4 to
// P6), samples of 1 to 16 bits.
#ifndef PDF417_IMAGE_PNM_READER_H
#define PDF417_IMAGE_PNM_READER_H

#include <cstddef>

#include "image/decoded_picture.h"

namespace pdf417read::detail {

// Whether the bytes start like a Netpbm file ("P1" to "P6").
bool isPnm(const unsigned char* bytes, size_t size);

// The picture with `channels` bytes a pixel (1 gray, 3 colour). Samples
// scale from the file's maximum value to 0..255; 16-bit samples of maximum
// 65535 keep their high byte, as 16-bit PNG samples do. A bit of a PBM file
// is black when set. False, with the reason in *status, for a damaged,
// truncated or oversized file.
bool decodePnm(const unsigned char* bytes, size_t size, int channels, DecodedPicture* picture,
               PictureStatus* status);

}  // namespace pdf417read::detail

#endif
