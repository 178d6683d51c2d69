// What symbols carry besides their bytes, read back through the public API
// from symbols libzint made: ECI segments converted to UTF-8, Macro PDF417
// control blocks, the reader initialisation flag.
#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>
#include <vector>

#include "support/codeword_symbols.h"
#include "support/message_symbols.h"

using namespace pdf417read::detail;

namespace {

// text (UTF-8) in charset, as the symbol's bytes must hold it.
std::string convertTo(const char* charset, const std::string& text) {
  iconv_t converter = iconv_open(charset, "UTF-8");
  std::string out(text.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* to = &out[0];
  size_t toLeft = out.size();
  iconv(converter, &in, &inLeft, &to, &toLeft);
  iconv_close(converter);
  out.resize(out.size() - toLeft);
  return out;
}

// The one symbol read from the message's picture, or none.
std::optional<pdf417read::Symbol> onlySymbol(const MessageSymbol& message) {
  pdf417read::ReadResult result = readMessageSymbol(message);
  EXPECT_EQ(result.status, pdf417read::Status::Decoded) << result.error;
  EXPECT_EQ(result.symbols.size(), 1u);
  if (result.symbols.empty()) return std::nullopt;
  return result.symbols[0];
}

struct EciSample {
  int eci;
  const char* charset;
  const char* text;
};

const EciSample kEciSamples[] = {
    {3, "ISO-8859-1", "Grüße, façade"},
    {4, "ISO-8859-2", "Łódź, Žluťoučký"},
    {5, "ISO-8859-3", "Ħal Għargħur ĉiĝ"},
    {6, "ISO-8859-4", "Āķis ļoti ņū"},
    {7, "ISO-8859-5", "Привет, мир"},
    {8, "ISO-8859-6", "مرحبا"},
    {9, "ISO-8859-7", "Καλημέρα"},
    {10, "ISO-8859-8", "שלום"},
    {11, "ISO-8859-9", "İstanbul ğış"},
    {12, "ISO-8859-10", "Þóra Ŋŧ"},
    {13, "ISO-8859-11", "สวัสดี"},
    {15, "ISO-8859-13", "Ąžuolas Ēriks"},
    {16, "ISO-8859-14", "Ḃrŵ Ċaer ẁ"},
    {17, "ISO-8859-15", "€ Œuvre Šž"},
    {18, "ISO-8859-16", "Ștefan Țară"},
    {20, "SHIFT_JIS", "テスト漢字ｶﾅ"},
    {21, "CP1250", "Łódź „cytat”"},
    {22, "CP1251", "Привет «мир»"},
    {23, "CP1252", "€uro “quotes”"},
    {24, "CP1256", "مرحبا پ"},
    {25, "UTF-16BE", "Grüße 点 😀"},
    {26, "UTF-8", "Grüße 点茗 αβγ"},
    {27, "ASCII", "Plain ASCII 123"},
    {28, "BIG5", "點茗中文"},
    {29, "GB18030", "点茗中文"},
    {30, "EUC-KR", "한국어 텍스트"},
    {31, "GBK", "点茗中文"},
    {32, "GB18030", "点茗 😀"},
    {33, "UTF-16LE", "Grüße 点"},
    {34, "UTF-32BE", "αβγ 😀"},
    {35, "UTF-32LE", "αβγ"},
};

}  // namespace

TEST(MessageRoundTrip, EveryEciGivesItsTextAndKeepsItsBytes) {
  for (const EciSample& sample : kEciSamples) {
    MessageSymbol message;
    message.segments = {{sample.eci, sample.text}};
    std::optional<pdf417read::Symbol> symbol = onlySymbol(message);
    if (!symbol) continue;
    EXPECT_EQ(symbol->text, sample.text) << "ECI " << sample.eci;
    EXPECT_EQ(symbol->bytes, convertTo(sample.charset, sample.text)) << "ECI " << sample.eci;
    EXPECT_EQ(symbol->eci, std::vector<int>{sample.eci});
    EXPECT_TRUE(symbol->warnings.empty());
    EXPECT_STREQ(pdf417read::eciCharset(sample.eci), sample.charset);
  }
}

TEST(MessageRoundTrip, MixedEciSegmentsConvertEachPartOnItsOwn) {
  MessageSymbol message;
  message.segments = {{3, "ABC"}, {7, "Привет"}, {26, "点茗"}, {20, "テスト"}, {9, "αβγ 42"}};
  std::optional<pdf417read::Symbol> symbol = onlySymbol(message);
  ASSERT_TRUE(symbol);
  EXPECT_EQ(symbol->text, "ABCПривет点茗テストαβγ 42");
  EXPECT_EQ(symbol->eci, (std::vector<int>{3, 7, 26, 20, 9}));
  EXPECT_EQ(symbol->bytes, "ABC" + convertTo("ISO-8859-5", "Привет") + "点茗" +
                               convertTo("SHIFT_JIS", "テスト") + convertTo("ISO-8859-7", "αβγ 42"));
}

TEST(MessageRoundTrip, MixedCharacterSetsKeepEveryByte) {
  MessageSymbol message;
  message.segments = {{3, "AB"}, {20, "テスト"}, {32, "点茗中"}, {9, "αβγδεζ"}, {22, "Пр"}, {4, "ł"}};
  std::optional<pdf417read::Symbol> symbol = onlySymbol(message);
  ASSERT_TRUE(symbol);
  EXPECT_EQ(symbol->text, "ABテスト点茗中αβγδεζПрł");
  EXPECT_EQ(symbol->bytes, "AB" + convertTo("SHIFT_JIS", "テスト") + convertTo("GB18030", "点茗中") +
                               convertTo("ISO-8859-7", "αβγδεζ") + convertTo("CP1251", "Пр") +
                               convertTo("ISO-8859-2", "ł"));
  // ECIs from 900 up: the encoder writes 926 a b and 925 n.
  MessageSymbol binary;
  binary.binary = true;
  binary.segments = {{3, "AB"}, {1000, "\x83\x65\x83\x58\x83\x67\xb5"}, {811000, "\xe3\xdc\xf8\xd6\xd0"}};
  symbol = onlySymbol(binary);
  ASSERT_TRUE(symbol);
  EXPECT_EQ(symbol->bytes, "AB\x83\x65\x83\x58\x83\x67\xb5\xe3\xdc\xf8\xd6\xd0");
  EXPECT_EQ(symbol->eci, (std::vector<int>{3, 1000, 811000}));
}

// An encoder may write a designator among the codewords of a byte-compaction
// group, or between two groups of one run; the groups' bytes stand as
// encoded, each in the set its designator names.
TEST(MessageRoundTrip, DesignatorsAmongByteGroups) {
  const std::string sjis = "\x83\x65\x83\x58\x83\x67", gb = "\xb5\xe3\xdc\xf8\xd6\xd0",
                    greek = "\xe1\xe2\xe3\xe4\xe5\xe6";
  std::vector<int> s = byteCompactionGroup(sjis), g = byteCompactionGroup(gb), e = byteCompactionGroup(greek);
  std::vector<int> latched = {1, 901, s[0], s[1], 927, 20, s[2], s[3], s[4], 926, 0, 100, g[0], g[1], g[2],
                              927, 29, g[3], g[4], 925, 5, 927, 9, e[0], e[1], e[2], e[3], e[4],
                              927, 22, 0xcf, 0xf0, 927, 4, 0xb3};
  std::vector<int> six = {1, 924, s[0], 927, 20, s[1], s[2], s[3], s[4], g[0], g[1], g[2], g[3],
                          927, 29, g[4], 927, 9, e[0], e[1], e[2], e[3], e[4], 900, 1};
  struct Case {
    std::vector<int> codewords;
    std::string bytes, text;
    std::vector<int> ecis;
  } cases[] = {
      {latched, "AB" + sjis + gb + greek + "\xcf\xf0\xb3", "ABテスト点茗中αβγδεζПрł",
       {20, 1000, 29, 810905, 9, 22, 4}},
      {six, "AB" + sjis + gb + greek + "AB", "ABテスト点茗中αβγδεζAB", {20, 29, 9}},
  };
  for (const Case& c : cases) {
    ModuleMatrix matrix;
    ASSERT_TRUE(encodeCodewordSymbol(c.codewords, &matrix));
    GrayPicture picture = drawSymbol(matrix, DrawOptions{});
    pdf417read::ReadResult result = pdf417read::read(
        pdf417read::ImageView(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray));
    ASSERT_EQ(result.symbols.size(), 1u) << result.error;
    const pdf417read::Symbol& symbol = result.symbols[0];
    EXPECT_TRUE(symbol.verified);
    EXPECT_EQ(symbol.bytes, c.bytes);
    EXPECT_EQ(symbol.text, c.text);
    EXPECT_EQ(symbol.eci, c.ecis);
  }
}

TEST(MessageRoundTrip, TextModeCarriesOnAcrossADesignator) {
  // The encoder stays in lower case across ECIs that need no new latch.
  MessageSymbol message;
  message.segments = {{3, "hello"}, {27, "again"}, {3, "and more"}};
  std::optional<pdf417read::Symbol> symbol = onlySymbol(message);
  ASSERT_TRUE(symbol);
  EXPECT_EQ(symbol->bytes, "helloagainand more");
  EXPECT_EQ(symbol->eci, (std::vector<int>{3, 27, 3}));
}

TEST(MessageRoundTrip, UnknownEciKeepsItsBytesWithAWarning) {
  MessageSymbol message;
  message.binary = true;
  message.segments = {{811, "caf\xe9 \xff\x01"}};
  std::optional<pdf417read::Symbol> symbol = onlySymbol(message);
  ASSERT_TRUE(symbol);
  EXPECT_EQ(symbol->bytes, "caf\xe9 \xff\x01");
  EXPECT_EQ(symbol->text, "café ÿ\x01");
  EXPECT_EQ(symbol->eci, std::vector<int>{811});
  ASSERT_EQ(symbol->warnings.size(), 1u);
  EXPECT_NE(symbol->warnings[0].find("unknown ECI 811"), std::string::npos);
}

TEST(MessageRoundTrip, BytesInvalidInTheirSetBecomeReplacementCharacters) {
  MessageSymbol message;
  message.binary = true;
  message.segments = {{26, "ok \xc3\x28 \xf4\x90\x80\x80 end"}, {20, "\x81\x20"}};
  std::optional<pdf417read::Symbol> symbol = onlySymbol(message);
  ASSERT_TRUE(symbol);
  EXPECT_EQ(symbol->bytes, "ok \xc3\x28 \xf4\x90\x80\x80 end\x81\x20");
  EXPECT_EQ(symbol->text, "ok \uFFFD( \uFFFD end\uFFFD ");
}

TEST(MessageRoundTrip, MacroControlBlockAndReaderInitialisation) {
  MessageSymbol message;
  message.segments = {{0, "Part two of three"}};
  message.macroIndex = 2;
  message.macroCount = 3;
  message.macroFileId = "123045";
  std::optional<pdf417read::Symbol> symbol = onlySymbol(message);
  ASSERT_TRUE(symbol);
  EXPECT_EQ(symbol->bytes, "Part two of three");
  ASSERT_TRUE(symbol->macro);
  EXPECT_EQ(symbol->macro->segmentIndex, 1);
  EXPECT_EQ(symbol->macro->fileId, "123045");
  EXPECT_FALSE(symbol->macro->lastSegment);
  EXPECT_EQ(symbol->macro->segmentCount, 3);
  EXPECT_FALSE(symbol->macro->fileName);
  EXPECT_FALSE(symbol->readerInit);

  message.macroIndex = 3;
  message.macroFileId = "";
  symbol = onlySymbol(message);
  ASSERT_TRUE(symbol && symbol->macro);
  EXPECT_EQ(symbol->macro->segmentIndex, 2);
  EXPECT_EQ(symbol->macro->fileId, "");
  EXPECT_TRUE(symbol->macro->lastSegment);

  MessageSymbol programming;
  programming.segments = {{0, "SET 42"}};
  programming.readerInit = true;
  symbol = onlySymbol(programming);
  ASSERT_TRUE(symbol);
  EXPECT_TRUE(symbol->readerInit);
  EXPECT_EQ(symbol->bytes, "SET 42");
  EXPECT_FALSE(symbol->macro);
}
