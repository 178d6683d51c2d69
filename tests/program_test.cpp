// The pdf417read program end to end: pictures on disk in, result lines and
// exit status out.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

std::string writeSymbol(const std::string& data, const std::string& name, int rotation = 0,
                        int modulePixels = 3) {
  std::string path = workPath(name);
  EXPECT_TRUE(writePicture(messagePicture(data, rotation, modulePixels), path));
  return path;
}

int countLines(const std::string& text) {
  int lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

}  // namespace

TEST(Program, PrintsOneResultLinePerPicture) {
  std::string png = writeSymbol("ABC", "abc.png");
  std::string bmp = writeSymbol("Second picture", "second.bmp", 180, 4);
  ProgramRun run = runProgram({png, bmp});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Result =ABC\nResult =Second picture\n");
  EXPECT_EQ(run.err, "");
}

TEST(Program, ReadsEveryPictureFormat) {
  const char* names[] = {"formats.png", "formats.bmp", "formats.jpg", "formats.tga"};
  for (const char* name : names) {
    std::string path = writeSymbol("Format check 42", name, 0, 4);
    ProgramRun run = runProgram({path});
    EXPECT_EQ(run.status, 0) << name;
    EXPECT_EQ(run.out, "Result =Format check 42\n") << name;
  }
  std::string gif = workPath("formats.gif");
  std::string zint = "zint -b PDF417 --scale=2 --quietzones -d 'GIF from zint' -o " + gif + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(zint.c_str()), 0);
  ProgramRun run = runProgram({gif});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Result =GIF from zint\n");
}

TEST(Program, FailuresNameTheFileAndTheReason) {
  std::string missing = workPath("does-not-exist.png");
  std::string garbage = workPath("garbage.png");
  FILE* f = std::fopen(garbage.c_str(), "wb");
  std::fputs("not a picture at all", f);
  std::fclose(f);
  GrayPicture blank;
  blank.width = 120;
  blank.height = 80;
  blank.pixels.assign(120 * 80, 255);
  std::string empty = workPath("blank.png");
  ASSERT_TRUE(writePicture(blank, empty));
  std::string good = writeSymbol("GOOD", "good.png");

  ProgramRun run = runProgram({missing, garbage, empty, good});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "Result =GOOD\n");
  EXPECT_EQ(countLines(run.err), 3);
  EXPECT_NE(run.err.find(missing + ": no such file\n"), std::string::npos);
  EXPECT_NE(run.err.find(garbage + ": unknown picture format\n"), std::string::npos);
  EXPECT_NE(run.err.find(empty + ": no PDF417 symbol found"), std::string::npos);
}

TEST(Program, WithoutArgumentsReadsTheFixedPicture) {
  ProgramRun run = runProgram({});
  EXPECT_EQ(run.status, 1);  // no such file on this system
  EXPECT_NE(run.err.find("c:\\24.bmp"), std::string::npos);
}

TEST(Program, HelpVersionAndUnknownOptions) {
  ProgramRun help = runProgram({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: pdf417read"), std::string::npos);
  ProgramRun version = runProgram({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("pdf417read ", 0), 0u);
  ProgramRun unknown = runProgram({"--frobnicate"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.out, "");
}

TEST(Program, OptionsAsGetoptReadsThem) {
  std::string picture = writeSymbol("Options together", "options.png");
  ProgramRun apart = runProgram({"-q", "-j", "2", picture, picture});
  EXPECT_EQ(apart.status, 0);
  EXPECT_EQ(apart.out, "Result =Options together\nResult =Options together\n");
  for (std::vector<std::string> together : {std::vector<std::string>{"-qj2"}, {"-qj", "2"}, {"-q", "-j2"},
                                            {"--quiet", "--jobs=2"}}) {
    together.insert(together.end(), {picture, picture});
    ProgramRun run = runProgram(together);
    EXPECT_EQ(run.status, 0) << together[0];
    EXPECT_EQ(run.out, apart.out) << together[0];
  }
  for (std::vector<std::string> wrong : {std::vector<std::string>{"-qx", picture}, {"-j0", picture}, {"-qj"},
                                         {"--json", "--join", picture}, {"--annotate", "out.webp", picture}}) {
    ProgramRun run = runProgram(wrong);
    EXPECT_EQ(run.status, 2) << wrong[0];
    EXPECT_EQ(run.out, "") << wrong[0];
    EXPECT_EQ(run.err.rfind("pdf417read: ", 0), 0u) << run.err;
  }
  EXPECT_NE(runProgram({"-qx"}).err.find("unknown option -x"), std::string::npos);
  EXPECT_NE(runProgram({"--json", "--join"}).err.find("--json and --join cannot be used together"),
            std::string::npos);
}

// A symbol with an unreadable codeword: error correction fills the erasure,
// and the decoder traces it on standard output.
std::string writeDamagedSymbol(const std::string& data, const std::string& name) {
  ModuleMatrix symbol;
  EXPECT_TRUE(encodeSymbol(data, SymbolOptions{}, &symbol));
  blotCodeword(&symbol, 1, 0);
  std::string path = workPath(name);
  EXPECT_TRUE(writePicture(drawSymbol(symbol, DrawOptions{}), path));
  return path;
}

TEST(Program, SeveralJobsPrintExactlyWhatOneJobPrints) {
  std::string garbage = workPath("jobs-garbage.png");
  ASSERT_TRUE(writeBytes(garbage, std::vector<unsigned char>(40, 'x')));
  GrayPicture blank{90, 60, std::vector<unsigned char>(90 * 60, 255)};
  std::string empty = workPath("jobs-blank.png");
  ASSERT_TRUE(writePicture(blank, empty));
  std::vector<std::string> pictures = {
      writeSymbol("First of several", "jobs-first.png"),
      workPath("jobs-missing.png"),
      writeDamagedSymbol("Damaged but repaired", "jobs-damaged.png"),
      garbage,
      writeSymbol("Turned a quarter", "jobs-turned.png", 90),
      empty,
      writeSymbol("Last of several", "jobs-last.bmp", 180, 4),
  };
  std::vector<std::string> args = {"-j", "1"};
  args.insert(args.end(), pictures.begin(), pictures.end());
  ProgramRun one = runProgram(args);
  EXPECT_EQ(one.status, 1);
  EXPECT_GT(countLines(one.out), 4) << "the trace is missing:\n" << one.out;
  EXPECT_EQ(countLines(one.err), 3);
  for (const char* jobs : {"2", "8"}) {
    args[1] = jobs;
    ProgramRun many = runProgram(args);
    EXPECT_EQ(many.status, one.status) << "-j " << jobs;
    EXPECT_EQ(many.out, one.out) << "-j " << jobs;
    EXPECT_EQ(many.err, one.err) << "-j " << jobs;
  }
}
