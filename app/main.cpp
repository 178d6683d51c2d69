// pdf417read: decodes the PDF417 symbol in each picture named on the command
// line and prints its text.
#include <cstdio>
#include <cstring>

#include "pipeline/decode_entry.h"
#include "pipeline/decode_pipeline.h"
#include "pipeline/robust_decode.h"

#ifndef PDF417READ_VERSION
#define PDF417READ_VERSION "unknown"
#endif

static const char kDefaultPicture[] = "c:\\24.bmp";

static void printUsage(FILE* out) {
  std::fprintf(out,
               "Usage: pdf417read [PICTURE...]\n"
               "Decodes the PDF417 barcode in each picture and prints \"Result =TEXT\".\n"
               "Pictures: BMP, PNG, JPEG, GIF, TGA, PNM. Without a picture, reads %s.\n"
               "\n"
               "  -h, --help     show this help and exit\n"
               "  -V, --version  show the version and exit\n"
               "\n"
               "Exit status: 0 when every picture decoded, 1 otherwise, 2 on a usage error.\n",
               kDefaultPicture);
}

static const char* failureText(int failure) {
  switch (failure) {
    case kDecodeNoPicture: return "cannot read the picture";
    case kDecodeNoSymbol: return "no PDF417 symbol found";
    default: return "PDF417 symbol found but not decoded";
  }
}

// Prints the result line; false (with a message) when nothing was decoded
// or when error correction could not confirm the text.
static bool decodeOne(const char* path) {
  DecodeResult* result = decodeImageFileRobust(path);
  if (!result) {
    std::fflush(stdout);
    std::fprintf(stderr, "pdf417read: %s: %s\n", path, failureText(decodeFailure));
    return false;
  }
  // The text may hold zero bytes: it is written whole, not as a string.
  std::printf("Result =");
  std::fwrite(result->text, 1, (size_t)result->textLength, stdout);
  std::printf("\n");
  bool verified = result->verified != 0;
  freeDecodeResult(result);
  if (!verified) {
    std::fflush(stdout);
    std::fprintf(stderr, "pdf417read: %s: warning: error correction failed, the text is unchecked\n", path);
  }
  return verified;
}

int main(int argc, char** argv) {
  int firstPath = 1;
  for (; firstPath < argc && argv[firstPath][0] == '-' && argv[firstPath][1]; firstPath++) {
    const char* option = argv[firstPath];
    if (!std::strcmp(option, "--")) {
      firstPath++;
      break;
    }
    if (!std::strcmp(option, "-h") || !std::strcmp(option, "--help")) {
      printUsage(stdout);
      return 0;
    }
    if (!std::strcmp(option, "-V") || !std::strcmp(option, "--version")) {
      std::printf("pdf417read %s\n", PDF417READ_VERSION);
      return 0;
    }
    std::fprintf(stderr, "pdf417read: unknown option %s\n", option);
    printUsage(stderr);
    return 2;
  }
  if (firstPath >= argc) return decodeOne(kDefaultPicture) ? 0 : 1;
  bool allDecoded = true;
  for (int i = firstPath; i < argc; i++) allDecoded = decodeOne(argv[i]) && allDecoded;
  return allDecoded ? 0 : 1;
}
