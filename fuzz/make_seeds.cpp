// Writes seed inputs for the fuzz targets from real symbols made with libzint.
// usage: make_fuzz_seeds OUTPUT_DIR
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "codeword/row_reader.h"
#include "support/document_records.h"
#include "support/fuzz_seeds.h"

using namespace pdf417read::detail;

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

void put32(std::vector<unsigned char>* bytes, int value) {
  put16(bytes, value & 0xffff);
  put16(bytes, (value >> 16) & 0xffff);
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

// Codeword streams as zint writes them: ECIs at the start and between
// segments, Macro PDF417 control blocks with optional fields.
void writeMessageSeeds() {
  const std::vector<std::vector<int>> streams = {
      {22, 927, 26, 901, 119, 661, 576, 235, 307, 169, 426, 670, 847, 716, 235, 544, 793, 41, 282, 178, 206, 179},
      {19, 927, 3, 1, 89, 927, 7, 924, 321, 499, 691, 628, 290, 927, 26, 900, 833, 900, 900},
      {12, 817, 131, 344, 925, 99, 29, 926, 110, 100, 59, 900},
      {13, 1, 89, 928, 111, 102, 123, 456, 923, 1, 111, 103, 922},
      {16, 1, 89, 928, 111, 100, 77, 923, 0, 1, 89, 923, 5, 111, 103, 922},
  };
  for (size_t i = 0; i < streams.size(); i++) {
    std::vector<unsigned char> words, block;
    for (int c : streams[i]) put16(&words, c + 1);  // eci_text_fuzz folds word % 930 - 1
    writeSeed("eci_text_fuzz", "message" + std::to_string(i), words);
    // macro_block_fuzz puts the 928 itself at the position it is given.
    size_t blockAt = 2;
    for (size_t k = 1; k < streams[i].size(); k++)
      if (streams[i][k] == 928) blockAt = k;
    put16(&block, (int)blockAt - 1);
    for (size_t k = 1; k < streams[i].size(); k++)
      if (k != blockAt) put16(&block, streams[i][k] + 1);
    writeSeed("macro_block_fuzz", "message" + std::to_string(i), block);
  }
  // Three segments of one message, the last one marked, and a stray of
  // another file id with a segment count.
  std::vector<unsigned char> join;
  const char* parts[] = {"First, ", "second, ", "third."};
  for (int i = 0; i < 4; i++) {
    join.push_back((unsigned char)i);
    join.push_back(i == 2 ? 2 : i == 3 ? 1 : 0);
    put32(&join, i == 3 ? 1 : i);
    put32(&join, 3);
    std::string id = i == 3 ? "471002" : "471001";
    std::string text = i == 3 ? "stray" : parts[i];
    join.insert(join.end(), id.begin(), id.end() + 1);
    join.insert(join.end(), text.begin(), text.end() + 1);
  }
  writeSeed("segment_join_fuzz", "segments", join);
  std::string json = std::string("seed.png") + '\0' + "\x01" + '\0' + "no symbol" + '\0' + "text\xff" + '\0' + "bytes";
  writeSeed("json_output_fuzz", "line", std::vector<unsigned char>(json.begin(), json.end()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds OUTPUT_DIR\n");
    return 2;
  }
  outDir = argv[1];
  mkdir(outDir.c_str(), 0755);
  int index = 0;
  for (const SeedSymbol& seed : seedSymbols()) {
    const ModuleMatrix& symbol = seed.symbol;
    const GrayPicture& picture = seed.picture;
    std::string tag = std::to_string(index++);
    std::vector<FuzzSeed> files = pictureFileSeeds(seed), converted = convertedSeeds(seed);
    files.insert(files.end(), converted.begin(), converted.end());
    for (const FuzzSeed& file : files) {
      writeSeed("picture_fuzz", tag + file.name, file.bytes);
      writeSeed("read_memory_fuzz", tag + file.name, file.bytes);
    }
    for (const FuzzSeed& view : imageViewSeeds(seed)) {
      writeSeed("read_view_fuzz", tag + view.name, view.bytes);
      writeSeed("frames_fuzz", tag + view.name, view.bytes);
    }
    std::vector<unsigned char> gray;
    put16(&gray, picture.width - 1);
    gray.insert(gray.end(), picture.pixels.begin(), picture.pixels.end());
    writeSeed("decode_image_fuzz", tag, gray);

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
  for (const FuzzSeed& view : refusedViewSeeds()) writeSeed("read_view_fuzz", view.name, view.bytes);
  writeMessageSeeds();
  for (const NamedRecord& record : sampleDocumentRecords())
    for (const char* target : {"aamva_fuzz", "bcbp_fuzz", "iso15434_fuzz"})
      writeSeed(target, record.name, std::vector<unsigned char>(record.bytes.begin(), record.bytes.end()));
  return 0;
}
