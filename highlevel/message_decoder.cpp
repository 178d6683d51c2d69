#include "highlevel/message_decoder.h"

#include <cstring>

#include "codeword/codeword_buffer.h"

int decodeMessage(const int* codewords, int count, DecodedMessage* message) {
  message->length = 0;
  message->bytes[0] = 0;
  if (!codewords || count < 1) return 0;
  if (count > kCodewordBufferSize) count = kCodewordBufferSize;
  int data[kCodewordBufferSize];
  std::memcpy(data, codewords, sizeof(int) * (size_t)count);
  // The control block describes the message; it is not part of it.
  for (int p = 1; p < data[0] && p < count; p++)
    if (data[p] == 928) {
      data[0] = p;
      break;
    }
  KeptBytes kept = {0};
  char* walked = decodeDataCodewords(data, count, message->bytes, &kept);
  message->length = kept.count;
  return walked != nullptr;
}
