#include "ecc/gf929.h"

#include <stdio.h>

int gfExp[929];
int gfLog[930];

void buildGfTables() {
  int power = 1;
  for (int i = 0; i < 928; i++) {
    gfExp[i] = power;
    if (power > 928)
      printf("Internal error: powers of 3 calculation\n");
    else
      gfLog[power] = i;
    power = power * 3 % 929;
  }
  // 0 and 929 (the same field element) have no logarithm; an unreduced
  // exponent of 928 is the group order and gives 1 again.
  gfLog[0] = logZero;
  gfExp[928] = 1;
  gfLog[929] = logZero;
}
