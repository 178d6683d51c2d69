// Test support: the seed inputs of the fuzz targets that read through the
// public functions, made from real symbols, for make_fuzz_seeds and for the
// tests that run fuzz inputs themselves.
#ifndef PDF417_TESTS_SUPPORT_FUZZ_SEEDS_H
#define PDF417_TESTS_SUPPORT_FUZZ_SEEDS_H

#include <string>
#include <vector>

#include "support/symbol_pictures.h"

namespace pdf417read::detail {

struct FuzzSeed {
  std::string name;
  std::vector<unsigned char> bytes;
};

// The symbols every target's seeds are drawn from: four messages (text,
// digits, bytes) at error-correction levels 0 to 3, two of them drawn
// upside down, 2 pixels a module.
struct SeedSymbol {
  std::string message;
  ModuleMatrix symbol;
  GrayPicture picture;
};
std::vector<SeedSymbol> seedSymbols();

// The picture as files of every format the reader takes: PNG (colour and
// gray), BMP, JPEG, TGA, Netpbm of every kind (plain and raw, 8 and 16
// bits), TIFF (G3, G4, LZW, Deflate 16-bit, JPEG tiles, two pages), WebP
// (lossless and lossy) and the encoder's own GIF of the message.
std::vector<FuzzSeed> pictureFileSeeds(const SeedSymbol& seed);

// The kinds only ImageMagick writes here: interlaced and 16-bit PNG,
// progressive JPEG, palette and RLE BMP and TGA (RLE BMP is refused as
// unsupported), palette GIF. Empty when
// its convert is not installed (tools/run-fuzz.sh installs it).
std::vector<FuzzSeed> convertedSeeds(const SeedSymbol& seed);

// read_view_fuzz inputs (fuzz/view_input.h): the picture in every pixel
// format, some with padded rows; and views read must refuse.
std::vector<FuzzSeed> imageViewSeeds(const SeedSymbol& seed);
std::vector<FuzzSeed> refusedViewSeeds();

}  // namespace pdf417read::detail

#endif
