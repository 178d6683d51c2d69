#include "ecc/gf929.h"

#include <mutex>

namespace pdf417read::detail {

static int exponents[929];
static int logarithms[930];
const int (&gfExp)[929] = exponents;
const int (&gfLog)[930] = logarithms;

static void fillGfTables() {
  int power = 1;
  for (int i = 0; i < 928; i++) {
    exponents[i] = power;
    logarithms[power] = i;  // 3 generates the field: power stays in 1..928
    power = power * 3 % 929;
  }
  // 0 and 929 (the same field element) have no logarithm; an unreduced
  // exponent of 928 is the group order and gives 1 again.
  logarithms[0] = logZero;
  exponents[928] = 1;
  logarithms[929] = logZero;
}

// Filled once per process, whichever thread asks first; every later call
// sees the finished tables.
void buildGfTables() {
  static std::once_flag built;
  std::call_once(built, fillGfTables);
}

}  // namespace pdf417read::detail
