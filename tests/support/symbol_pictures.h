// Test support: PDF417 symbols encoded with libzint and drawn as pictures.
#ifndef PDF417_TESTS_SUPPORT_SYMBOL_PICTURES_H
#define PDF417_TESTS_SUPPORT_SYMBOL_PICTURES_H

#include <string>
#include <vector>

// libzint's symbol, taken by takeEncoded.
struct zint_symbol;

namespace pdf417read::detail {

struct SymbolOptions {
  int columns = 0;    // data columns 1..30, 0 = encoder's choice
  int rows = 0;       // rows 3..90, 0 = encoder's choice
  int eccLevel = -1;  // 0..8, -1 = encoder's choice
  bool compact = false;  // compact PDF417: no right row indicator, a one-module stop bar
};

// The symbol's modules, 1 = bar, row-major, one entry per module.
struct ModuleMatrix {
  int rows = 0;
  int width = 0;
  std::vector<unsigned char> modules;
  unsigned char at(int row, int column) const { return modules[(size_t)row * width + column]; }
};

struct GrayPicture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;  // 0 black .. 255 white, row-major
};

struct DrawOptions {
  int modulePixels = 3;  // pixels per module, across
  int rowPixels = 9;     // pixels per symbol row, down
  int quietPixels = 20;  // light margin on every side
  int rotation = 0;      // 0, 90, 180 or 270 degrees clockwise
  bool mirrored = false; // drawn left to right reversed, before the turn
  unsigned char dark = 0;
  unsigned char light = 255;
};

// Encodes data (bytes, taken as binary) as a PDF417 symbol. False with a
// message in *error when the encoder refuses.
bool encodeSymbol(const std::string& data, const SymbolOptions& options, ModuleMatrix* symbol,
                  std::string* error = nullptr);

// Takes the modules of a symbol libzint encoded with this status, or its
// error message, and deletes the zint symbol either way.
bool takeEncoded(zint_symbol* encoded, int status, ModuleMatrix* symbol, std::string* error);

GrayPicture drawSymbol(const ModuleMatrix& symbol, const DrawOptions& options);

// A message encoded with the encoder's choices and drawn with modules
// `modulePixels` wide, rows three modules high, turned `rotation` degrees.
GrayPicture messagePicture(const std::string& data, int rotation = 0, int modulePixels = 3);

// Writes by extension: .png, .bmp, .tga, .jpg (at jpegQuality, 1..100). Gray
// pictures are written as three equal channels unless asGray is set.
bool writePicture(const GrayPicture& picture, const std::string& path, bool asGray = false,
                  int jpegQuality = 95);

// A width x height picture of one gray level.
GrayPicture blankPicture(int width, int height, unsigned char level = 255);

// A malloc'd gray buffer of width * height bytes (as the library's picture
// functions return them) as a picture; the buffer is freed. An empty picture
// for a null buffer.
GrayPicture adoptPicture(unsigned char* pixels, int width, int height);

// Copies piece onto canvas with its top-left corner at (x, y); what falls
// outside the canvas is left out.
void pastePicture(GrayPicture* canvas, const GrayPicture& piece, int x, int y);

// The codewords the encoder placed in the symbol, read back from its bars,
// row by row, row indicators left out: length descriptor, data, then check
// codewords. Empty when a pattern is not found.
std::vector<int> symbolCodewords(const ModuleMatrix& symbol);

// A whole file's bytes (empty when it cannot be read), and a file written
// with exactly these bytes (false when it cannot be).
std::vector<unsigned char> readBytes(const std::string& path);
bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// The number of data columns of a symbol, and the codeword at a data column
// of a row (-1 when its pattern is not a codeword).
int dataColumns(const ModuleMatrix& symbol);
int codewordAt(const ModuleMatrix& symbol, int row, int column);

// Draws `codeword` in the cluster of `row` over the codeword at a data column.
void replaceCodeword(ModuleMatrix* symbol, int row, int column, int codeword);

// Paints the codeword at a data column of a row as one solid bar, which no
// codeword is: a reader sees an erasure there.
void blotCodeword(ModuleMatrix* symbol, int row, int column);

// A file path in a scratch folder of the running test's own: test binaries,
// and the tests within one, may run at the same time (work_path.cpp).
std::string workPath(const std::string& name);

}  // namespace pdf417read::detail

#endif
