// Round trips through libzint: encode data, read its codewords back from the
// symbol, decode them and expect the data again, byte for byte.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "highlevel/data_decoder.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

std::string roundTrip(const std::string& data) {
  ModuleMatrix symbol;
  std::string error;
  if (!encodeSymbol(data, SymbolOptions{}, &symbol, &error)) return "encoder refused: " + error;
  std::vector<int> codewords = symbolCodewords(symbol);
  int total = (int)codewords.size();
  codewords.resize(3060, -2);
  std::unique_ptr<DecodedMessage> message(new DecodedMessage());
  if (decodeDataCodewords(codewords.data(), total, message.get()) != kMessageWhole)
    return "decoding stopped early";
  return std::string(message->bytes, (size_t)message->length);
}

std::string randomFrom(std::mt19937& random, const std::string& alphabet, int length) {
  std::string chunk;
  for (int i = 0; i < length; i++) chunk += alphabet[random() % alphabet.size()];
  return chunk;
}

std::string printable() {
  std::string alphabet = "\r\n\t";
  for (int c = 32; c < 127; c++) alphabet += (char)c;
  return alphabet;
}

std::string anyByte() {
  std::string alphabet;
  for (int c = 1; c < 256; c++) alphabet += (char)c;
  return alphabet;
}

const std::string kDigits = "0123456789";
const std::string kMixedCase = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// One chunk of text, digits, mixed case or bytes, each long enough at times
// for the encoder to pick its own compaction mode for it.
std::string randomChunk(std::mt19937& random, int kind, int maxLength) {
  int length = 1 + (int)(random() % maxLength);
  if (kind == 0) return randomFrom(random, printable(), length);
  if (kind == 1) return randomFrom(random, kDigits, length);
  if (kind == 2) return randomFrom(random, kMixedCase, length);
  return randomFrom(random, anyByte(), length);
}

void expectRoundTrips(std::mt19937& random, int cases, int kinds[], int kindCount, int chunks,
                      int maxLength) {
  for (int n = 0; n < cases; n++) {
    std::string data;
    int chunkCount = 1 + (int)(random() % chunks);
    for (int c = 0; c < chunkCount; c++)
      data += randomChunk(random, kinds[random() % kindCount], maxLength);
    ASSERT_EQ(roundTrip(data), data) << "case " << n;
  }
}

}  // namespace

TEST(HighLevelRoundTrip, Text) {
  std::mt19937 random(6001);
  int kinds[] = {0, 2};
  expectRoundTrips(random, 150, kinds, 2, 1, 300);
}

TEST(HighLevelRoundTrip, Digits) {
  std::mt19937 random(6002);
  int kinds[] = {1};
  expectRoundTrips(random, 150, kinds, 1, 1, 700);
  std::string longest = randomFrom(random, kDigits, 2000);
  EXPECT_EQ(roundTrip(longest), longest);
}

TEST(HighLevelRoundTrip, Bytes) {
  std::mt19937 random(6003);
  int kinds[] = {3};
  expectRoundTrips(random, 150, kinds, 1, 1, 400);
  for (int length = 1; length <= 13; length++) {  // every remainder of six, twice
    std::string bytes = randomFrom(random, anyByte(), length);
    EXPECT_EQ(roundTrip(bytes), bytes) << "length " << length;
  }
}

TEST(HighLevelRoundTrip, MixedModes) {
  std::mt19937 random(6004);
  int kinds[] = {0, 1, 2, 3};
  expectRoundTrips(random, 300, kinds, 4, 8, 60);
}

// The message keeps zero bytes wherever they stand: in a six-byte group, a
// single byte at a segment's end, a byte shift.
TEST(HighLevelRoundTrip, ZeroBytes) {
  std::mt19937 random(6007);
  std::string withZero = std::string(1, '\0') + anyByte();
  for (int n = 0; n < 100; n++) {
    std::string data = randomFrom(random, kMixedCase, (int)(random() % 9));
    data += randomFrom(random, withZero, 1 + (int)(random() % 14));
    data += randomFrom(random, kMixedCase, (int)(random() % 9));
    ASSERT_EQ(roundTrip(data), data) << "case " << n;
  }
}

TEST(HighLevelRoundTrip, SingleBytesAmongText) {
  std::mt19937 random(6005);
  for (int n = 0; n < 100; n++) {
    std::string data = randomFrom(random, kMixedCase, 1 + random() % 9);
    data += (char)(128 + random() % 128);
    data += randomFrom(random, printable(), random() % 9);
    ASSERT_EQ(roundTrip(data), data) << "case " << n;
  }
}
