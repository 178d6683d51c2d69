// Symbols of any content, bytes that are not UTF-8 included, through the
// program's JSON writer; every line must parse back, with its bytes intact.
// Input: a file name, text and field strings cut at zero bytes, then flags.
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "app/json_output.h"
#include "fuzz_input.h"

namespace {

double takeCoordinate(FuzzInput* in) {
  int value = takeS16(in);
  if (value == -32768) return NAN;
  if (value == 32767) return INFINITY;
  return value / 7.0;
}

pdf417read::Symbol takeSymbol(FuzzInput* in) {
  pdf417read::Symbol symbol;
  symbol.text = takeString(in);
  symbol.bytes = takeString(in) + std::string(1, '\0') + symbol.text;
  int flags = takeU16(in);
  symbol.verified = flags & 1;
  symbol.readerInit = flags & 2;
  for (auto& corner : symbol.corners) corner = {takeCoordinate(in), takeCoordinate(in)};
  symbol.eci.push_back(takeS16(in));
  symbol.warnings.push_back(takeString(in));
  if (flags & 4) {
    pdf417read::MacroInfo macro;
    macro.segmentIndex = takeS16(in);
    macro.fileId = takeString(in);
    if (flags & 8) macro.fileName = takeString(in);
    if (flags & 16) macro.sender = takeString(in);
    if (flags & 32) macro.timestamp = takeS16(in) * ((int64_t)1 << 40);
    symbol.macro = macro;
  }
  return symbol;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in = {data, size};
  std::string file = takeString(&in);
  pdf417read::ReadResult result;
  result.status = (pdf417read::Status)(takeU16(&in) % 4);
  result.error = takeString(&in);
  while (in.size > 0 && result.symbols.size() < 4) result.symbols.push_back(takeSymbol(&in));
  std::string line = jsonLine(file, result);
  if (line.empty() || line.back() != '\n') std::abort();
  nlohmann::json parsed = nlohmann::json::parse(line);  // throws, and so fails, on a bad line
  for (size_t i = 0; i < result.symbols.size(); i++)
    if (parsed["symbols"][i]["bytes"] != base64(result.symbols[i].bytes)) std::abort();
  return 0;
}
