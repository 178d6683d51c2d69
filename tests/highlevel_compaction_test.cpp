#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "highlevel/data_decoder.h"
#include "highlevel/numeric_compaction.h"
#include "highlevel/walk_trace.h"
#include "support/trace_capture.h"

using namespace pdf417read::detail;

namespace {

struct Decoded {
  std::string text;   // as the trace shows it: a C string
  std::string bytes;  // the message: every byte
  std::string trace;  // what the decoders printed
  bool complete = false;
  bool sameUntraced = false;  // an untraced walk gave the same message
};

// Decodes data codewords laid out as a symbol would hold them: length
// descriptor, the data, then two check codewords, in a traced walk. The
// buffers have their exact sizes so that the sanitizer sees any stray
// access.
Decoded decodeWith(std::vector<int> buffer, int totalCodewords) {
  buffer.resize(3060, -2);
  std::unique_ptr<DecodedMessage> message(new DecodedMessage());
  std::unique_ptr<TracedText> traced(new TracedText());
  TraceCapture trace;
  int outcome = decodeDataCodewords(buffer.data(), totalCodewords, message.get(), traced.get());
  Decoded decoded;
  decoded.trace = trace.text();
  decoded.complete = outcome == kMessageWhole;
  decoded.text.assign(traced->text, strnlen(traced->text, kTextBufferSize));
  decoded.bytes.assign(message->bytes, (size_t)message->length);
  std::unique_ptr<DecodedMessage> untraced(new DecodedMessage());
  int untracedOutcome = decodeDataCodewords(buffer.data(), totalCodewords, untraced.get());
  decoded.sameUntraced = untracedOutcome == outcome && untraced->length == message->length &&
                         std::memcmp(untraced->bytes, message->bytes, (size_t)message->length) == 0 &&
                         untraced->ecis.count == message->ecis.count && untraced->readerInit == message->readerInit;
  return decoded;
}

Decoded decode(const std::vector<int>& data) {
  std::vector<int> buffer = {(int)data.size() + 1};
  buffer.insert(buffer.end(), data.begin(), data.end());
  buffer.push_back(0);
  buffer.push_back(0);
  return decodeWith(buffer, (int)buffer.size());
}

std::string text(const std::vector<int>& data) { return decode(data).text; }

// Text values paired into codewords, an odd count filled out with 29.
std::vector<int> textValues(std::vector<int> values) {
  if (values.size() % 2) values.push_back(29);
  std::vector<int> codewords;
  for (size_t i = 0; i < values.size(); i += 2) codewords.push_back(values[i] * 30 + values[i + 1]);
  return codewords;
}

std::string digitsOf(const std::vector<int>& group) {
  char* digits = decodeBase900toBase10(group.data(), (int)group.size());
  std::string result = digits ? digits : "(null)";
  free(digits);
  return result;
}

// The base-900 digits of "1" followed by digits, as an encoder makes them.
std::vector<int> numericGroup(const std::string& digits) {
  std::string number = "1" + digits;
  std::vector<int> codewords;
  while (number != "0") {
    std::string quotient;
    int remainder = 0;
    for (char c : number) {
      remainder = remainder * 10 + (c - '0');
      if (!quotient.empty() || remainder / 900) quotient += (char)('0' + remainder / 900);
      remainder %= 900;
    }
    codewords.insert(codewords.begin(), remainder);
    number = quotient.empty() ? "0" : quotient;
  }
  return codewords;
}

}  // namespace

TEST(TextCompaction, SubModes) {
  EXPECT_EQ(text({0}), "AA");
  EXPECT_EQ(text({806}), "  ");
  EXPECT_EQ(text({59}), "B");  // a shift as the last value emits nothing
  EXPECT_EQ(text(textValues({28, 25, 6, 29, 1, 1})), "]BB");
  EXPECT_EQ(text(textValues({27, 0, 28, 28, 0})), "aA");
  EXPECT_EQ(text(textValues({27, 29, 29, 0})), "A");  // shifted 29 latches to alpha
  EXPECT_EQ(text(textValues({27, 29, 15, 0})), "\na");
  EXPECT_EQ(text(textValues({28, 10, 11, 12, 13, 24, 25, 20, 28, 25})), "&\r\t,^\"'?");
}

