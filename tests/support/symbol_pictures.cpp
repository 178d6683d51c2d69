#include "support/symbol_pictures.h"

#include <zint.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <stb_image_write.h>

#include "codeword/pattern_table.h"

namespace pdf417read::detail {

bool takeEncoded(zint_symbol* z, int status, ModuleMatrix* symbol, std::string* error) {
  if (status >= ZINT_ERROR) {
    if (error) *error = z->errtxt;
    ZBarcode_Delete(z);
    return false;
  }
  symbol->rows = z->rows;
  symbol->width = z->width;
  symbol->modules.assign((size_t)z->rows * z->width, 0);
  for (int r = 0; r < z->rows; r++)
    for (int c = 0; c < z->width; c++)
      symbol->modules[(size_t)r * z->width + c] = (z->encoded_data[r][c >> 3] >> (c & 7)) & 1;
  ZBarcode_Delete(z);
  return true;
}

bool encodeSymbol(const std::string& data, const SymbolOptions& options, ModuleMatrix* symbol,
                  std::string* error) {
  zint_symbol* z = ZBarcode_Create();
  if (!z) return false;
  z->symbology = options.compact ? BARCODE_PDF417COMP : BARCODE_PDF417;
  z->input_mode = DATA_MODE;
  z->option_1 = options.eccLevel;
  z->option_2 = options.columns;
  z->option_3 = options.rows;
  int status = ZBarcode_Encode(z, (const unsigned char*)data.data(), (int)data.size());
  return takeEncoded(z, status, symbol, error);
}

GrayPicture drawSymbol(const ModuleMatrix& symbol, const DrawOptions& options) {
  int uprightWidth = symbol.width * options.modulePixels + 2 * options.quietPixels;
  int uprightHeight = symbol.rows * options.rowPixels + 2 * options.quietPixels;
  GrayPicture upright;
  upright.width = uprightWidth;
  upright.height = uprightHeight;
  upright.pixels.assign((size_t)uprightWidth * uprightHeight, options.light);
  for (int y = 0; y < symbol.rows * options.rowPixels; y++)
    for (int x = 0; x < symbol.width * options.modulePixels; x++)
      if (symbol.at(y / options.rowPixels,
                    options.mirrored ? symbol.width - 1 - x / options.modulePixels : x / options.modulePixels))
        upright.pixels[(size_t)(y + options.quietPixels) * uprightWidth + x + options.quietPixels] =
            options.dark;
  int turns = ((options.rotation % 360 + 360) % 360) / 90;
  GrayPicture turned = upright;
  for (int k = 0; k < turns; k++) {
    GrayPicture next;
    next.width = turned.height;
    next.height = turned.width;
    next.pixels.resize(turned.pixels.size());
    // A clockwise quarter turn: (x, y) goes to (height - 1 - y, x).
    for (int y = 0; y < turned.height; y++)
      for (int x = 0; x < turned.width; x++)
        next.pixels[(size_t)x * next.width + (turned.height - 1 - y)] =
            turned.pixels[(size_t)y * turned.width + x];
    turned = next;
  }
  return turned;
}

static bool endsWith(const std::string& text, const char* suffix) {
  size_t n = std::strlen(suffix);
  return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

bool writePicture(const GrayPicture& picture, const std::string& path, bool asGray, int jpegQuality) {
  std::vector<unsigned char> rgb;
  const unsigned char* data = picture.pixels.data();
  int channels = 1;
  if (!asGray) {
    channels = 3;
    rgb.resize(picture.pixels.size() * 3);
    for (size_t i = 0; i < picture.pixels.size(); i++)
      rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = picture.pixels[i];
    data = rgb.data();
  }
  const char* p = path.c_str();
  int w = picture.width, h = picture.height;
  if (endsWith(path, ".png")) return stbi_write_png(p, w, h, channels, data, w * channels) != 0;
  if (endsWith(path, ".bmp")) return stbi_write_bmp(p, w, h, channels, data) != 0;
  if (endsWith(path, ".tga")) return stbi_write_tga(p, w, h, channels, data) != 0;
  if (endsWith(path, ".jpg")) return stbi_write_jpg(p, w, h, channels, data, jpegQuality) != 0;
  return false;
}

GrayPicture blankPicture(int width, int height, unsigned char level) {
  GrayPicture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.assign((size_t)width * height, level);
  return picture;
}

GrayPicture adoptPicture(unsigned char* pixels, int width, int height) {
  GrayPicture picture;
  if (!pixels) return picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.assign(pixels, pixels + (size_t)width * height);
  std::free(pixels);
  return picture;
}

void pastePicture(GrayPicture* canvas, const GrayPicture& piece, int x, int y) {
  for (int row = 0; row < piece.height; row++) {
    int cy = y + row;
    if (cy < 0 || cy >= canvas->height) continue;
    for (int column = 0; column < piece.width; column++) {
      int cx = x + column;
      if (cx >= 0 && cx < canvas->width)
        canvas->pixels[(size_t)cy * canvas->width + cx] = piece.pixels[(size_t)row * piece.width + column];
    }
  }
}

int dataColumns(const ModuleMatrix& symbol) {
  // Row layout: start (17 modules), left indicator, data columns, right
  // indicator, stop (18 modules).
  return (symbol.width - 17 - 18) / 17 - 2;
}

static int firstModuleOf(int column) { return 17 + 17 * (column + 1); }

int codewordAt(const ModuleMatrix& symbol, int row, int column) {
  int key = 0;
  for (int m = 0; m < 17; m++) key = (key << 1) | symbol.at(row, firstModuleOf(column) + m);
  return lookupCodeword(key);
}

void replaceCodeword(ModuleMatrix* symbol, int row, int column, int codeword) {
  int wanted = (row % 3) * 929 + codeword + 1;
  for (int i = 0; i < kPatternTableSize; i++) {
    if (codewordPatternValues[i] != wanted) continue;
    for (int m = 0; m < 17; m++)
      symbol->modules[(size_t)row * symbol->width + firstModuleOf(column) + m] =
          (codewordPatternKeys[i] >> (16 - m)) & 1;
  }
}

void blotCodeword(ModuleMatrix* symbol, int row, int column) {
  for (int m = 0; m < 17; m++) symbol->modules[(size_t)row * symbol->width + firstModuleOf(column) + m] = 1;
}

GrayPicture messagePicture(const std::string& data, int rotation, int modulePixels) {
  ModuleMatrix symbol;
  if (!encodeSymbol(data, SymbolOptions{}, &symbol)) return GrayPicture{};
  DrawOptions draw;
  draw.rotation = rotation;
  draw.modulePixels = modulePixels;
  draw.rowPixels = 3 * modulePixels;
  return drawSymbol(symbol, draw);
}

std::vector<int> symbolCodewords(const ModuleMatrix& symbol) {
  std::vector<int> codewords;
  for (int r = 0; r < symbol.rows; r++)
    for (int c = 0; c < dataColumns(symbol); c++) {
      int codeword = codewordAt(symbol, r, c);
      if (codeword < 0) return {};
      codewords.push_back(codeword);
    }
  return codewords;
}

std::vector<unsigned char> readBytes(const std::string& path) {
  std::vector<unsigned char> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  unsigned char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(file);
  return bytes;
}

bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace pdf417read::detail
