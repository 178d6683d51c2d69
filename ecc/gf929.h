// Exponent and logarithm tables of GF(929), generator 3.
#ifndef PDF417_ECC_GF929_H
#define PDF417_ECC_GF929_H

namespace pdf417read::detail {

enum { logZero = 928 };  // stands for the logarithm of 0

// Read-only views: the tables are written once, by buildGfTables, and never
// again, so any number of threads may read them.
extern const int (&gfExp)[929];  // gfExp[i] = 3^i mod 929; gfExp[928] = 1
extern const int (&gfLog)[930];  // gfLog[3^i] = i; gfLog[0] = gfLog[929] = logZero

// Fills the tables on the first call (safe from any thread); later calls
// return at once.
void buildGfTables();

}  // namespace pdf417read::detail

#endif