TEST(TextCompaction, TwentySevenShiftsInLowerAndLatchesInMixed) {
  EXPECT_EQ(text(textValues({27, 0, 27, 1, 2, 26})), "aBc ");
  EXPECT_EQ(text(textValues({28, 1, 27, 1})), "1b");
}

TEST(TextCompaction, ByteShift) {
  EXPECT_EQ(text({32, 913, 65, 32}), "BCABC");
  EXPECT_EQ(text({810, 913, 65, 32}), "aAbc");  // the sub-mode survives the shift
  EXPECT_EQ(text({0, 913, 256, 0}), "AAAA");    // a zero byte appends nothing
  EXPECT_EQ(text({0, 913}), "AA");              // nothing left to shift
  // An encoder fills out an odd count with 29 before the shift: "A", byte 8E.
  EXPECT_EQ(text({29, 913, 142, 900}), "A\x8E");
  EXPECT_EQ(text(textValues({27, 0, 27, 913})), "a");
}

TEST(TextCompaction, SkippedAndEndingCodewords) {
  EXPECT_EQ(text({0, 928, 921, 0}), "AAAA");
  EXPECT_EQ(decode({0, 928, 921, 0}).bytes, "AA");  // the message ends at the control block
  EXPECT_EQ(text({810, 900, 0}), "aAA");  // every text segment starts in alpha
  EXPECT_EQ(text({-1, 0, 29, -1, 1}), "AAAAB");  // erasures give nothing, end the shift
}

TEST(ByteCompaction, GroupsOfFiveAndTraceLines) {
  Decoded six = decode({901, 109, 326, 368, 127, 330, 71});
  EXPECT_EQ(six.text, "ABCDEFG");
  EXPECT_EQ(six.trace, "compaction result = ABCDEF\nwithout compacton show: = G\n");
  Decoded seven = decode({0, 901, 109, 326, 368, 127, 330, 72, 73});
  EXPECT_EQ(seven.text, "AAABCDEFHI");
  EXPECT_EQ(seven.trace,
            "compaction result = AAABCDEF\nwithout compacton show: = H\n"
            "without compacton show: = I\n");
  Decoded quiet = decode({924, 109, 326, 368, 127, 330, 65, 66});
  EXPECT_EQ(quiet.text, "ABCDEFAB");  // 924 leftovers kept, without trace lines
  EXPECT_EQ(quiet.trace, "");
}

TEST(ByteCompaction, LastGroupOfFiveInA901SegmentIsSingleBytes) {
  Decoded bytes = decode({901, 215, 318, 502, 193, 33, 134, 135, 136, 137, 138});
  EXPECT_EQ(bytes.text, "\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A");
  std::string trace = "compaction result = \x80\x81\x82\x83\x84\x85\n";
  for (char c : std::string("\x86\x87\x88\x89\x8A"))
    trace += "without compacton show: = " + std::string(1, c) + "\n";
  EXPECT_EQ(bytes.trace, trace);
  EXPECT_EQ(text({901, 65, 66, 67, 68, 69, 900, 0}), "ABCDEAA");
  EXPECT_EQ(text({924, 109, 326, 368, 127, 330, 900}), "ABCDEF");
}

TEST(ByteCompaction, SkipsEndsAndOddGroups) {
  EXPECT_EQ(text({901, 109, 913, 326, 368, 921, 127, 330, 72}), "ABCDEFH");
  EXPECT_EQ(text({901, 0, 0, 0, 0, 65, 66}), "B");  // leading zero byte ends the group
  // The message keeps every byte the trace leaves out.
  EXPECT_EQ(decode({901, 0, 0, 0, 0, 65, 66}).bytes, std::string("\0\0\0\0\0AB", 7));
  EXPECT_EQ(text({901, 65, 66, 902, 123}), "AB23");
  EXPECT_EQ(text({901, 65, 928, 0}), "AAA");
  EXPECT_EQ(text({901, 109, 326, -1, 127, 330, 72, -1}), "H");  // erasures give nothing
}

// Groups above 2^48 carry into the next group; a long run of them must wrap,
// not overflow (the sanitizer build fails on signed overflow).
TEST(ByteCompaction, OversizedGroupsDoNotOverflow) {
  std::vector<int> data = {924};
  data.insert(data.end(), 200, 899);
  Decoded decoded = decode(data);
  EXPECT_TRUE(decoded.complete);
  EXPECT_LE(decoded.text.size(), 240u);
}

