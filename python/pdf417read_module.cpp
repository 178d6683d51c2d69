// The pdf417read Python module: reads PDF417 symbols from a path, the bytes
// of a picture file, a NumPy array (any uint8 buffer) or a Pillow image. The
// GIL is released while a picture decodes, so threads decode in parallel.
#include <pdf417read/pdf417read.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "image/picture_status.h"

using namespace pdf417read::detail;

namespace py = pybind11;
using pdf417read::ImageView;
using pdf417read::MacroInfo;
using pdf417read::Options;
using pdf417read::PixelFormat;
using pdf417read::ReadResult;
using pdf417read::Status;
using pdf417read::Symbol;

namespace {

// A picture ready to decode without the GIL: everything it points at is
// owned or pinned here until the decode has returned.
struct Source {
  enum Kind { Path, Encoded, Pixels } kind = Path;
  std::string path;              // Path: file system bytes of the name
  py::object pathObject;         // Path: the caller's name, for OSError
  const void* data = nullptr;    // Encoded: the file's bytes
  size_t size = 0;
  ImageView view;                // Pixels
  std::vector<uint8_t> compact;  // pixels we rearranged or converted
  py::object owner;              // keeps the caller's bytes alive
  std::unique_ptr<py::buffer_info> pinned;  // keeps an exported buffer from moving
};

// Decoded strings are UTF-8 from a hostile symbol: never raise on them.
py::str textOf(const std::string& utf8) {
  PyObject* text = PyUnicode_DecodeUTF8(utf8.data(), (Py_ssize_t)utf8.size(), "replace");
  if (!text) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

py::object optionalText(const std::optional<std::string>& utf8) {
  if (!utf8) return py::none();
  return textOf(*utf8);
}

py::list textsOf(const std::vector<std::string>& texts) {
  py::list list;
  for (const std::string& text : texts) list.append(textOf(text));
  return list;
}

py::list cornersOf(const Symbol& symbol) {
  py::list corners;
  for (const pdf417read::Point& corner : symbol.corners) corners.append(py::make_tuple(corner.x, corner.y));
  return corners;
}

std::string typeName(py::handle object) { return py::str(py::type::handle_of(object).attr("__name__")); }

pdf417read::Effort effortOf(const std::string& effort) {
  if (effort == "fast") return pdf417read::Effort::Fast;
  if (effort == "normal") return pdf417read::Effort::Normal;
  if (effort == "hard") return pdf417read::Effort::Hard;
  throw py::value_error("effort must be 'fast', 'normal' or 'hard', not '" + effort + "'");
}

template <typename T>
T optionValue(py::handle value, const char* name, const char* expected) {
  try {
    return py::cast<T>(value);
  } catch (const py::cast_error&) {
    throw py::type_error(std::string(name) + " must be " + expected + ", not " + typeName(value));
  }
}

// Any int is taken: one too large for a C int asks for no more symbols than
// a picture can give anyway, so it is no limit.
int maxSymbolsOf(py::handle value) {
  if (py::isinstance<py::bool_>(value) || !py::isinstance<py::int_>(value))
    throw py::type_error("max_symbols must be an int, not " + typeName(value));
  int overflow = 0;
  long long limit = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (overflow < 0 || (overflow == 0 && limit < 0)) throw py::value_error("max_symbols must be 0 (no limit) or more");
  if (overflow > 0 || limit > INT_MAX) return 0;
  return static_cast<int>(limit);
}

// The keyword options of read() and read_result(), as Python checks them:
// an unknown name is a TypeError.
Options optionsOf(const char* function, const py::kwargs& keywords) {
  Options options;
  for (auto [key, value] : keywords) {
    std::string name = py::str(key);
    if (name == "exact_only") {
      options.exactOnly = optionValue<bool>(value, "exact_only", "True or False");
    } else if (name == "effort") {
      if (!py::isinstance<py::str>(value)) throw py::type_error("effort must be a str, not " + typeName(value));
      options.effort = effortOf(py::str(value));
    } else if (name == "max_symbols") {
      options.maxSymbols = maxSymbolsOf(value);
    } else {
      throw py::type_error(std::string(function) + "() got an unexpected keyword argument '" + name + "'");
    }
  }
  return options;
}

bool isPillowImage(py::handle image) {
  // A Pillow image exists only once PIL.Image is imported: no import here.
  py::dict modules = py::module_::import("sys").attr("modules");
  if (!modules.contains("PIL.Image")) return false;
  return py::isinstance(image, modules["PIL.Image"].attr("Image"));
}

// A 1-D byte buffer (bytes, bytearray, memoryview) holds a picture file.
bool isFileBytes(py::handle image) {
  if (PyBytes_Check(image.ptr()) || PyByteArray_Check(image.ptr())) return true;
  return PyMemoryView_Check(image.ptr()) && PyMemoryView_GET_BUFFER(image.ptr())->ndim <= 1;
}

Source pathSource(py::handle image) {
  Source source;
  source.kind = Source::Path;
  source.pathObject = py::reinterpret_borrow<py::object>(image);
  py::bytes name = py::module_::import("os").attr("fsencode")(image);
  source.path = name;
  if (source.path.find('\0') != std::string::npos) throw py::value_error("path: embedded null byte");
  return source;
}

Source fileBytesSource(py::handle image) {
  Source source;
  source.kind = Source::Encoded;
  source.pinned.reset(new py::buffer_info(py::reinterpret_borrow<py::buffer>(image).request()));
  const py::buffer_info& buffer = *source.pinned;
  if (buffer.itemsize != 1 || (buffer.ndim == 1 && buffer.strides[0] != 1))
    throw py::value_error("picture bytes must be one contiguous run of bytes");
  source.data = buffer.ptr;
  source.size = (size_t)buffer.size;
  return source;
}

void checkPixelType(py::handle image, const py::buffer_info& buffer) {
  std::string format = buffer.format;
  if (!format.empty() && std::strchr("@=<>!|", format[0])) format.erase(0, 1);
  if (buffer.itemsize == 1 && format == "B") return;
  std::string kind = py::hasattr(image, "dtype") ? std::string(py::str(image.attr("dtype")))
                                                 : "buffer format '" + buffer.format + "'";
  throw py::type_error("pixels must be uint8, not " + kind);
}

PixelFormat formatOf(py::ssize_t channels) {
  switch (channels) {
    case 1: return PixelFormat::Gray;
    case 3: return PixelFormat::RGB;
    case 4: return PixelFormat::RGBA;
  }
  throw py::value_error("pixels must have 1, 3 (RGB) or 4 (RGBA) channels, not " + std::to_string(channels));
}

// Refused before any copy is made: a broadcast array can claim far more
// pixels than the memory behind it holds.
void checkPictureSize(py::ssize_t width, py::ssize_t height) {
  if (width < 1 || height < 1) throw py::value_error("the picture is empty (a side of 0 pixels)");
  if (width > pdf417read::kMaxImageSide || height > pdf417read::kMaxImageSide ||
      (long long)width * height > pdf417read::kMaxImagePixels)
    throw py::value_error("the picture is too large: " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels (at most " + std::to_string(pdf417read::kMaxImageSide) + " a side and " +
                          std::to_string(pdf417read::kMaxImagePixels) + " in all)");
}

// Gathers the pixels of any strided layout (negative, zero, interleaved)
// into rows that follow each other.
void copyStrided(const py::buffer_info& buffer, py::ssize_t channels, std::vector<uint8_t>* compact) {
  py::ssize_t height = buffer.shape[0], width = buffer.shape[1];
  py::ssize_t rowStep = buffer.strides[0], pixelStep = buffer.strides[1];
  py::ssize_t channelStep = buffer.ndim == 3 ? buffer.strides[2] : 0;
  compact->resize((size_t)(height * width * channels));
  const uint8_t* origin = static_cast<const uint8_t*>(buffer.ptr);
  uint8_t* out = compact->data();
  for (py::ssize_t y = 0; y < height; y++) {
    for (py::ssize_t x = 0; x < width; x++) {
      const uint8_t* pixel = origin + y * rowStep + x * pixelStep;
      for (py::ssize_t c = 0; c < channels; c++) *out++ = pixel[c * channelStep];
    }
  }
}

Source arraySource(py::handle image) {
  Source source;
  source.kind = Source::Pixels;
  source.pinned.reset(new py::buffer_info(py::reinterpret_borrow<py::buffer>(image).request()));
  const py::buffer_info& buffer = *source.pinned;
  checkPixelType(image, buffer);
  if (buffer.ndim != 2 && buffer.ndim != 3)
    throw py::value_error("pixels must be H x W (gray) or H x W x C, not " + std::to_string(buffer.ndim) +
                          " dimensions");
  py::ssize_t height = buffer.shape[0], width = buffer.shape[1];
  py::ssize_t channels = buffer.ndim == 3 ? buffer.shape[2] : 1;
  PixelFormat format = formatOf(channels);
  checkPictureSize(width, height);
  py::ssize_t rowBytes = width * channels;
  bool rowsArePacked = buffer.strides[1] == channels && (buffer.ndim == 2 || buffer.strides[2] == 1);
  bool rowStepFits = buffer.strides[0] >= rowBytes && buffer.strides[0] <= INT_MAX;
  if (rowsArePacked && rowStepFits) {
    source.view = ImageView(buffer.ptr, (int)width, (int)height, format, (int)buffer.strides[0]);
    return source;
  }
  {
    py::gil_scoped_release unlocked;
    copyStrided(buffer, channels, &source.compact);
  }
  source.view = ImageView(source.compact.data(), (int)width, (int)height, format);
  return source;
}

// The upper byte of each 16-bit sample, as 16-bit picture files are read.
Source sixteenBitSource(const py::bytes& samples, int width, int height, int upperByte) {
  Source source;
  source.kind = Source::Pixels;
  std::string_view bytes = samples;
  size_t count = (size_t)width * (size_t)height;
  if (bytes.size() < 2 * count) throw py::value_error("the Pillow image holds fewer bytes than its size");
  source.compact.resize(count);
  for (size_t i = 0; i < count; i++) source.compact[i] = (uint8_t)bytes[2 * i + upperByte];
  source.view = ImageView(source.compact.data(), width, height, PixelFormat::Gray);
  return source;
}

// Pillow modes taken as they are: L, RGB, RGBA. 16-bit gray keeps its upper
// byte (Pillow's own conversion clips it to white); every other mode, and a
// picture with a transparent colour, is converted by Pillow to RGBA, or to L
// when it has one band and no transparency.
Source pillowSource(py::handle image) {
  py::object picture = py::reinterpret_borrow<py::object>(image);
  py::tuple size = picture.attr("size");
  int width = size[0].cast<int>(), height = size[1].cast<int>();
  checkPictureSize(width, height);
  std::string mode = py::str(picture.attr("mode"));
  if (mode == "I" && picture.attr("getextrema")()[py::int_(1)].cast<double>() > 255) {
    picture = picture.attr("convert")("I;16");
    mode = "I;16";
  }
  if (mode == "I;16" || mode == "I;16B") return sixteenBitSource(picture.attr("tobytes")("raw", "I;16B"), width, height, 0);
  if (mode == "I;16L") return sixteenBitSource(picture.attr("tobytes")(), width, height, 1);
  // A transparent colour or palette index is kept as alpha.
  bool transparent = py::dict(picture.attr("info")).contains("transparency");
  if ((mode != "L" && mode != "RGB" && mode != "RGBA") || (transparent && mode != "RGBA")) {
    bool oneBand = py::len(picture.attr("getbands")()) == 1;
    mode = oneBand && !transparent ? "L" : "RGBA";
    picture = picture.attr("convert")(mode);
  }
  Source source;
  source.kind = Source::Pixels;
  py::bytes pixels = picture.attr("tobytes")();
  PixelFormat format = mode == "L" ? PixelFormat::Gray : mode == "RGB" ? PixelFormat::RGB : PixelFormat::RGBA;
  std::string_view bytes = pixels;
  if (bytes.size() < (size_t)width * height * pdf417read::bytesPerPixel(format))
    throw py::value_error("the Pillow image holds fewer bytes than its size");
  source.owner = pixels;
  source.view = ImageView(bytes.data(), width, height, format);
  return source;
}

Source sourceOf(py::handle image) {
  if (py::isinstance<py::str>(image) || py::hasattr(image, "__fspath__")) return pathSource(image);
  if (isFileBytes(image)) return fileBytesSource(image);
  if (isPillowImage(image)) return pillowSource(image);
  if (PyObject_CheckBuffer(image.ptr())) return arraySource(image);
  throw py::type_error("image must be a path, the bytes of a picture file, a NumPy array or a Pillow image, not " +
                       typeName(image));
}

ReadResult decode(const Source& source, const Options& options) {
  py::gil_scoped_release unlocked;
  switch (source.kind) {
    case Source::Path: return pdf417read::readFile(source.path, options);
    case Source::Encoded: return pdf417read::readMemory(source.data, source.size, options);
    default: return pdf417read::read(source.view, options);
  }
}

// ": 'name'" for a path, to end a message with.
std::string nameOf(py::handle image) {
  if (!py::isinstance<py::str>(image) && !py::hasattr(image, "__fspath__")) return "";
  return ": " + std::string(py::repr(py::module_::import("os").attr("fsdecode")(image)));
}

// The library's text for a file that cannot be opened.
std::string fileErrorText(PictureError error) {
  PictureStatus status;
  status.error = error;
  char text[160];
  describePictureStatus(status, text, sizeof text);
  return text;
}

// A file that cannot be opened raises the OSError that open() raises for
// it (FileNotFoundError, IsADirectoryError, PermissionError), with the
// library's reason as its text.
void raiseFileError(const ReadResult& result, const Source& source) {
  struct FileError {
    PictureError error;
    const char* exception;
    int number;
  };
  const FileError kErrors[] = {{kPictureMissing, "FileNotFoundError", ENOENT},
                               {kPictureDirectory, "IsADirectoryError", EISDIR},
                               {kPictureNoPermission, "PermissionError", EACCES},
                               {kPictureNotRegular, "OSError", EINVAL},
                               {kPictureUnreadable, "OSError", EIO}};
  for (const FileError& error : kErrors) {
    if (result.error != fileErrorText(error.error)) continue;
    py::object type = py::module_::import("builtins").attr(error.exception);
    PyErr_SetObject(type.ptr(), py::make_tuple(error.number, result.error, source.pathObject).ptr());
    throw py::error_already_set();
  }
}

ReadResult readPicture(py::handle image, const Options& options) {
  Source source = sourceOf(image);
  ReadResult result = decode(source, options);
  if (result.status == Status::NoPicture && source.kind == Source::Path) raiseFileError(result, source);
  return result;
}

ReadResult readResult(py::handle image, const py::kwargs& keywords) {
  return readPicture(image, optionsOf("read_result", keywords));
}

py::list readSymbols(py::handle image, const py::kwargs& keywords) {
  ReadResult result = readPicture(image, optionsOf("read", keywords));
  if (result.status == Status::NoPicture) throw py::value_error(result.error + nameOf(image));
  py::list symbols;
  for (Symbol& symbol : result.symbols) symbols.append(py::cast(std::move(symbol)));
  return symbols;
}

py::object summaryObject(const std::vector<pdf417read::SummaryItem>& items);

py::object summaryValueOf(const pdf417read::SummaryValue& value) {
  using Kind = pdf417read::SummaryValue::Kind;
  switch (value.kind) {
    case Kind::Text: return textOf(value.text);
    case Kind::Number: return py::int_(value.number);
    case Kind::Bool: return py::bool_(value.flag);
    case Kind::List: {
      py::list list;
      for (const std::vector<pdf417read::SummaryItem>& object : value.list) list.append(summaryObject(object));
      return list;
    }
    case Kind::Null: break;
  }
  return py::none();
}

py::object summaryObject(const std::vector<pdf417read::SummaryItem>& items) {
  py::dict object;
  for (const pdf417read::SummaryItem& item : items) object[textOf(item.key)] = summaryValueOf(item.value);
  return object;
}

// A document as the program's --json writes it: a dict of type, version,
// fields (each with "subfile" on AAMVA cards), summary and warnings.
py::object documentOf(const std::optional<pdf417read::Document>& document) {
  if (!document) return py::none();
  bool aamva = document->type == pdf417read::DocumentType::Aamva;
  py::list fields;
  for (const pdf417read::DocumentField& field : document->fields) {
    py::dict entry;
    entry["id"] = textOf(field.id);
    entry["name"] = textOf(field.name);
    entry["value"] = textOf(field.value);
    if (aamva) entry["subfile"] = textOf(field.subfile);
    fields.append(entry);
  }
  py::dict object;
  object["type"] = pdf417read::documentTypeName(document->type);
  object["version"] = document->version ? py::object(py::int_(*document->version)) : py::object(py::none());
  object["fields"] = fields;
  object["summary"] = summaryObject(document->summary);
  object["warnings"] = textsOf(document->warnings);
  return object;
}

py::object parseDocumentOf(py::buffer data) {
  py::buffer_info info = data.request();
  if (info.ndim > 1 || info.itemsize != 1) throw py::type_error("parse_document takes bytes");
  std::string bytes(static_cast<const char*>(info.ptr), (size_t)info.size);
  return documentOf(pdf417read::parseDocument(bytes));
}

std::string reprOf(const Symbol& symbol) {
  const py::ssize_t kShownCharacters = 40;
  py::str text = textOf(symbol.text);
  bool cut = (py::ssize_t)py::len(text) > kShownCharacters;
  py::object shownText = cut ? py::object(text[py::slice(0, kShownCharacters, 1)]) : py::object(text);
  std::string shown = py::repr(shownText);
  if (cut) shown += "...";
  return "Symbol(text=" + shown + ", ec_level=" + std::to_string(symbol.ecLevel) + ", rows=" +
         std::to_string(symbol.rows) + ", columns=" + std::to_string(symbol.columns) +
         ", verified=" + (symbol.verified ? "True" : "False") + ")";
}

std::string reprOf(const MacroInfo& macro) {
  std::string repr = "Macro(segment_index=" + std::to_string(macro.segmentIndex) + ", file_id=" +
                     std::string(py::repr(textOf(macro.fileId)));
  if (macro.segmentCount) repr += ", segment_count=" + std::to_string(*macro.segmentCount);
  return repr + ", last_segment=" + (macro.lastSegment ? "True" : "False") + ")";
}

const char kModuleDoc[] = R"(Reads PDF417 barcodes (ISO/IEC 15438) from pictures.

    import pdf417read
    for symbol in pdf417read.read("label.png"):
        print(symbol.text)

read() takes a path, the bytes of a picture file, a NumPy array or a Pillow
image and returns the symbols it reads. The GIL is released while a picture
decodes: threads decode pictures in parallel.)";

const char kReadDoc[] = R"(read(image, *, exact_only=False, effort="normal", max_symbols=0) -> list[Symbol]

Reads every PDF417 symbol in a picture.

image: one of
  - a path (str or os.PathLike) of a BMP, PNG, JPEG, GIF, TGA or PNM file;
  - the bytes of such a file (bytes, bytearray or a 1-D memoryview);
  - a uint8 NumPy array (or any uint8 buffer) of pixels: H x W gray, or
    H x W x C with C = 1 (gray), 3 (RGB) or 4 (RGBA), any strides;
  - a Pillow image, any mode (L, RGB and RGBA are taken as they are, 16-bit
    gray by its upper byte, other modes are converted by Pillow).
Transparent pixels are taken as lying on white paper.

exact_only: read only upright or upside-down symbols, in one reading.
effort: "fast", "normal" (the pdf417read program's) or "hard".
max_symbols: return at most this many symbols; 0 means no limit.

Returns a list of Symbol, in reading order; empty when the picture holds no
symbol or none could be decoded. Raises ValueError when the picture cannot be
read (a file that is not a picture, a truncated file, an empty or too large
array, a wrong shape), TypeError for an unsupported object or dtype, and
OSError (FileNotFoundError, ...) for a file that cannot be opened.)";

const char kReadResultDoc[] = R"(read_result(image, *, exact_only=False, effort="normal", max_symbols=0) -> ReadResult

Reads a picture like read(), and tells why nothing was read.

Takes the same arguments as read() and raises the same errors for them, but a
picture file that cannot be decoded is not an error here: it returns a
ReadResult whose status is "no picture".)";

const char kSymbolDoc[] = R"(One PDF417 symbol read from a picture (read-only).

text: the message as a str (each ECI segment converted).
bytes: the message byte for byte.
verified: error correction confirmed the codewords.
ec_level: error-correction level 0..8, -1 when unknown.
rows, columns: symbol rows and data columns, 0 when unknown.
corners: [(x, y)] * 4 in picture pixels: top-left, top-right, bottom-right,
  bottom-left in the symbol's own frame (the start pattern on its left).
eci: the ECIs met, in order.
compact: a compact PDF417 symbol (no right row indicator).
mirrored: read from a mirror image.
inverted: printed light on dark (or read from a negative).
reader_init: carries the reader initialisation flag.
macro: a Macro when the symbol is one segment of a Macro PDF417 message,
  else None.
warnings: what the reader could not interpret.
document: None, or a dict of what an AAMVA driver licence or ID card, an
  IATA boarding pass or an ISO/IEC 15434 label says, as parse_document()
  gives it.
page: the page of a multi-page file (TIFF) it is on, from 1; 0 for a
  picture of one page.)";

