// Reads little-endian numbers off the front of a fuzzer's input.
#ifndef PDF417_FUZZ_FUZZ_INPUT_H
#define PDF417_FUZZ_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>

struct FuzzInput {
  const uint8_t* data;
  size_t size;
};

// Missing bytes, past the end of the input, read as zeros.
inline uint32_t takeBytes(FuzzInput* in, int count) {
  uint32_t value = 0;
  for (int k = 0; k < count && in->size > 0; k++, in->data++, in->size--) value |= (uint32_t)*in->data << (8 * k);
  return value;
}

inline int takeU8(FuzzInput* in) { return (int)takeBytes(in, 1); }
inline int takeU16(FuzzInput* in) { return (int)takeBytes(in, 2); }
inline int takeS16(FuzzInput* in) { return (int16_t)(uint16_t)takeU16(in); }
inline int takeS32(FuzzInput* in) { return (int32_t)takeBytes(in, 4); }

#endif
