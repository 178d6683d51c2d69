#include "support/picture_files.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef PDF417_HAVE_TIFF
#include <tiffio.h>
#endif
#ifdef PDF417_HAVE_WEBP
#include <webp/encode.h>
#endif

namespace pdf417read::detail {

std::vector<unsigned char> pnmFile(const GrayPicture& picture, const char* magic, int maxValue) {
  int kind = magic[1] - '0';
  bool plain = kind <= 3, bits = kind == 1 || kind == 4, colour = kind == 3 || kind == 6;
  std::string text = std::string(magic) + "\n# made by the tests\n" + std::to_string(picture.width) + " " +
                     std::to_string(picture.height) + "\n";
  if (!bits) text += std::to_string(maxValue) + "\n";
  std::vector<unsigned char> bytes(text.begin(), text.end());
  for (int y = 0; y < picture.height; y++) {
    const unsigned char* row = picture.pixels.data() + (size_t)y * picture.width;
    if (bits && !plain) {
      std::vector<unsigned char> packed((picture.width + 7) / 8, 0);
      for (int x = 0; x < picture.width; x++)
        if (row[x] < 128) packed[x / 8] |= (unsigned char)(0x80 >> (x % 8));
      bytes.insert(bytes.end(), packed.begin(), packed.end());
      continue;
    }
    std::string line;
    for (int x = 0; x < picture.width; x++) {
      int sample = bits ? row[x] < 128 : (row[x] * maxValue + 127) / 255;
      for (int c = 0; c < (colour ? 3 : 1); c++) {
        if (plain) {
          line += std::to_string(sample) + (bits ? "" : " ");
        } else if (maxValue > 255) {
          bytes.push_back((unsigned char)(sample >> 8));
          bytes.push_back((unsigned char)sample);
        } else {
          bytes.push_back((unsigned char)sample);
        }
      }
    }
    if (plain) {
      line += "\n";
      bytes.insert(bytes.end(), line.begin(), line.end());
    }
  }
  return bytes;
}

#ifdef PDF417_HAVE_TIFF

bool tiffAvailable() { return true; }

namespace {

// A row of the page as the layout stores it.
std::vector<unsigned char> tiffRow(const unsigned char* gray, int width, const TiffLayout& layout) {
  std::vector<unsigned char> row;
  int colours = layout.colour ? 3 : 1, samples = colours + (layout.alpha ? 1 : 0);
  if (layout.bits == 1) {
    row.assign(((size_t)width * samples + 7) / 8, 0);
    // Photometric min-is-white: a set bit is black; a set alpha bit opaque.
    for (int x = 0; x < width; x++)
      for (int s = 0; s < samples; s++)
        if (s == colours || gray[x] < 128) row[(x * samples + s) / 8] |= (unsigned char)(0x80 >> ((x * samples + s) % 8));
    return row;
  }
  for (int x = 0; x < width; x++)
    for (int s = 0; s < samples; s++) {
      unsigned char level = s == colours ? 255 : gray[x];
      if (layout.bits == 8) {
        row.push_back(level);
        continue;
      }
      // 16-bit samples in the machine's byte order, as libtiff takes them.
      uint16_t sample = (uint16_t)(level * 257);
      unsigned char bytes[2];
      std::memcpy(bytes, &sample, 2);
      row.insert(row.end(), bytes, bytes + 2);
    }
  return row;
}

bool writePage(TIFF* tiff, const GrayPicture& page, const TiffLayout& layout) {
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bits);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, (layout.colour ? 3 : 1) + (layout.alpha ? 1 : 0));
  if (layout.alpha) {
    uint16_t kinds[1] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, kinds);
  }
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
               layout.colour ? PHOTOMETRIC_RGB : layout.bits == 1 ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, layout.compression);
  std::vector<std::vector<unsigned char>> rows;
  for (int y = 0; y < page.height; y++) rows.push_back(tiffRow(page.pixels.data() + (size_t)y * page.width, page.width, layout));
  if (!layout.tileSide) {
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, layout.rowsPerStrip);
    for (int y = 0; y < page.height; y++)
      if (TIFFWriteScanline(tiff, rows[y].data(), y, 0) < 0) return false;
    return TIFFWriteDirectory(tiff) != 0;
  }
  int side = layout.tileSide;
  TIFFSetField(tiff, TIFFTAG_TILEWIDTH, side);
  TIFFSetField(tiff, TIFFTAG_TILELENGTH, side);
  size_t pixelBytes = rows[0].size() / page.width;  // tiles of 8 or 16 bits only
  std::vector<unsigned char> tile((size_t)side * side * pixelBytes);
  for (int top = 0; top < page.height; top += side)
    for (int left = 0; left < page.width; left += side) {
      std::fill(tile.begin(), tile.end(), 0xFF);
      for (int y = top; y < top + side && y < page.height; y++)
        for (int x = left; x < left + side && x < page.width; x++)
          std::memcpy(&tile[((size_t)(y - top) * side + (x - left)) * pixelBytes], &rows[y][(size_t)x * pixelBytes],
                      pixelBytes);
      if (TIFFWriteTile(tiff, tile.data(), left, top, 0, 0) < 0) return false;
    }
  return TIFFWriteDirectory(tiff) != 0;
}

}  // namespace

std::vector<unsigned char> tiffFile(const std::vector<GrayPicture>& pages, const TiffLayout& layout) {
  std::string path = workPath("written.tif");
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (!tiff) return {};
  bool written = true;
  for (const GrayPicture& page : pages) written = written && writePage(tiff, page, layout);
  TIFFClose(tiff);
  std::vector<unsigned char> bytes = written ? readBytes(path) : std::vector<unsigned char>();
  std::remove(path.c_str());
  return bytes;
}

#else

bool tiffAvailable() { return false; }
std::vector<unsigned char> tiffFile(const std::vector<GrayPicture>&, const TiffLayout&) { return {}; }

#endif

#ifdef PDF417_HAVE_WEBP

bool webpAvailable() { return true; }

std::vector<unsigned char> webpFile(const GrayPicture& picture, bool lossless) {
  std::vector<unsigned char> rgb;
  for (unsigned char gray : picture.pixels) rgb.insert(rgb.end(), 3, gray);
  uint8_t* output = nullptr;
  int stride = picture.width * 3;
  size_t size = lossless ? WebPEncodeLosslessRGB(rgb.data(), picture.width, picture.height, stride, &output)
                         : WebPEncodeRGB(rgb.data(), picture.width, picture.height, stride, 90, &output);
  std::vector<unsigned char> bytes(output, output + size);
  WebPFree(output);
  return bytes;
}

#else

bool webpAvailable() { return false; }
std::vector<unsigned char> webpFile(const GrayPicture&, bool) { return {}; }

#endif

}  // namespace pdf417read::detail