const char kParseDocumentDoc[] = R"(parse_document(data) -> dict | None

Parses the bytes of a message (bytes, bytearray or memoryview) as an AAMVA
DL/ID record, an IATA boarding pass (BCBP) or an ISO/IEC 15434 envelope.

Returns None when they begin like none of these, else a dict:
{"type": "aamva" | "bcbp" | "iso15434", "version": int or None,
 "fields": [{"id", "name", "value"} (+ "subfile" for AAMVA)],
 "summary": {...}, "warnings": [str]}.
A record that breaks off or breaks its rules gives what could be read, with
warnings.)";

const char kMacroDoc[] = R"(The Macro PDF417 control block of a symbol (read-only).

segment_index, file_id, last_segment are always present; segment_count,
file_name, timestamp (seconds since 1970-01-01 UTC), sender, addressee,
file_size (bytes) and checksum (CRC-16 of the whole message) are None when
the symbol does not carry them.)";

const char kReadResultClassDoc[] = R"(What read_result() found in a picture.

status: "decoded", "no picture", "no symbol" or "not decoded".
error: why nothing was decoded ("" when something was).
symbols: the list of Symbol read.)";

const char kFrameReaderDoc[] = R"(FrameReader(*, effort="normal", max_symbols=0)

Reads the successive frames of one camera as one scene. A symbol that no
frame shows whole (a glare moving over a laminated card) is read from the
best reading of each of its codewords over the frames; error correction
confirms it as for one picture, and codewords of different symbols are never
combined. Each symbol is returned once, by the push of the frame it first
decodes in. At most 8 symbols are followed; the one seen longest ago makes
room. effort and max_symbols are read()'s.

