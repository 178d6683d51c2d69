// Turns corrected data codewords into text: mode dispatch and the
// text, byte and numeric compaction decoders.
#ifndef PDF417_HIGHLEVEL_DATA_DECODER_H
#define PDF417_HIGHLEVEL_DATA_DECODER_H

#include "highlevel/text_buffer.h"

enum { kTextBufferSize = 3000 };

// codewords: a codeword buffer whose entry 0 is the length descriptor;
// totalCodewords: how many codewords were read; text: kTextBufferSize bytes.
// Returns text when the data was walked to its end, null when decoding
// stopped early (the text decoded so far stays in the buffer). With kept,
// every byte is kept and counted and nothing is traced (see text_buffer.h).
char* decodeDataCodewords(const int* codewords, int totalCodewords, char* text,
                          KeptBytes* kept = nullptr);

#endif
