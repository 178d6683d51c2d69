// Documents read from pictures of symbols libzint made of their bytes, and
// what the program prints of them.
#include <gtest/gtest.h>
#include <pdf417read/pdf417read.h>

#include <string>

#include "support/document_records.h"
#include "support/message_symbols.h"
#include "support/program_run.h"

using namespace pdf417read::detail;

namespace {

// A document's fields and warnings on one line, to compare two readings.
std::string described(const std::optional<pdf417read::Document>& document) {
  if (!document) return "none";
  std::string text = pdf417read::documentTypeName(document->type);
  for (const pdf417read::DocumentField& field : document->fields)
    text += " " + field.subfile + "/" + field.id + "=" + field.value;
  for (const std::string& warning : document->warnings) text += " !" + warning;
  return text;
}

MessageSymbol binarySymbol(const std::string& bytes) {
  MessageSymbol message;
  message.segments = {{0, bytes}};
  message.binary = true;
  return message;
}

TEST(DocumentRoundTrip, EveryRecordReadFromItsSymbol) {
  for (const NamedRecord& record : sampleDocumentRecords()) {
    pdf417read::ReadResult result = readMessageSymbol(binarySymbol(record.bytes));
    ASSERT_EQ(result.symbols.size(), 1u) << record.name;
    const pdf417read::Symbol& symbol = result.symbols[0];
    EXPECT_EQ(symbol.bytes, record.bytes) << record.name;
    ASSERT_TRUE(symbol.document.has_value()) << record.name;
    EXPECT_EQ(described(symbol.document), described(pdf417read::parseDocument(record.bytes))) << record.name;
  }
  pdf417read::ReadResult plain = readMessageSymbol(binarySymbol("Just a note, 1234"));
  ASSERT_EQ(plain.symbols.size(), 1u);
  EXPECT_FALSE(plain.symbols[0].document.has_value());
}

TEST(DocumentRoundTrip, TheOptionTurnsDocumentsOff) {
  ModuleMatrix matrix;
  ASSERT_TRUE(encodeMessageSymbol(binarySymbol(usLicenceRecord()), &matrix));
  GrayPicture picture = drawSymbol(matrix, DrawOptions{});
  pdf417read::ImageView view(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
  pdf417read::Options options;
  options.parseDocuments = false;
  pdf417read::ReadResult result = pdf417read::read(view, options);
  ASSERT_EQ(result.symbols.size(), 1u);
  EXPECT_EQ(result.symbols[0].bytes, usLicenceRecord());
  EXPECT_FALSE(result.symbols[0].document.has_value());
}

// The record's contents appear only when asked for: --fields after the
// result line, --json as "document".
TEST(DocumentRoundTrip, ProgramPrintsFieldsAndJsonOnlyWhenAsked) {
  std::string licence = writeMessageSymbol(binarySymbol(usLicenceRecord()), "licence.png");
  std::string pass = writeMessageSymbol(binarySymbol(twoLegPass()), "pass.png");
  std::string plain = writeMessageSymbol(binarySymbol("Just a note"), "note.png");
  ProgramRun quiet = runProgram({"-q", licence});
  EXPECT_EQ(quiet.out, "Result =" + usLicenceRecord() + "\n");
  ProgramRun fields = runProgram({"-q", "--fields", licence, pass, plain});
  EXPECT_EQ(fields.status, 0) << fields.err;
  EXPECT_NE(fields.out.find(usLicenceRecord() + "\n  issuer_iin: 636000\n  document_type: DL\n  family_name: SAMPLE\n"),
            std::string::npos);
  EXPECT_NE(fields.out.find("\n  height_cm: 173\n  eye_color: BRO\nResult =M2"), std::string::npos);
  EXPECT_NE(fields.out.find("\n  legs[2].from: FRA\n  legs[2].to: GVA\n"), std::string::npos);
  EXPECT_NE(fields.out.find("\n  legs[2].status: 1\nResult =Just a note\n"), std::string::npos);
  std::string cut = writeMessageSymbol(binarySymbol(usLicenceRecord().substr(0, 60)), "cut-licence.png");
  ProgramRun warned = runProgram({"-q", "--fields", cut});
  EXPECT_NE(
      warned.out.find("\n  eye_color: null\n  warning: subfile ZV not found\n  warning: subfile DL: no final CR\n"),
      std::string::npos)
      << warned.out;
  ProgramRun json = runProgram({"--json", licence, plain});
  EXPECT_NE(json.out.find("\"document\":{\"type\":\"aamva\",\"version\":8,\"fields\":[{\"id\":\"DAQ\",\"name\":"
                          "\"Customer ID Number\",\"value\":\"T64235789\",\"subfile\":\"DL\"}"),
            std::string::npos);
  EXPECT_NE(json.out.find("\"summary\":{\"issuer_iin\":\"636000\""), std::string::npos);
  EXPECT_NE(json.out.find("\"document\":null}]}\n"), std::string::npos);
}

}  // namespace
