// Reads little-endian numbers off the front of a fuzzer's input.
#ifndef PDF417_FUZZ_FUZZ_INPUT_H
#define PDF417_FUZZ_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>

struct FuzzInput {
  const uint8_t* data;
  size_t size;
};

inline int takeU16(FuzzInput* in) {
  int value = 0;
  for (int k = 0; k < 2 && in->size > 0; k++, in->data++, in->size--) value |= *in->data << (8 * k);
  return value;
}

inline int takeS16(FuzzInput* in) { return (int16_t)(uint16_t)takeU16(in); }

#endif
