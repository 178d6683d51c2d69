// Writes seed inputs for the fuzz targets from real symbols made with libzint.
// usage: make_fuzz_seeds OUTPUT_DIR
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "codeword/row_reader.h"
#include "support/symbol_pictures.h"

namespace {

std::string outDir;

void writeSeed(const std::string& target, const std::string& name, const std::vector<unsigned char>& bytes) {
  std::string dir = outDir + "/" + target;
  mkdir(dir.c_str(), 0755);
  FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void put16(std::vector<unsigned char>* bytes, int value) {
  bytes->push_back((unsigned char)(value & 0xff));
  bytes->push_back((unsigned char)((value >> 8) & 0xff));
}

// The symbol between the inner edges of its start and stop patterns, as the
// row reader takes it: 2 pixels per module, 3 grid rows per symbol row.
std::vector<unsigned char> readerGrid(const ModuleMatrix& symbol, int* rowLen) {
  int modules = symbol.width - 17 - 18;
  *rowLen = modules * 2 + 1;
  std::vector<unsigned char> grid;
  for (int r = 0; r < symbol.rows; r++)
    for (int copy = 0; copy < 3; copy++) {
      for (int m = 0; m < modules; m++) grid.insert(grid.end(), 2, symbol.at(r, 17 + m));
      grid.push_back(0);
    }
  return grid;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds OUTPUT_DIR\n");
    return 2;
  }
  outDir = argv[1];
  mkdir(outDir.c_str(), 0755);
  const char* inputs[] = {"ABC", "Hello, World! 0123456789", "12345678901234567890123456789",
                          "\x80\x81\x82\x83\x84\x85\x86 bytes and text"};
  int index = 0;
  for (const char* input : inputs) {
    ModuleMatrix symbol;
    SymbolOptions options;
    options.eccLevel = index % 4;
    if (!encodeSymbol(input, options, &symbol)) return 1;
    std::string tag = std::to_string(index++);

    DrawOptions draw;
    draw.modulePixels = 2;
    draw.rowPixels = 6;
    draw.quietPixels = 6;
    draw.rotation = index % 2 ? 0 : 180;
    GrayPicture picture = drawSymbol(symbol, draw);
    for (const char* ext : {".png", ".bmp", ".jpg", ".tga"}) {
      std::string path = outDir + "/seed" + ext;
      writePicture(picture, path);
      writeSeed("picture_fuzz", tag + ext, readBytes(path));
      std::remove(path.c_str());
    }
    std::vector<unsigned char> grey;
    put16(&grey, picture.width - 1);
    grey.insert(grey.end(), picture.pixels.begin(), picture.pixels.end());
    writeSeed("decode_image_fuzz", tag, grey);
    writeSeed("decode_robust_fuzz", tag, grey);

    int rowLen = 0;
    std::vector<unsigned char> grid = readerGrid(symbol, &rowLen);
    std::vector<unsigned char> rows;
    put16(&rows, rowLen - 1);
    rows.insert(rows.end(), grid.begin(), grid.end());
    writeSeed("row_reader_fuzz", tag, rows);

    std::vector<int> codewords = symbolCodewords(symbol);
    std::vector<unsigned char> word;
    int n = (int)codewords.size();
    put16(&word, n);
    put16(&word, n - codewords[0]);
    put16(&word, 1);
    put16(&word, 2);
    codewords[2] = -1;
    for (int c : codewords) put16(&word, c);
    writeSeed("reed_solomon_fuzz", tag, word);

    codewords = symbolCodewords(symbol);
    std::vector<unsigned char> data;
    put16(&data, n);
    for (int c : codewords) put16(&data, c);
    writeSeed("data_decoder_fuzz", tag, data);
  }
  return 0;
}
