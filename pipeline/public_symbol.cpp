// A reading as the public Symbol.
#include "pipeline/public_symbol.h"

#include <algorithm>
#include <limits>
#include <string>

#include "highlevel/eci_text.h"

namespace pdf417read::detail {

namespace {

// The text of the bytes from start to end in charset, appended to text; as
// ISO-8859-1, with a warning, when the C library cannot convert the set.
void appendPart(const char* charset, const DecodedMessage& message, int start, int end, Symbol* symbol,
                std::string* text, int* length) {
  const char* bytes = message.bytes + start;
  if (appendAsUtf8(charset, bytes, end - start, &(*text)[0], (int)text->size(), length)) return;
  symbol->warnings.push_back(std::string("character set ") + charset +
                             " not available: its bytes are taken as ISO-8859-1");
  appendAsUtf8("ISO-8859-1", bytes, end - start, &(*text)[0], (int)text->size(), length);
}

// The message as UTF-8: the bytes before the first ECI designator as
// ISO-8859-1, every part after one in the set its ECI names. A part whose
// ECI is unknown is taken as ISO-8859-1 too, with a warning.
void convertText(const DecodedMessage& message, Symbol* symbol) {
  std::string text((size_t)utf8Capacity(message.length), '\0');
  int length = 0;
  int start = 0;
  const char* charset = "ISO-8859-1";
  for (int i = 0; i < message.ecis.count; i++) {
    const EciMark& mark = message.ecis.marks[i];
    int end = std::min(std::max(mark.position, start), message.length);
    appendPart(charset, message, start, end, symbol, &text, &length);
    start = end;
    symbol->eci.push_back(mark.eci);
    charset = eciCharsetName(mark.eci);
    if (!charset) {
      symbol->warnings.push_back("unknown ECI " + std::to_string(mark.eci) +
                                 ": its bytes are taken as ISO-8859-1");
      charset = "ISO-8859-1";
    }
  }
  appendPart(charset, message, start, message.length, symbol, &text, &length);
  text.resize((size_t)length);
  symbol->text = std::move(text);
}

// A field's bytes as UTF-8 (text fields hold ISO-8859-1).
std::string fieldText(const MacroText& field) {
  std::string text((size_t)utf8Capacity(field.length), '\0');
  int length = 0;
  appendAsUtf8("ISO-8859-1", field.bytes, field.length, &text[0], (int)text.size(), &length);
  text.resize((size_t)length);
  return text;
}

template <typename Number>
void takeNumber(const MacroText& field, const char* name, std::optional<Number>* value, Symbol* symbol) {
  if (!field.present) return;
  long long number = 0;
  if (macroFieldNumber(&field, &number) && number <= std::numeric_limits<Number>::max())
    *value = (Number)number;
  else
    symbol->warnings.push_back(std::string("Macro PDF417 ") + name + " unreadable");
}

void takeText(const MacroText& field, std::optional<std::string>* value) {
  if (field.present) *value = fieldText(field);
}

void convertMacro(const MacroBlock& block, Symbol* symbol) {
  if (!block.present) return;
  if (!block.readable) {
    symbol->warnings.push_back("Macro PDF417 control block unreadable");
    return;
  }
  MacroInfo macro;
  macro.segmentIndex = block.segmentIndex;
  macro.fileId.assign(block.fileId.bytes, (size_t)block.fileId.length);
  macro.lastSegment = block.lastSegment != 0;
  takeText(block.fields[kMacroFileName], &macro.fileName);
  takeNumber(block.fields[kMacroSegmentCount], "segment count", &macro.segmentCount, symbol);
  takeNumber(block.fields[kMacroTimestamp], "time stamp", &macro.timestamp, symbol);
  takeText(block.fields[kMacroSender], &macro.sender);
  takeText(block.fields[kMacroAddressee], &macro.addressee);
  takeNumber(block.fields[kMacroFileSize], "file size", &macro.fileSize, symbol);
  takeNumber(block.fields[kMacroChecksum], "checksum", &macro.checksum, symbol);
  if (block.unknownFields > 0) symbol->warnings.push_back("Macro PDF417 fields of unknown number skipped");
  symbol->macro = std::move(macro);
}

}  // namespace

// The symbol a reading holds; none when its codewords hold no valid
// message (a designator that names no ECI).
std::optional<Symbol> symbolOf(const SymbolReading& reading, const Options& options) {
  const DecodedMessage& message = reading.message;
  if (message.outcome == kMessageInvalid) return std::nullopt;
  Symbol symbol;
  symbol.bytes.assign(message.bytes, (size_t)message.length);
  convertText(message, &symbol);
  symbol.readerInit = message.readerInit != 0;
  convertMacro(message.macro, &symbol);
  symbol.verified = reading.verified != 0;
  symbol.ecLevel = reading.ecLevel;
  symbol.rows = reading.rows;
  symbol.columns = reading.columns;
  for (int k = 0; k < 4; k++) symbol.corners[k] = {reading.corners[2 * k], reading.corners[2 * k + 1]};
  symbol.compact = reading.compact != 0;
  symbol.mirrored = reading.mirrored != 0;
  symbol.inverted = reading.inverted != 0;
  if (options.parseDocuments) symbol.document = parseDocument(symbol.bytes);
  return symbol;
}

}  // namespace pdf417read::detail
