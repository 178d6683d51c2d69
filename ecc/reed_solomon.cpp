#include "ecc/reed_solomon.h"

#include "ecc/gf929.h"
#include "runtime/trace.h"

namespace pdf417read::detail {

// Polynomials hold kPolySize coefficients (index = power), either as values
// 0..928 or in log form (logZero for a zero coefficient). The locator is kept
// with the signs of its odd coefficients flipped, i.e. lambda(-x) is stored;
// every evaluation below alternates signs to undo that.
enum { kPolySize = kMaxCheckCodewords + 1, kMaxRoots = kMaxCheckCodewords, kMinusOneLog = 464 };

static int fieldAdd(int a, int b) {  // a, b field elements
  int sum = a + b;
  return sum >= 929 ? sum - 929 : sum;
}
static int power3(int exponent) { return gfExp[exponent % 928]; }  // exponent >= 0

// 3^(a + b) for logarithms a, b below 928, without a division.
static int powerOfLogSum(int a, int b) {
  int exponent = a + b;
  return gfExp[exponent >= 928 ? exponent - 928 : exponent];
}

// log(x / y) from logarithms a, b below 928.
static int logOfQuotient(int a, int b) { return a >= b ? a - b : a - b + 928; }

// Sums of up to 3060 terms below 929 fit an int; they are reduced once.
static int reduce(int sum) { return (sum % 929 + 929) % 929; }

// An erasure mark v < 0 stands for the value -v.
static int entryValue(int entry) { return entry < 0 ? -entry : entry; }

static void toLogForm(int* poly, int count) {
  for (int i = 0; i < count; i++) poly[i] = gfLog[poly[i]];
}

static int argumentsAreBad(const int* codewords, const int* erasurePositions, int ne, int n,
                           int t) {
  // A symbol holds at most 928 codewords; in a longer word locations repeat
  // modulo 928, so a correction could land on the wrong entry.
  if (!codewords || n < 1 || n > kMaxWordLength) return 1;
  if (t < 1 || t > n || t > kMaxCheckCodewords) return 1;
  // More erasures than check codewords can never be solved (and would grow
  // the erasure locator past its t + 1 coefficients).
  if (ne < 0 || ne > t) return 1;
  if (ne > 0 && !erasurePositions) return 1;
  for (int m = 0; m < ne; m++)
    if (erasurePositions[m] < 0 || erasurePositions[m] >= n) return 1;
  return 0;
}

// Entries must be field elements once a mark's sign is dropped; 929 is
// accepted and counts as 0. Anything else would index gfLog out of range.
static int entriesAreBad(const int* codewords, int n) {
  for (int j = 0; j < n; j++)
    if (codewords[j] > 929 || codewords[j] < -929) return 1;
  return 0;
}

// 3^e for e below 2 * 928, then zeros: a logarithm plus a weight below 928
// indexes it without a wrap test once logZero is taken as 2 * 928.
enum { kZeroLog = 2 * 928, kLanes = 4 };
struct PowersOfThree {
  int of[3 * 928];
  constexpr PowersOfThree() : of() {
    int value = 1;
    for (int e = 0; e < 928; e++, value = value * 3 % 929) of[e] = of[e + 928] = value, of[e + kZeroLog] = 0;
  }
};
static constexpr PowersOfThree kPowers;

// syndromes[k] = sum over locations i of v * 3^(k*i), k = 1..t, in log form.
// Returns 1 when any is non-zero.
static int computeSyndromes(const int* codewords, int n, int t, int* syndromes) {
  int logByLocation[kMaxWordLength + 1];
  for (int i = 1; i <= n; i++) {
    int log = gfLog[entryValue(codewords[n - i])];
    logByLocation[i] = log == logZero ? kZeroLog : log;
  }
  // Four syndromes a pass, so that their weights step on side by side.
  int anyNonZero = 0;
  for (int first = 1; first <= t; first += kLanes) {
    int step[kLanes], weight[kLanes] = {}, sum[kLanes] = {};
    for (int lane = 0; lane < kLanes; lane++) step[lane] = (first + lane) % 928;
    for (int i = 1; i <= n; i++)
      for (int lane = 0; lane < kLanes; lane++) {
        weight[lane] += step[lane];
        if (weight[lane] >= 928) weight[lane] -= 928;
        sum[lane] += kPowers.of[logByLocation[i] + weight[lane]];
      }
    for (int lane = 0; lane < kLanes && first + lane <= t; lane++) {
      syndromes[first + lane] = reduce(sum[lane]);
      if (syndromes[first + lane]) anyNonZero = 1;
    }
  }
  toLogForm(syndromes + 1, t);
  return anyNonZero;
}

// Product of (1 + 3^u x) over the erasures, u = location of the erasure.
static void buildErasureLocator(const int* erasurePositions, int ne, int n, int t, int* lambda) {
  lambda[0] = 1;
  for (int i = 1; i <= t; i++) lambda[i] = 0;
  if (ne < 1) return;
  lambda[1] = power3(n - erasurePositions[0]);
  for (int m = 1; m < ne; m++) {
    int location = (n - erasurePositions[m]) % 928;
    for (int j = m + 1; j >= 1; j--)
      if (lambda[j - 1] != 0)
        lambda[j] = fieldAdd(lambda[j], power3(gfLog[lambda[j - 1]] + location));
  }
}

// Moves a register log(c * 3^(i*j)) on from i to i + 1.
static int stepLog(int log, int j) {
  int next = log + j % 928;
  return next >= 928 ? next - 928 : next;
}

// Prints where the stored erasure locator has its zeros, stepping a counter
// through the word; a trace of the erasures handed in.
static void printErasureRoots(const int* lambda, int ne, int n, int t) {
  int reg[kPolySize];
  for (int j = 1; j <= ne; j++) reg[j] = gfLog[lambda[j]];
  trace("\n Erasure positions as determined by roots of Eras Loc Poly:\n");
  int counter = n - 1;
  for (int i = 1; i <= n + t; i++) {
    int q = 1;
    for (int j = 1; j <= ne; j++) {
      if (reg[j] == logZero) continue;
      reg[j] = stepLog(reg[j], j);
      q += gfExp[reg[j]];
    }
    if (q % 929 == 0) trace("loc  = %d ", counter);
    counter = (counter + n - 1) % 928;
  }
  trace("\n");
}

// Discrepancy of step r, with the stored sign convention undone; terms at
// or past `terms` have a zero locator coefficient.
static int discrepancy(const int* lambda, const int* syndromes, int r, int terms) {
  int sum = 0;
  int end = terms < r ? terms : r;
  for (int i = 0; i < end; i++) {
    if (lambda[i] == 0 || syndromes[r - i] == logZero) continue;
    int term = powerOfLogSum(gfLog[lambda[i]], syndromes[r - i]);
    sum += (i & 1) ? term : -term;
  }
  return reduce(sum);
}

// B = x * B. B follows the locator's convention (B(-x) stored), and
// x * B(-x) = -(-x) * B(-x), so every moved coefficient changes sign.
// Above *top B holds only zeros, which stay where they are.
static void shiftAuxiliary(int* auxiliary, int t, int* top) {
  for (int i = *top < t - 1 ? *top : t - 1; i >= 0; i--) {
    int moved = auxiliary[i] + kMinusOneLog;
    auxiliary[i + 1] = auxiliary[i] == logZero ? logZero : moved >= 928 ? moved - 928 : moved;
  }
  auxiliary[0] = logZero;
  *top = *top < t ? *top + 1 : t;
}

// Berlekamp-Massey from the erasure locator; lambda in values, B in log form.
// B takes the old locator only when the length register grows. Returns the
// length register: the number of errors and erasures the locator claims.
// Both polynomials are only worked on up to bounds on their degrees.
static int berlekampMassey(const int* syndromes, int ne, int t, int* lambda) {
  int auxiliary[kPolySize], next[kPolySize];
  for (int i = 0; i <= t; i++) auxiliary[i] = gfLog[lambda[i]];
  int lambdaTop = ne, auxiliaryTop = ne;  // the erasure locator has degree ne
  int length = ne;
  for (int r = ne + 1; r <= t; r++) {
    int delta = discrepancy(lambda, syndromes, r, lambdaTop + 1);
    if (delta == 0) {
      shiftAuxiliary(auxiliary, t, &auxiliaryTop);
      continue;
    }
    int deltaLog = gfLog[delta];
    int changed = auxiliaryTop < t - 1 ? auxiliaryTop : t - 1;  // next differs from lambda up to changed + 1
    for (int i = 0; i <= changed; i++)
      next[i + 1] = auxiliary[i] == logZero
                        ? lambda[i + 1]
                        : fieldAdd(lambda[i + 1], powerOfLogSum(auxiliary[i], deltaLog));
    if (2 * length <= r + ne - 1) {
      int top = lambdaTop > auxiliaryTop ? lambdaTop : auxiliaryTop;
      for (int i = 0; i <= top && i <= t; i++)
        auxiliary[i] = lambda[i] == 0 ? logZero : logOfQuotient(gfLog[lambda[i]], deltaLog);
      auxiliaryTop = lambdaTop;
      length = r + ne - length;
    } else {
      shiftAuxiliary(auxiliary, t, &auxiliaryTop);
    }
    for (int i = 0; i <= changed; i++) lambda[i + 1] = next[i + 1];
    if (changed + 1 > lambdaTop) lambdaTop = changed + 1;
  }
  return length;
}

static int polyDegree(const int* polyLog, int maxDegree) {
  for (int i = maxDegree; i > 0; i--)
    if (polyLog[i] != logZero) return i;
  return 0;
}

// Finds the exponents i (1..928) with lambda(3^i) = 0, stopping once there
// are as many as the degree. Returns how many were found.
static int chienSearch(const int* lambdaLog, int degree, int t, int* roots, int* locations,
                       int verbosity) {
  int reg[kPolySize];
  for (int j = 1; j <= degree; j++) reg[j] = lambdaLog[j];
  int count = 0;
  for (int i = 1; i <= 928 && count < degree; i++) {
    int q = 1;
    for (int j = degree; j >= 1; j--) {
      if (reg[j] == logZero) continue;
      reg[j] = stepLog(reg[j], j);
      q += (j & 1) ? -gfExp[reg[j]] : gfExp[reg[j]];
    }
    if (reduce(q) != 0) continue;
    if (count >= t || count >= kMaxRoots) {
      if (verbosity >= 0) trace("Error : Error count too big = %d \n", count);
      continue;
    }
    roots[count] = i;
    locations[count] = 928 - i;
    count++;
  }
  return count;
}

// omega = S * lambda mod x^t (true signs), in log form; returns its degree.
static int computeEvaluator(const int* syndromes, const int* lambdaLog, int degree, int t,
                            int* omega) {
  int omegaDegree = 0;
  for (int i = 0; i < t; i++) {
    int sum = 0;
    int top = degree < i ? degree : i;
    for (int j = 0; j <= top; j++) {
      if (syndromes[i + 1 - j] == logZero || lambdaLog[j] == logZero) continue;
      int term = powerOfLogSum(syndromes[i + 1 - j], lambdaLog[j]);
      sum += (j & 1) ? -term : term;
    }
    omega[i] = reduce(sum);
    if (omega[i]) omegaDegree = i;
  }
  toLogForm(omega, t);
  omega[t] = logZero;
  return omegaDegree;
}

// Error value at root `which`: 3^a * omega(3^a) / product of (1 - 3^(a-b))
// over the other roots b. -1 when the product is 0.
static int forneyValue(const int* omega, int omegaDegree, const int* roots, int count,
                       int which) {
  int a = roots[which];
  int numerator = 0, weight = 0;
  for (int i = 0; i <= omegaDegree; i++) {
    weight = stepLog(weight, a);  // a * (i + 1)
    if (omega[i] != logZero) numerator += powerOfLogSum(omega[i], weight);
  }
  numerator = reduce(numerator);
  int denominatorLog = 0;
  for (int s = 0; s < count; s++) {
    if (s == which) continue;
    int factor = (930 - power3(a - roots[s] + 928)) % 929;
    if (factor == 0) return -1;
    denominatorLog += gfLog[factor];
  }
  if (numerator == 0) return 0;
  return power3(gfLog[numerator] - denominatorLog % 928 + 928);
}

static bool rootsInsideWord(const int* locations, int count, int n) {
  for (int k = 0; k < count; k++)
    if (locations[k] < 1 || locations[k] > n) return false;
  return true;
}

// Corrects the roots from the last found to the first. Every root inside the
// word sets its entry, even with a zero error value, so an erasure mark whose
// true value is 1 does not survive. Returns -1 on a zero denominator.
static int applyCorrections(int* codewords, int n, const int* omega, int omegaDegree,
                            const int* roots, const int* locations, int count, int verbosity) {
  for (int r = count - 1; r >= 0; r--) {
    int errorValue = forneyValue(omega, omegaDegree, roots, count, r);
    if (errorValue < 0) {
      if (verbosity >= 0) trace("\n ERROR: denominator = 0\n");
      return -1;
    }
    if (verbosity == 1) trace("error_val = %d \n", errorValue);
    int location = locations[r];
    if (location < 1 || location > n) continue;
    int p = n - location;
    if (verbosity == 1) trace("Fix loc = %d \n", p);
    codewords[p] = (entryValue(codewords[p]) - errorValue + 929) % 929;
    if (verbosity == 1) trace("codewords_new_modify[%d] = %d\n", p, codewords[p]);
  }
  return 0;
}

// Once the word is accepted, every entry the decoder did not touch stands for
// the field element it was taken as: marks lose their sign, 929 becomes 0.
static void settleErasureMarks(int* codewords, int n) {
  for (int j = 0; j < n; j++) codewords[j] = entryValue(codewords[j]) % 929;
}

// verbosity: -1 traces nothing, 0 the erasures and failures, 1 everything.
static int decodeWord(int* codewords, int* erasurePositions, int ne, int n, int t, int verbosity) {
  if (argumentsAreBad(codewords, erasurePositions, ne, n, t)) return -1;
  buildGfTables();
  if (entriesAreBad(codewords, n)) return -1;

  int syndromes[kPolySize];
  if (!computeSyndromes(codewords, n, t, syndromes)) {
    if (verbosity == 1) trace("No errors \n");
    settleErasureMarks(codewords, n);
    return 0;
  }

  int lambda[kPolySize];
  buildErasureLocator(erasurePositions, ne, n, t, lambda);
  if (ne >= 1 && verbosity >= 0) printErasureRoots(lambda, ne, n, t);
  int length = berlekampMassey(syndromes, ne, t, lambda);
  toLogForm(lambda, t + 1);
  int degree = polyDegree(lambda, t);

  int roots[kMaxRoots], locations[kMaxRoots];
  int count = chienSearch(lambda, degree, t, roots, locations, verbosity);
  // A constant locator with non-zero syndromes explains nothing; a locator
  // shorter than its register, or with a root outside the word, means more
  // damage than the check codewords can place.
  if (count != degree || degree == 0 || degree != length || !rootsInsideWord(locations, count, n)) {
    if (verbosity == 1)
      trace("Uncorrectable error: root count = %d deg lambda = %d \n", count, degree);
    return -1;
  }

  int omega[kPolySize];
  int omegaDegree = computeEvaluator(syndromes, lambda, degree, t, omega);
  if (applyCorrections(codewords, n, omega, omegaDegree, roots, locations, count, verbosity) < 0)
    return -1;

  if (erasurePositions)
    for (int k = 0; k < count; k++) erasurePositions[k] = locations[k];
  settleErasureMarks(codewords, n);
  return count;
}

int rsDecode(int* codewords, int* erasurePositions, int ne, int n, int t, int debug) {
  return decodeWord(codewords, erasurePositions, ne, n, t, debug == 1 ? 1 : 0);
}

int rsDecodeSilent(int* codewords, int* erasurePositions, int ne, int n, int t) {
  return decodeWord(codewords, erasurePositions, ne, n, t, -1);
}

}  // namespace pdf417read::detail
