#include "pipeline/robust_decode.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "highlevel/message_decoder.h"
#include "image/gray_conversion.h"
#include "image/picture_bitmap.h"
#include "pipeline/decode_pipeline.h"
#include "pipeline/symbol_acceptance.h"

// The exact pipeline takes its check codeword count from the length
// descriptor, which damage can change: its correction is trusted only when
// that count is one a symbol can have and checks were left to spare.
static bool exactReadingTrusted(const DecodeResult* exact) {
  int checks = checkCodewordCount;
  bool possibleCount = checks >= 2 && checks <= 512 && (checks & (checks - 1)) == 0;
  return exact && exact->verified && possibleCount &&
         correctionHasSpare(checks, erasureCount, correctionResult);
}

// The exact pipeline's reading: the codewords it handed to data decoding and
// its corners, start pattern outer edge on the left, stop pattern inner edge
// on the right.
static void exactReading(const DecodeResult* exact, SymbolReading* out) {
  int n = codewordCount < kMaxSymbolCodewords ? codewordCount : kMaxSymbolCodewords;
  std::memcpy(out->codewords, decodedCodewords, sizeof(int) * (size_t)n);
  out->codewordCount = n;
  int checks = checkCodewordCount, level = -1;
  for (int l = 0; l <= 8; l++)
    if (checks == 2 << l) level = l;
  out->ecLevel = level;
  out->rows = out->columns = 0;
  const int points[8] = {exact->topLeftX,     exact->topLeftY,     exact->topRightX,   exact->topRightY,
                         exact->bottomRightX, exact->bottomRightY, exact->bottomLeftX, exact->bottomLeftY};
  for (int k = 0; k < 8; k++) out->corners[k] = (float)points[k];
  out->verified = exact->verified;
  out->compact = out->mirrored = 0;
}

int readSymbolExact(const unsigned char* grey, int width, int height, SymbolReading* out,
                    bool* trusted) {
  *trusted = false;
  if (!grey || width < 1 || height < 1) return kDecodeNoSymbol;
  DecodeResult* exact = decodeImageKeeping(grey, width, height);
  if (!exact) return decodeFailure == kDecodeOk ? kDecodeNotDecoded : decodeFailure;
  exactReading(exact, out);
  *trusted = exactReadingTrusted(exact);
  freeDecodeResult(exact);
  return kDecodeOk;
}

int readSymbolRobust(const unsigned char* grey, int width, int height, int effort, SymbolReading* out,
                     ScanStats* stats) {
  ScanStats ignored;
  if (!stats) stats = &ignored;
  std::memset(stats, 0, sizeof *stats);
  if (!grey || width < 1 || height < 1) return kDecodeNoSymbol;
  bool trusted = false;
  int exactFailure = readSymbolExact(grey, width, height, out, &trusted);
  if (trusted) return kDecodeOk;
  out->verified = 0;
  SymbolReading* scanned = (SymbolReading*)std::malloc(sizeof(SymbolReading));
  if (!scanned) return kDecodeNotDecoded;
  ScanRequest request = {effort, 1, nullptr, 0};
  bool read = readSymbolsByScan(grey, width, height, request, scanned, 1, stats) == 1;
  // A verified reading replaces an unconfirmed exact one.
  if (read) *out = *scanned;
  std::free(scanned);
  if (read || exactFailure == kDecodeOk) return kDecodeOk;
  return exactFailure != kDecodeNoSymbol || stats->trails > 0 ? kDecodeNotDecoded : kDecodeNoSymbol;
}

DecodeResult* decodeImageRobust(const unsigned char* grey, int width, int height) {
  SymbolReading* reading = (SymbolReading*)std::malloc(sizeof(SymbolReading));
  DecodedMessage* message = (DecodedMessage*)std::malloc(sizeof(DecodedMessage));
  DecodeResult* result = nullptr;
  decodeFailure = kDecodeNotDecoded;
  if (reading && message) {
    decodeFailure = readSymbolRobust(grey, width, height, kEffortNormal, reading);
    if (decodeFailure == kDecodeOk) {
      decodeMessage(reading->codewords, reading->codewordCount, message);
      const float* c = reading->corners;
      int corners[16] = {(int)std::lround(c[0]), (int)std::lround(c[1]), (int)std::lround(c[6]),
                         (int)std::lround(c[7]), 0, 0, 0, 0, 0, 0, 0, 0,
                         (int)std::lround(c[2]), (int)std::lround(c[3]), (int)std::lround(c[4]),
                         (int)std::lround(c[5])};
      result = buildResult(message->bytes, message->length, corners, reading->verified);
      if (!result) decodeFailure = kDecodeNotDecoded;
    }
  }
  std::free(reading);
  std::free(message);
  return result;
}

DecodeResult* decodeImageFileRobust(const char* path) {
  PictureBitmap* bitmap = loadPictureBitmap(path);
  int width = 0, height = 0;
  unsigned char* grey = bitmap ? bitmapToGray(bitmap, &width, &height) : nullptr;
  freePictureBitmap(bitmap);
  if (!grey) {
    decodeFailure = kDecodeNoPicture;
    return nullptr;
  }
  DecodeResult* result = decodeImageRobust(grey, width, height);
  std::free(grey);
  return result;
}
