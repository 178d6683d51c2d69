// Test support: the pdf417read program run with arguments, its output and
// exit status caught.
#ifndef PDF417_TESTS_SUPPORT_PROGRAM_RUN_H
#define PDF417_TESTS_SUPPORT_PROGRAM_RUN_H

#include <string>
#include <vector>

namespace pdf417read::detail {

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the program (path given) with args, each quoted for the shell;
// standard input comes from stdinPath when it is not empty.
ProgramRun runProgramAt(const std::string& program, const std::vector<std::string>& args,
                        const std::string& stdinPath = "");

#ifdef PDF417READ_BINARY
inline ProgramRun runProgram(const std::vector<std::string>& args, const std::string& stdinPath = "") {
  return runProgramAt(PDF417READ_BINARY, args, stdinPath);
}
#endif

}  // namespace pdf417read::detail

#endif
