// The message decoder on codeword streams built by hand: ECI designators in
// every compaction mode (the exact path steps over them too), designators
// that name no ECI, Macro PDF417 control blocks with every optional field,
// and the conversion of invalid bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "highlevel/data_decoder.h"
#include "highlevel/eci_text.h"
#include "highlevel/walk_trace.h"
#include "support/codeword_symbols.h"
#include "support/message_symbols.h"
#include "support/trace_capture.h"

using namespace pdf417read::detail;

namespace {

// Length descriptor, data, two check codewords.
std::vector<int> symbolOf(const std::vector<int>& data) {
  std::vector<int> codewords = {(int)data.size() + 1};
  codewords.insert(codewords.end(), data.begin(), data.end());
  codewords.push_back(0);
  codewords.push_back(0);
  return codewords;
}

// The exact path's text for the data.
std::string exactText(const std::vector<int>& data) {
  std::vector<int> codewords = symbolOf(data);
  int total = (int)codewords.size();
  codewords.resize(3060, -2);
  std::unique_ptr<DecodedMessage> message(new DecodedMessage());
  TracedText traced;
  TraceCapture trace;
  EXPECT_NE(decodeDataCodewords(codewords.data(), total, message.get(), &traced), kMessageCut);
  return std::string(traced.text, strnlen(traced.text, kTextBufferSize));
}

struct Message {
  int outcome = 0;
  DecodedMessage decoded;
  std::string bytes() const { return std::string(decoded.bytes, (size_t)decoded.length); }
  std::vector<int> ecis() const {
    std::vector<int> list;
    for (int i = 0; i < decoded.ecis.count; i++) list.push_back(decoded.ecis.marks[i].eci);
    return list;
  }
  std::string field(int k) const {
    const MacroText& text = decoded.macro.fields[k];
    return text.present ? std::string(text.bytes, (size_t)text.length) : "(absent)";
  }
};

std::unique_ptr<Message> decode(const std::vector<int>& data) {
  std::unique_ptr<Message> message(new Message());
  std::vector<int> codewords = symbolOf(data);
  message->outcome = decodeDataCodewords(codewords.data(), (int)codewords.size(), &message->decoded);
  return message;
}

// Upper-case letters and spaces in text compaction, padded with 29.
std::vector<int> alphaCodewords(const std::string& text) {
  std::vector<int> values;
  for (char c : text) values.push_back(c == ' ' ? 26 : c - 'A');
  if (values.size() % 2) values.push_back(29);
  std::vector<int> codewords;
  for (size_t i = 0; i < values.size(); i += 2) codewords.push_back(30 * values[i] + values[i + 1]);
  return codewords;
}

// Up to 17 digits in numeric compaction: "1" and the digits, base 900.
std::vector<int> numericCodewords(const std::string& digits) {
  long long value = std::stoll("1" + digits);
  std::vector<int> codewords;
  for (; value > 0; value /= 900) codewords.insert(codewords.begin(), (int)(value % 900));
  return codewords;
}

std::vector<int> part(const std::vector<int>& codewords, size_t from, size_t to) {
  return std::vector<int>(codewords.begin() + from, codewords.begin() + to);
}

std::vector<int> join(std::initializer_list<std::vector<int>> parts) {
  std::vector<int> all;
  for (const std::vector<int>& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

}  // namespace

TEST(EciDesignators, TheExactPathStepsOverThemAndTheirArguments) {
  // 927 n before text, 926 a b between text values, 925 n in a byte
  // segment and 927 n inside numeric digits: never decoded as data.
  EXPECT_EQ(exactText({927, 26, 1, 89}), "ABC");
  EXPECT_EQ(exactText({1, 926, 5, 7, 89}), "ABC");
  EXPECT_EQ(exactText({901, 65, 925, 3, 66, 67}), "ABC");
  EXPECT_EQ(exactText(join({{902}, numericCodewords("12345"), {927, 7}, {902}, numericCodewords("678")})),
            "12345678");
  // Cut off by the end of the data: nothing of it is decoded.
  EXPECT_EQ(exactText({1, 89, 926, 5}), "ABC");
}

TEST(EciDesignators, TheExactPathReadsAnEciSymbolsBytes) {
  // Once the designator's argument 26 came out as the letter A.
  MessageSymbol message;
  message.segments = {{26, "Grüße 点茗 αβγ"}};
  ModuleMatrix symbol;
  ASSERT_TRUE(encodeMessageSymbol(message, &symbol));
  std::vector<int> codewords = symbolCodewords(symbol);
  ASSERT_GT(codewords.size(), 3u);
  EXPECT_EQ(codewords[1], 927);
  std::vector<int> data(codewords.begin() + 1, codewords.begin() + codewords[0]);
  EXPECT_EQ(exactText(data), "Grüße 点茗 αβγ");
}

TEST(EciDesignators, TheMessageRecordsWhereEachEciStarts) {
  auto message = decode({927, 3, 1, 89, 927, 7, 924, 321, 499, 691, 628, 290, 927, 26, 900, 833});
  EXPECT_EQ(message->outcome, kMessageWhole);
  EXPECT_EQ(message->bytes(), "ABC\xbf\xe0\xd8\xd2\xd5\xe2x");
  EXPECT_EQ(message->ecis(), (std::vector<int>{3, 7, 26}));
  EXPECT_EQ(message->decoded.ecis.marks[1].position, 3);
  EXPECT_EQ(message->decoded.ecis.marks[2].position, 9);
  // 926 a b is 900 (a + 1) + b, 925 n is 810900 + n.
  EXPECT_EQ(decode({926, 110, 100, 1})->ecis(), std::vector<int>{100000});
  EXPECT_EQ(decode({925, 899, 1})->ecis(), std::vector<int>{811799});
}

// Shift JIS, GB 18030 and ISO-8859-7 in whole six-byte groups, then
// Windows-1251 and ISO-8859-2 as single bytes, after the text "AB".
const std::string kShiftJis = "\x83\x65\x83\x58\x83\x67", kGb18030 = "\xb5\xe3\xdc\xf8\xd6\xd0",
                  kGreek = "\xe1\xe2\xe3\xe4\xe5\xe6";

std::vector<std::pair<int, int>> marksOf(const Message& message) {
  std::vector<std::pair<int, int>> marks;
  for (int i = 0; i < message.decoded.ecis.count; i++)
    marks.push_back({message.decoded.ecis.marks[i].eci, message.decoded.ecis.marks[i].position});
  return marks;
}

TEST(EciDesignators, ADesignatorAmongByteGroupsLeavesTheGroupWhole) {
  std::vector<int> sjis = byteCompactionGroup(kShiftJis), gb = byteCompactionGroup(kGb18030),
                   greek = byteCompactionGroup(kGreek);
  // 901: designators inside the first and second group, between the second
  // and third, and among the single bytes that end the segment.
  std::vector<int> latched = join({{1, 901}, part(sjis, 0, 2), {927, 20}, part(sjis, 2, 5), part(gb, 0, 3),
                                   {927, 29}, part(gb, 3, 5), {927, 9}, greek, {927, 22, 0xcf, 0xf0, 927, 4, 0xb3}});
  std::string bytes = "AB" + kShiftJis + kGb18030 + kGreek + "\xcf\xf0\xb3";
  auto message = decode(latched);
  EXPECT_EQ(message->outcome, kMessageWhole);
  EXPECT_EQ(message->bytes(), bytes);
  EXPECT_EQ(marksOf(*message), (std::vector<std::pair<int, int>>{{20, 2}, {29, 8}, {9, 14}, {22, 20}, {4, 22}}));
  EXPECT_EQ(exactText(latched), bytes);  // the trace shows the same bytes
  // 924 with the two- and one-codeword designators: before the first group,
  // inside it, inside the second, between the second and third, and after
  // the last group.
  std::vector<int> six = join({{1, 924, 926, 0, 100}, part(sjis, 0, 4), {925, 5}, part(sjis, 4, 5), part(gb, 0, 1),
                               {927, 29}, part(gb, 1, 5), {927, 9}, greek, {927, 22, 900, 1}});
  message = decode(six);
  EXPECT_EQ(message->bytes(), "AB" + kShiftJis + kGb18030 + kGreek + "AB");
  EXPECT_EQ(marksOf(*message),
            (std::vector<std::pair<int, int>>{{1000, 2}, {810905, 2}, {29, 8}, {9, 14}, {22, 20}}));
}

TEST(EciDesignators, ADesignatorNamingNoEciLeavesTheSymbolUndecoded) {
  EXPECT_EQ(decode({1, 89, 927})->outcome, kMessageInvalid);               // argument cut off
  EXPECT_EQ(decode({927, 900, 1, 89})->outcome, kMessageInvalid);          // a mode, not a number
  EXPECT_EQ(decode({901, 65, 926, -1, 3, 66})->outcome, kMessageInvalid);  // erased
  EXPECT_EQ(decode({927, 899, 1, 89})->outcome, kMessageWhole);
}

TEST(MacroBlock, EveryOptionalFieldIsRead) {
  auto message = decode(join({alphaCodewords("DATA"),
                              {928},
                              numericCodewords("00004"),
                              {12, 345, 923, 0},
                              alphaCodewords("NAME TXT"),
                              {923, 1},
                              numericCodewords("00009"),
                              {923, 2},
                              numericCodewords("1700000000"),
                              {923, 3},
                              alphaCodewords("ALICE"),
                              {923, 4},
                              alphaCodewords("BOB"),
                              {923, 5},
                              numericCodewords("123456"),
                              {923, 6},
                              numericCodewords("65535"),
                              {922}}));
  EXPECT_EQ(message->outcome, kMessageWhole);
  EXPECT_EQ(message->bytes(), "DATA");
  const MacroBlock& block = message->decoded.macro;
  ASSERT_TRUE(block.present && block.readable);
  EXPECT_EQ(block.segmentIndex, 4);
  EXPECT_EQ(std::string(block.fileId.bytes, (size_t)block.fileId.length), "012345");
  EXPECT_TRUE(block.lastSegment);
  EXPECT_EQ(message->field(kMacroFileName), "NAME TXT");
  EXPECT_EQ(message->field(kMacroSegmentCount), "00009");
  EXPECT_EQ(message->field(kMacroTimestamp), "1700000000");
  EXPECT_EQ(message->field(kMacroSender), "ALICE");
  EXPECT_EQ(message->field(kMacroAddressee), "BOB");
  EXPECT_EQ(message->field(kMacroFileSize), "123456");
  EXPECT_EQ(message->field(kMacroChecksum), "65535");
  long long value = 0;
  EXPECT_TRUE(macroFieldNumber(&block.fields[kMacroTimestamp], &value));
  EXPECT_EQ(value, 1700000000);
}

TEST(MacroBlock, ShortOrOddBlocksAreReadAsFarAsTheyGo) {
  // An index cut off: the block is there but not readable.
  auto cut = decode({1, 89, 928, 111});
  EXPECT_EQ(cut->bytes(), "ABC");
  EXPECT_TRUE(cut->decoded.macro.present);
  EXPECT_FALSE(cut->decoded.macro.readable);
  // A field of unknown number is skipped; a field without codewords is
  // present and empty; a 928 as a designator's argument starts no block.
  auto odd = decode({927, 928, 1, 89, 928, 111, 100, 923, 9, 5, 923, 3});
  EXPECT_EQ(odd->ecis(), std::vector<int>{-1});  // 928 is no ECI number
  EXPECT_TRUE(odd->decoded.macro.readable);
  EXPECT_EQ(odd->decoded.macro.unknownFields, 1);
  EXPECT_EQ(odd->field(kMacroSender), "");
  EXPECT_EQ(odd->outcome, kMessageInvalid);
}

TEST(EciText, InvalidSequencesBecomeReplacementCharacters) {
  auto convert = [](const char* charset, const std::string& bytes) {
    std::string out((size_t)utf8Capacity((int)bytes.size()), '\0');
    int length = 0;
    EXPECT_TRUE(appendAsUtf8(charset, bytes.data(), (int)bytes.size(), &out[0], (int)out.size(), &length));
    return out.substr(0, (size_t)length);
  };
  // Fuzz finding: the C library's converter passes a four-byte sequence
  // above U+10FFFF through unchanged.
  EXPECT_EQ(convert("UTF-8",
                    "A\xf7\x95\x9e\x81"
                    "B"),
            "A\uFFFDB");
  EXPECT_EQ(convert("UTF-8", "\xed\xa0\x80\xc0\xaf\xff"), "\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(convert("UTF-16BE", std::string("\xd8\x00\x00\x41\x00", 5)), "\uFFFDA\uFFFD");
  EXPECT_EQ(convert("SHIFT_JIS", "\x82\xa0\x82"), "あ\uFFFD");
  EXPECT_EQ(convert("ASCII", "a\x80z"), "a\uFFFDz");
  EXPECT_EQ(convert("binary", "\xff"), "ÿ");
}
