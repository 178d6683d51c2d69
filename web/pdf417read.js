// pdf417read: reads PDF417 barcodes from pictures, in browsers, Web Workers
// and Node 18 or later. Every call returns a promise; nothing throws
// synchronously. The WebAssembly module is loaded on the first call.
import createCore from "./pdf417read-core.js";

const WASM_FILE = "pdf417read.wasm";
const PIXEL_FORMATS = { gray: 0, rgba: 3 };
const EFFORTS = { fast: 0, normal: 1, hard: 2 };
const isNode = typeof process === "object" && process.versions != null && process.versions.node != null &&
               typeof window === "undefined";

let corePromise = null;

// Node's fetch does not take file URLs: the bytes are read from disk there,
// and fetched (streamed where the server allows) everywhere else.
async function wasmInstance(imports) {
  const url = new URL(WASM_FILE, import.meta.url);
  if (isNode) {
    const fs = await import(/* webpackIgnore: true */ "node:fs/promises");
    const { fileURLToPath } = await import(/* webpackIgnore: true */ "node:url");
    return WebAssembly.instantiate(await fs.readFile(fileURLToPath(url)), imports);
  }
  const response = fetch(url);
  if (WebAssembly.instantiateStreaming) {
    try {
      return await WebAssembly.instantiateStreaming(response, imports);
    } catch (error) {
      // A server that sends the wrong media type: compile from the bytes.
    }
  }
  const bytes = await (await fetch(url)).arrayBuffer();
  return WebAssembly.instantiate(bytes, imports);
}

function core() {
  if (!corePromise) {
    corePromise = new Promise((resolve, reject) => {
      createCore({
        instantiateWasm(imports, ready) {
          wasmInstance(imports).then((result) => ready(result.instance, result.module), reject);
          return {};
        },
      }).then(resolve, reject);
    });
    // A failed load is tried again on the next call.
    corePromise.catch(() => { corePromise = null; });
  }
  return corePromise;
}

function effortCode(options) {
  const name = options.effort === undefined ? "normal" : options.effort;
  const code = EFFORTS[name];
  if (code === undefined) throw new Error(`unknown effort "${name}": use "fast", "normal" or "hard"`);
  return code;
}

function maxSymbolsOf(options) {
  const value = options.maxSymbols === undefined ? 0 : options.maxSymbols;
  if (!Number.isInteger(value) || value < 0) throw new Error("maxSymbols must be a whole number, 0 or more");
  return Math.min(value, 0x7fffffff);
}

// Copies bytes into the module's heap, calls `decode` with their address and
// frees them and the result whatever happens.
function withHeapCopy(module, bytes, decode) {
  const address = module._malloc(Math.max(bytes.length, 1));
  if (!address) throw new Error("out of memory for the picture");
  let json = 0;
  try {
    module.HEAPU8.set(bytes, address);
    json = decode(address);
    if (!json) throw new Error("out of memory for the result");
    return textAt(module, json);
  } finally {
    if (json) module._free(json);
    module._free(address);
  }
}

const decoder = new TextDecoder();

function textAt(module, address) {
  const heap = module.HEAPU8;
  const end = heap.indexOf(0, address);
  return decoder.decode(heap.subarray(address, end));
}

function symbolsOf(json) {
  const result = JSON.parse(json);
  if (result.status === "no picture") throw new Error(result.error || "no picture");
  return result.symbols.map((symbol) => ({
    text: symbol.text,
    bytes: Uint8Array.from(symbol.bytes),
    verified: symbol.verified,
    ecLevel: symbol.ecLevel,
    rows: symbol.rows,
    columns: symbol.columns,
    corners: symbol.corners,
    eci: symbol.eci,
    compact: symbol.compact,
    mirrored: symbol.mirrored,
    inverted: symbol.inverted,
    readerInit: symbol.readerInit,
    macro: symbol.macro,
    document: symbol.document,
    warnings: symbol.warnings,
    page: symbol.page,
  }));
}

function isPixels(input) {
  return input != null && typeof input === "object" && "data" in input && "width" in input && "height" in input;
}

function isFileBytes(input) {
  return input instanceof ArrayBuffer || ArrayBuffer.isView(input);
}

function bytesOf(input) {
  if (input instanceof ArrayBuffer) return new Uint8Array(input);
  return new Uint8Array(input.buffer, input.byteOffset, input.byteLength);
}

