// Reads little-endian numbers off the front of a fuzzer's input.
#ifndef PDF417_FUZZ_FUZZ_INPUT_H
#define PDF417_FUZZ_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

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

// The bytes up to the next zero byte (taken too) or the end of the input.
inline std::string takeString(FuzzInput* in) {
  std::string text;
  while (in->size > 0) {
    char c = (char)*in->data++;
    in->size--;
    if (c == 0) break;
    text += c;
  }
  return text;
}

#endif
