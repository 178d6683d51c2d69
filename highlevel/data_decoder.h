// Turns corrected data codewords into text: mode dispatch and the
// text, byte and numeric compaction decoders.
#ifndef PDF417_HIGHLEVEL_DATA_DECODER_H
#define PDF417_HIGHLEVEL_DATA_DECODER_H

enum { kTextBufferSize = 3000 };

// codewords: a codeword buffer whose entry 0 is the length descriptor;
// totalCodewords: how many codewords were read; text: kTextBufferSize bytes.
// Returns text when the data was walked to its end, null when decoding
// stopped early (the text decoded so far stays in the buffer).
char* decodeDataCodewords(const int* codewords, int totalCodewords, char* text);

#endif