push(frame) -> list of Symbol: reads the next frame (a NumPy array or a
  Pillow image, as read() takes them) and returns the symbols first decoded
  now. Raises read()'s errors for a frame it cannot read.
reset(): forgets every symbol; the next frame starts a new scene.)";

// A reader of frames for Python: frames are pushed without the GIL, one at
// a time however many threads push.
struct FrameReaderObject {
  pdf417read::FrameReader reader;
  std::unique_ptr<std::mutex> busy{new std::mutex};

  explicit FrameReaderObject(const Options& options) : reader(options) {}
};

FrameReaderObject* newFrameReader(const py::kwargs& keywords) {
  if (keywords.contains("exact_only"))
    throw py::type_error("FrameReader() got an unexpected keyword argument 'exact_only'");
  return new FrameReaderObject(optionsOf("FrameReader", keywords));
}

py::list pushFrame(FrameReaderObject& frames, py::handle frame) {
  Source source = sourceOf(frame);
  if (source.kind != Source::Pixels)
    throw py::type_error("a frame must be a NumPy array or a Pillow image, not " + typeName(frame));
  ReadResult result;
  {
    py::gil_scoped_release unlocked;
    std::lock_guard<std::mutex> lock(*frames.busy);
    result = frames.reader.push(source.view);
  }
  if (result.status == Status::NoPicture) throw py::value_error(result.error);
  py::list symbols;
  for (Symbol& symbol : result.symbols) symbols.append(py::cast(std::move(symbol)));
  return symbols;
}

