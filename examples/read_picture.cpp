// Reads the PDF417 symbols in a picture file and prints each one's text.
// usage: read_picture PICTURE
#include <pdf417read/pdf417read.h>

#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: read_picture PICTURE\n";
    return 2;
  }
  pdf417read::ReadResult result = pdf417read::readFile(argv[1]);
  if (result.status != pdf417read::Status::Decoded) {
    std::cerr << argv[1] << ": " << result.error << "\n";
    return 1;
  }
  for (const pdf417read::Symbol& symbol : result.symbols) std::cout << symbol.text << "\n";
  return 0;
}