// The pixels of {data, width, height, format}, checked: their bytes, size
// and format code.
function checkedPixels(input) {
  const format = input.format === undefined ? "rgba" : input.format;
  const code = PIXEL_FORMATS[format];
  if (code === undefined) throw new Error(`unknown pixel format "${format}": use "rgba" or "gray"`);
  const { width, height } = input;
  if (!Number.isInteger(width) || !Number.isInteger(height) || width <= 0 || height <= 0) {
    throw new Error(`picture size ${width}x${height} is not a positive whole size`);
  }
  if (!isFileBytes(input.data)) throw new Error("picture data must be a typed array or an ArrayBuffer");
  const data = bytesOf(input.data);
  const needed = width * height * (format === "gray" ? 1 : 4);
  if (data.length < needed) {
    throw new Error(`picture data holds ${data.length} bytes, ${width}x${height} ${format} needs ${needed}`);
  }
  return { bytes: data.subarray(0, needed), width, height, code };
}

function readPixels(module, input, options) {
  const { bytes, width, height, code } = checkedPixels(input);
  return withHeapCopy(module, bytes, (address) =>
    module._pdf417_read_pixels(address, width, height, code, effortCode(options), maxSymbolsOf(options)));
}

function readFileBytes(module, bytes, options) {
  if (bytes.length === 0) throw new Error("the picture file is empty");
  return withHeapCopy(module, bytes, (address) =>
    module._pdf417_read_file(address, bytes.length, effortCode(options), maxSymbolsOf(options)));
}

// Pictures a page or worker holds (image, canvas, bitmap, video, video frame)
// become RGBA pixels through a 2D canvas.
async function pixelsOfDrawable(source) {
  if (typeof HTMLImageElement !== "undefined" && source instanceof HTMLImageElement) {
    if (!source.complete || source.naturalWidth === 0) await source.decode();
  }
  const width = source.naturalWidth || source.videoWidth || source.displayWidth || source.width;
  const height = source.naturalHeight || source.videoHeight || source.displayHeight || source.height;
  if (!width || !height) throw new Error("the picture has no pixels yet (not loaded, or a video without a frame)");
  const canvas = typeof OffscreenCanvas !== "undefined" ? new OffscreenCanvas(width, height)
                                                        : Object.assign(document.createElement("canvas"), { width, height });
  const context = canvas.getContext("2d", { willReadFrequently: true });
  context.drawImage(source, 0, 0, width, height);
  return context.getImageData(0, 0, width, height);
}

function isDrawable(input) {
  const kinds = ["HTMLImageElement", "HTMLCanvasElement", "ImageBitmap", "HTMLVideoElement", "VideoFrame",
                 "OffscreenCanvas", "SVGImageElement"];
  return kinds.some((kind) => typeof globalThis[kind] === "function" && input instanceof globalThis[kind]);
}

async function readAny(input, options) {
  if (options == null) options = {};
  if (typeof options !== "object") throw new Error("options must be an object");
  if (typeof Blob !== "undefined" && input instanceof Blob) input = new Uint8Array(await input.arrayBuffer());
  else if (isDrawable(input)) input = await pixelsOfDrawable(input);
  const module = await core();
  if (isFileBytes(input)) return symbolsOf(readFileBytes(module, bytesOf(input), options));
  if (isPixels(input)) return symbolsOf(readPixels(module, input, options));
  throw new Error("cannot read this input: give pixels {data, width, height}, file bytes, a Blob or a picture element");
}

/**
 * Reads every PDF417 symbol in a picture. Resolves to the symbols in reading
 * order (empty when there is none); rejects with an Error saying why when the
 * picture cannot be read.
 */
export function read(input, options) {
  return readAny(input, options);
}

/**
 * Parses a message (bytes, or a string taken as UTF-8) as an AAMVA DL/ID
 * record, an IATA boarding pass or an ISO/IEC 15434 envelope: resolves to the
 * document, as a symbol's `document` holds it, or null when the message is
 * none of them.
 */
export async function parseDocument(message) {
  let bytes;
  if (typeof message === "string") bytes = new TextEncoder().encode(message);
  else if (isFileBytes(message)) bytes = bytesOf(message);
  else throw new Error("parseDocument takes the message's bytes or a string");
  const module = await core();
  return JSON.parse(withHeapCopy(module, bytes, (address) => module._pdf417_parse_document(address, bytes.length)));
}