void resetFrames(FrameReaderObject& frames) {
  py::gil_scoped_release unlocked;
  std::lock_guard<std::mutex> lock(*frames.busy);
  frames.reader.reset();
}

void bindFrameReader(py::module_& m) {
  py::class_<FrameReaderObject>(m, "FrameReader", kFrameReaderDoc)
      .def(py::init(&newFrameReader))
      .def("push", pushFrame, py::arg("frame"))
      .def("reset", resetFrames);
}

void bindMacro(py::module_& m) {
  py::class_<MacroInfo>(m, "Macro", kMacroDoc)
      .def_readonly("segment_index", &MacroInfo::segmentIndex)
      .def_property_readonly("file_id", [](const MacroInfo& macro) { return textOf(macro.fileId); })
      .def_readonly("last_segment", &MacroInfo::lastSegment)
      .def_readonly("segment_count", &MacroInfo::segmentCount)
      .def_property_readonly("file_name", [](const MacroInfo& macro) { return optionalText(macro.fileName); })
      .def_readonly("timestamp", &MacroInfo::timestamp)
      .def_property_readonly("sender", [](const MacroInfo& macro) { return optionalText(macro.sender); })
      .def_property_readonly("addressee", [](const MacroInfo& macro) { return optionalText(macro.addressee); })
      .def_readonly("file_size", &MacroInfo::fileSize)
      .def_readonly("checksum", &MacroInfo::checksum)
      .def("__repr__", [](const MacroInfo& macro) { return reprOf(macro); });
}

