#include "support/program_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/symbol_pictures.h"

namespace pdf417read::detail {

ProgramRun runProgramAt(const std::string& program, const std::vector<std::string>& args,
                        const std::string& stdinPath) {
  std::string command = program;
  for (const std::string& arg : args) command += " '" + arg + "'";
  // Test programs run side by side: each catches output in files of its own.
  std::string tag = std::to_string(getpid());
  std::string out = workPath("program-" + tag + ".out"), err = workPath("program-" + tag + ".err");
  command += " >" + out + " 2>" + err;
  if (!stdinPath.empty()) command += " <'" + stdinPath + "'";
  ProgramRun run;
  int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::vector<unsigned char> outBytes = readBytes(out), errBytes = readBytes(err);
  run.out.assign(outBytes.begin(), outBytes.end());
  run.err.assign(errBytes.begin(), errBytes.end());
  return run;
}

}  // namespace pdf417read::detail
