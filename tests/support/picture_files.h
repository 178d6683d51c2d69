// Test support: a gray picture written as the picture files of the formats
// the reader takes beyond the common ones (Netpbm of every kind, TIFF,
// WebP), made with the formats' own libraries.
#ifndef PDF417_TESTS_SUPPORT_PICTURE_FILES_H
#define PDF417_TESTS_SUPPORT_PICTURE_FILES_H

#include <string>
#include <vector>

#include "support/symbol_pictures.h"

namespace pdf417read::detail {

// A Netpbm file: magic "P1" to "P6". PBM sets a bit for a level below 128;
// PPM repeats the gray in three channels; PGM and PPM samples are the gray
// scaled to maxValue (1 to 65535; two bytes a sample above 255).
std::vector<unsigned char> pnmFile(const GrayPicture& picture, const char* magic, int maxValue = 255);

// TIFF compressions, by their numbers in the format.
enum TiffCompression { kTiffNone = 1, kTiffG3 = 3, kTiffG4 = 4, kTiffLzw = 5, kTiffJpeg = 7, kTiffDeflate = 8 };

// How a TIFF page is stored.
struct TiffLayout {
  int bits = 8;                // 1 (black below 128), 8 or 16 a sample
  bool colour = false;         // RGB instead of gray
  int compression = kTiffNone;
  int tileSide = 0;            // tiles of this side (a multiple of 16); 0: strips
  int rowsPerStrip = 16;
  bool alpha = false;          // an opaque alpha sample after the gray or colour
};

// Whether this build reads and writes TIFF and WebP.
bool tiffAvailable();
bool webpAvailable();

// A TIFF file of one page per picture (empty when TIFF is not available).
std::vector<unsigned char> tiffFile(const std::vector<GrayPicture>& pages, const TiffLayout& layout);

// A WebP file of the picture in colour, lossless or at quality 90 (empty
// when WebP is not available).
std::vector<unsigned char> webpFile(const GrayPicture& picture, bool lossless);

}  // namespace pdf417read::detail

#endif