void bindSymbol(py::module_& m) {
  py::class_<Symbol>(m, "Symbol", kSymbolDoc)
      .def_property_readonly("text", [](const Symbol& symbol) { return textOf(symbol.text); })
      .def_property_readonly("bytes", [](const Symbol& symbol) { return py::bytes(symbol.bytes); })
      .def_readonly("verified", &Symbol::verified)
      .def_readonly("ec_level", &Symbol::ecLevel)
      .def_readonly("rows", &Symbol::rows)
      .def_readonly("columns", &Symbol::columns)
      .def_property_readonly("corners", cornersOf)
      .def_readonly("eci", &Symbol::eci)
      .def_readonly("compact", &Symbol::compact)
      .def_readonly("mirrored", &Symbol::mirrored)
      .def_readonly("inverted", &Symbol::inverted)
      .def_readonly("reader_init", &Symbol::readerInit)
      .def_readonly("page", &Symbol::page)
      .def_property_readonly("macro", [](const Symbol& symbol) { return symbol.macro; })
      .def_property_readonly("warnings", [](const Symbol& symbol) { return textsOf(symbol.warnings); })
      .def_property_readonly("document", [](const Symbol& symbol) { return documentOf(symbol.document); })
      .def("__repr__", [](const Symbol& symbol) { return reprOf(symbol); });
}