TEST(ByteCompaction, ShiftAsFirstCodewordEmitsItsByte) {
  EXPECT_EQ(text({913, 65, 1}), "AAB");
  EXPECT_EQ(text({913, 901, 65}), "A");
  EXPECT_EQ(text({913}), "");
}

TEST(NumericCompaction, GroupDigits) {
  EXPECT_EQ(digitsOf({1, 624, 434, 632, 282, 200}), "000213298174000");
  EXPECT_EQ(digitsOf({123}), "23");
  EXPECT_EQ(digitsOf({10}), "0");
  EXPECT_EQ(digitsOf({0}), "");
  EXPECT_EQ(digitsOf({1}), "");
  EXPECT_EQ(digitsOf({200}), "");
  std::string digits = "98765432109876543210987654321098765432109876";
  EXPECT_EQ(digitsOf(numericGroup(digits)), digits);
  char* product = multiply(powersOf900[14], 899);
  char* sum = add(product, powersOf900[14]);
  EXPECT_STREQ(sum, powersOf900[15]);
  free(product);
  free(sum);
}

TEST(NumericCompaction, Segments) {
  EXPECT_EQ(text({902, 1, 624, 434, 632, 282, 200}), "000213298174000");
  EXPECT_EQ(text({902, 1, 913, 624, 434, 921, 632, 282, 200}), "000213298174000");
  std::string first = "12345678901234567890123456789012345678901234";
  std::vector<int> data = {902};
  std::vector<int> group = numericGroup(first);
  ASSERT_EQ(group.size(), 15u);
  data.insert(data.end(), group.begin(), group.end());
  EXPECT_EQ(text(data), first);
  data.push_back(156);
  EXPECT_EQ(text(data), first + "56");
  data.back() = 900;
  EXPECT_EQ(text(data), first);
  EXPECT_EQ(text({902, 123, 902, 145}), "2345");
  EXPECT_EQ(text({902, 123, 928, 923, 922, 0}), "23AA");
  EXPECT_EQ(text({902, 1, 624, -1, 902, 123}), "23");
}

TEST(DataDecoder, Segments) {
  EXPECT_EQ(text({0, 1}), "AAAB");
  EXPECT_EQ(text({900, 0, 1}), "AAAB");
  EXPECT_EQ(text({0, 902, 123}), "AA23");
  EXPECT_EQ(text({0, 902}), "AA");
  EXPECT_EQ(text({0}), "AA");
  EXPECT_TRUE(decode({0, 902, 123}).complete);
  Decoded empty = decodeWith({1, 0, 0}, 3);
  EXPECT_TRUE(empty.complete);
  EXPECT_EQ(empty.text, "");
}

TEST(DataDecoder, DamagedLengthDescriptorStaysInsideTheBuffers) {
  Decoded cut = decodeWith({900, 0, 1, 32}, 3);  // only positions 0..2 exist
  EXPECT_FALSE(cut.complete);
  EXPECT_EQ(cut.text, "AAAB");
  std::vector<int> full(3060, 0);
  full[0] = 1 << 30;
  Decoded overflow = decodeWith(full, 1 << 30);
  EXPECT_FALSE(overflow.complete);
  EXPECT_EQ(overflow.text, std::string(kTextBufferSize - 1, 'A'));
  full[0] = -5;
  EXPECT_EQ(decodeWith(full, 3060).text, "");
  EXPECT_EQ(decodeWith(full, 0).text, "");
}

// Hostile buffers: any descriptor, any count, erasures and mode codewords
// anywhere. The sanitizer build checks that nothing strays outside.
TEST(DataDecoder, RandomCodewordsStayInBounds) {
  std::mt19937 random(6006);
  for (int n = 0; n < 300; n++) {
    std::vector<int> buffer(3060);
    for (int& codeword : buffer) {
      int pick = (int)(random() % 10);
      codeword = pick == 0 ? 900 + (int)(random() % 29) : pick == 1 ? -1 : (int)(random() % 900);
    }
    buffer[0] = (int)(random() % 3100) - 20;
    int total = (int)(random() % 3200) - 20;
    Decoded decoded = decodeWith(buffer, total);
    EXPECT_LT(decoded.text.size(), (size_t)kTextBufferSize);
    EXPECT_TRUE(decoded.sameUntraced);  // watching the trace changes nothing
  }
}
