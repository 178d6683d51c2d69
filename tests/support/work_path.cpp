// Scratch files: TEST_WORK_DIR/<binary>/<suite>.<test>/<name>. CTest runs
// every test case as a process of its own, several at once, so two test
// cases (of one binary or of two) writing "program.out" must not meet.
#include <errno.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/symbol_pictures.h"

#ifndef TEST_WORK_DIR
#define TEST_WORK_DIR "/tmp"
#endif

namespace pdf417read::detail {

namespace {

std::string currentTestFolder() {
  std::string folder = std::string(TEST_WORK_DIR) + "/" + program_invocation_short_name;
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  if (test) folder += std::string("/") + test->test_suite_name() + "." + test->name();
  return folder;
}

}  // namespace

std::string workPath(const std::string& name) {
  std::string folder = currentTestFolder();
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder + "/" + name;
}

}  // namespace pdf417read::detail