/** The library's version, "MAJOR.MINOR.PATCH". */
export async function version() {
  const module = await core();
  return textAt(module, module._pdf417_version());
}

/** Bytes of the module's heap in use: stays level across calls. */
export async function heapBytesInUse() {
  const module = await core();
  return module._pdf417_heap_in_use() >>> 0;
}

// Frees a reader's native half when the reader itself is collected unclosed.
const unclosedReaders = typeof FinalizationRegistry === "function"
  ? new FinalizationRegistry(({ module, handle }) => module._pdf417_frames_free(handle)) : null;

/**
 * Reads the successive frames of one camera as one scene: a symbol that no
 * frame shows whole (a glare moving over a laminated card) is read from the
 * best reading of each of its codewords over the frames, confirmed by error
 * correction as one picture is. Each symbol is returned once, by the push of
 * the frame it first decodes in. Frames are pushed in the order of the
 * calls. Options: read()'s `effort` and `maxSymbols`.
 */
export class FrameReader {
  constructor(options) {
    this.options = options == null ? {} : options;
    this.native = null;  // { module, handle }, made by the first push
    this.closed = false;
    this.queue = Promise.resolve();
  }

  /**
   * Reads the next frame (pixels {data, width, height, format} or a picture
   * element, canvas, bitmap, video or video frame): resolves to the symbols
   * first decoded in it.
   */
  push(frame) {
    const pushed = this.queue.then(() => this.pushNow(frame));
    this.queue = pushed.catch(() => {});
    return pushed;
  }

  /** Forgets every symbol: the next frame starts a new scene. */
  reset() {
    const done = this.queue.then(() => {
      if (this.native) this.native.module._pdf417_frames_reset(this.native.handle);
    });
    this.queue = done.catch(() => {});
    return done;
  }

  /** Frees the reader's memory; pushing again after it is an error. */
  close() {
    const done = this.queue.then(() => {
      if (this.native) {
        unclosedReaders?.unregister(this);
        this.native.module._pdf417_frames_free(this.native.handle);
        this.native = null;
      }
      this.closed = true;
    });
    this.queue = done.catch(() => {});
    return done;
  }

  async pushNow(frame) {
    if (this.closed) throw new Error("the frame reader is closed");
    if (typeof this.options !== "object") throw new Error("options must be an object");
    if (isDrawable(frame)) frame = await pixelsOfDrawable(frame);
    if (!isPixels(frame)) throw new Error("a frame must be pixels {data, width, height} or a picture element");
    const { bytes, width, height, code } = checkedPixels(frame);
    const module = await core();
    if (!this.native) {
      const handle = module._pdf417_frames_new(effortCode(this.options), maxSymbolsOf(this.options));
      if (!handle) throw new Error("out of memory for the frame reader");
      this.native = { module, handle };
      unclosedReaders?.register(this, this.native, this);
    }
    const { handle } = this.native;
    return symbolsOf(withHeapCopy(module, bytes, (address) =>
      module._pdf417_frames_push(handle, address, width, height, code)));
  }
}

function boundingBoxOf(corners) {
  const xs = corners.map((p) => p.x);
  const ys = corners.map((p) => p.y);
  const x = Math.min(...xs);
  const y = Math.min(...ys);
  return { x, y, width: Math.max(...xs) - x, height: Math.max(...ys) - y };
}

/**
 * The Shape Detection API's BarcodeDetector, for PDF417 only: code written
 * for BarcodeDetector works with it unchanged.
 */
export class PDF417Detector {
  constructor(options) {
    const formats = options && Array.isArray(options.formats) ? options.formats : ["pdf417"];
    this.readsPdf417 = formats.includes("pdf417");
  }

  static getSupportedFormats() {
    return Promise.resolve(["pdf417"]);
  }

  async detect(source) {
    if (!this.readsPdf417) return [];
    const symbols = await readAny(source, {});
    return symbols.map((symbol) => ({
      rawValue: symbol.text,
      format: "pdf417",
      boundingBox: boundingBoxOf(symbol.corners),
      cornerPoints: symbol.corners.map((p) => ({ x: p.x, y: p.y })),
    }));
  }
}
