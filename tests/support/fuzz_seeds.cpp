#include "support/fuzz_seeds.h"

#include <zint.h>

#include <cstdlib>

#include <cstdio>

#include "support/picture_files.h"

namespace pdf417read::detail {

namespace {

void put32(std::vector<unsigned char>* bytes, int value) {
  for (int k = 0; k < 4; k++) bytes->push_back((unsigned char)((unsigned)value >> (8 * k)));
}

std::vector<unsigned char> viewHeader(int width, int height, int stride, int format, int flags, int maxSymbols) {
  std::vector<unsigned char> header;
  put32(&header, width);
  put32(&header, height);
  put32(&header, stride);
  header.insert(header.end(), {(unsigned char)format, (unsigned char)flags, (unsigned char)maxSymbols,
                               (unsigned char)(maxSymbols >> 8)});
  return header;
}

// Gray pixels spread over the format's channels; with alpha, the colour is
// black and the alpha makes it as light as the gray (transparent lies on
// white paper).
std::vector<unsigned char> viewSeed(const GrayPicture& picture, int format, int pixelBytes, int padding,
                                    int flags) {
  int stride = picture.width * pixelBytes + padding;
  std::vector<unsigned char> seed = viewHeader(picture.width, picture.height, padding ? stride : 0, format, flags,
                                               flags >> 2);
  for (int y = 0; y < picture.height; y++) {
    for (int x = 0; x < picture.width; x++) {
      unsigned char gray = picture.pixels[(size_t)y * picture.width + x];
      if (pixelBytes == 4)
        seed.insert(seed.end(), {0, 0, 0, (unsigned char)(255 - gray)});
      else
        seed.insert(seed.end(), (size_t)pixelBytes, gray);
    }
    seed.insert(seed.end(), (size_t)padding, 0x77);
  }
  return seed;
}

std::vector<unsigned char> writtenAs(const GrayPicture& picture, const char* extension, bool asGray) {
  std::string path = workPath(std::string("seed") + extension);
  std::vector<unsigned char> bytes = writePicture(picture, path, asGray) ? readBytes(path) : std::vector<unsigned char>();
  std::remove(path.c_str());
  return bytes;
}

std::vector<unsigned char> gifOf(const std::string& message) {
  std::string path = workPath("seed.gif");
  zint_symbol* z = ZBarcode_Create();
  z->symbology = BARCODE_PDF417;
  std::snprintf(z->outfile, sizeof z->outfile, "%s", path.c_str());
  int status = ZBarcode_Encode_and_Print(z, (const unsigned char*)message.data(), (int)message.size(), 0);
  ZBarcode_Delete(z);
  std::vector<unsigned char> bytes = status < ZINT_ERROR ? readBytes(path) : std::vector<unsigned char>();
  std::remove(path.c_str());
  return bytes;
}

}  // namespace

std::vector<SeedSymbol> seedSymbols() {
  const char* inputs[] = {"ABC", "Hello, World! 0123456789", "12345678901234567890123456789",
                          "\x80\x81\x82\x83\x84\x85\x86 bytes and text"};
  std::vector<SeedSymbol> seeds;
  for (const char* input : inputs) {
    SeedSymbol seed;
    seed.message = input;
    SymbolOptions options;
    options.eccLevel = (int)seeds.size() % 4;
    if (!encodeSymbol(input, options, &seed.symbol)) continue;
    DrawOptions draw;
    draw.modulePixels = 2;
    draw.rowPixels = 6;
    draw.quietPixels = 6;
    draw.rotation = seeds.size() % 2 ? 180 : 0;
    seed.picture = drawSymbol(seed.symbol, draw);
    seeds.push_back(seed);
  }
  return seeds;
}

std::vector<FuzzSeed> pictureFileSeeds(const SeedSymbol& seed) {
  std::vector<FuzzSeed> files;
  for (const char* extension : {".png", ".bmp", ".jpg", ".tga"})
    files.push_back({extension, writtenAs(seed.picture, extension, false)});
  files.push_back({"-gray.png", writtenAs(seed.picture, ".png", true)});
  const GrayPicture& picture = seed.picture;
  // Netpbm of every kind: bits, gray and colour, plain and raw, 8 and 16
  // bits, and a maximum that is neither.
  const struct {
    const char* magic;
    int maxValue;
    const char* name;
  } kNetpbm[] = {{"P1", 1, "-plain.pbm"},   {"P2", 255, "-plain.pgm"}, {"P3", 1000, "-plain.ppm"},
                 {"P4", 1, ".pbm"},         {"P5", 255, ".pgm"},       {"P6", 255, ".ppm"},
                 {"P5", 65535, "-16.pgm"},  {"P6", 65535, "-16.ppm"},  {"P5", 100, "-100.pgm"}};
  for (const auto& kind : kNetpbm) files.push_back({kind.name, pnmFile(picture, kind.magic, kind.maxValue)});
  files.push_back({".gif", gifOf(seed.message)});
  // TIFF of the common layouts, one of two pages; WebP both ways.
  const struct {
    TiffLayout layout;
    const char* name;
  } kTiff[] = {{{1, false, kTiffG4, 0, 1000}, "-g4.tif"},     {{1, false, kTiffG3, 0, 16}, "-g3.tif"},
               {{8, false, kTiffLzw, 0, 8}, "-lzw.tif"},      {{16, false, kTiffDeflate, 0, 16}, "-16.tif"},
               {{8, true, kTiffJpeg, 16, 0}, "-tiles.tif"}};
  for (const auto& kind : kTiff) files.push_back({kind.name, tiffFile({picture}, kind.layout)});
  files.push_back({"-pages.tif", tiffFile({picture, picture}, TiffLayout{})});
  files.push_back({"-lossless.webp", webpFile(picture, true)});
  files.push_back({".webp", webpFile(picture, false)});
  std::vector<FuzzSeed> written;
  for (FuzzSeed& file : files)
    if (!file.bytes.empty()) written.push_back(std::move(file));
  return written;
}

std::vector<FuzzSeed> imageViewSeeds(const SeedSymbol& seed) {
  const int pixelBytes[] = {1, 3, 3, 4, 4};
  std::vector<FuzzSeed> views;
  for (int format = 0; format < 5; format++)
    views.push_back({"-format" + std::to_string(format),
                     viewSeed(seed.picture, format, pixelBytes[format], format % 2 ? 5 : 0, format * 6)});
  return views;
}

std::vector<FuzzSeed> refusedViewSeeds() {
  // A stride shorter than a row, no pixels, a format that is none, sizes
  // past the limits, a negative width.
  const int refused[][5] = {{40, 30, 39, 0, 0}, {40, 30, 0, 0, 1}, {40, 30, 0, 9, 0}, {32768, 2, 0, 0, 0},
                            {20000, 20000, 0, 1, 0}, {-5, 7, 0, 0, 0}};
  std::vector<FuzzSeed> views;
  for (const auto& view : refused) {
    std::vector<unsigned char> bytes = viewHeader(view[0], view[1], view[2], view[3], view[4], 0);
    bytes.push_back(0x80);
    views.push_back({"refused-" + std::to_string(views.size()), bytes});
  }
  return views;
}

std::vector<FuzzSeed> convertedSeeds(const SeedSymbol& seed) {
  std::vector<FuzzSeed> files;
  if (std::system("command -v convert >/dev/null 2>&1") != 0) return files;
  std::string source = workPath("convert-seed.png");
  if (!writePicture(seed.picture, source)) return files;
  // ImageMagick's output type and options for each variant.
  const struct {
    const char* options;
    const char* target;
    const char* name;
  } kVariants[] = {
      {"-interlace PNG", "png:", "-interlaced.png"},
      {"-depth 16", "png48:", "-16.png"},
      {"-define png:bit-depth=16 -define png:color-type=0", "png:", "-gray16.png"},
      {"-interlace JPEG", "jpg:", "-progressive.jpg"},
      {"-type Palette", "bmp3:", "-palette.bmp"},
      {"-type Palette -compress RLE", "bmp3:", "-rle.bmp"},  // refused, as unsupported
      // One red pixel: a gray picture would be written as gray, not with a palette.
      {"-fill '#ff0000' -draw 'point 0,0' -type Palette", "tga:", "-palette.tga"},
      {"-fill '#ff0000' -draw 'point 0,0' -type Palette -compress RLE", "tga:", "-palette-rle.tga"},
      {"-compress RLE", "tga:", "-rle.tga"},
      {"-type Palette", "gif:", "-palette.gif"},
  };
  for (const auto& variant : kVariants) {
    std::string target = workPath("convert-seed-out");
    std::string command = std::string("convert '") + source + "' " + variant.options + " '" + variant.target +
                          target + "' >/dev/null 2>&1";
    std::vector<unsigned char> bytes = std::system(command.c_str()) == 0 ? readBytes(target) : std::vector<unsigned char>();
    if (!bytes.empty()) files.push_back({variant.name, bytes});
    std::remove(target.c_str());
  }
  std::remove(source.c_str());
  return files;
}

}  // namespace pdf417read::detail
