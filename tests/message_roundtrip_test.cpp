// What symbols carry besides their bytes, read back through the public API
// from symbols libzint made: ECI segments converted to UTF-8, Macro PDF417
// control blocks, the reader initialisation flag.
#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>
#include <vector>

#include "support/message_symbols.h"

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