void bindReadResult(py::module_& m) {
  py::class_<ReadResult>(m, "ReadResult", kReadResultClassDoc)
      .def_property_readonly("status", [](const ReadResult& result) { return pdf417read::statusName(result.status); })
      .def_property_readonly("error", [](const ReadResult& result) { return textOf(result.error); })
      .def_readonly("symbols", &ReadResult::symbols)
      .def("__repr__", [](const ReadResult& result) {
        return std::string("ReadResult(status='") + pdf417read::statusName(result.status) +
               "', symbols=" + std::to_string(result.symbols.size()) + ")";
      });
}

}  // namespace

PYBIND11_MODULE(pdf417read, m) {
  m.doc() = kModuleDoc;
  m.attr("__version__") = pdf417read::version();
  bindMacro(m);
  bindSymbol(m);
  bindReadResult(m);
  // The keyword options are checked by hand, for Python's own messages; the
  // signatures are written out in the docstrings.
  py::options signatures;
  signatures.disable_function_signatures();
  m.def("read", readSymbols, kReadDoc, py::arg("image"));
  m.def("read_result", readResult, kReadResultDoc, py::arg("image"));
  m.def("parse_document", parseDocumentOf, kParseDocumentDoc, py::arg("data"));
  bindFrameReader(m);
}
