// pdf417read: reads PDF417 barcodes from pictures (browsers, Web Workers, Node 18+).

/** Pixels in memory, rows top first without padding: RGBA (4 bytes a pixel) unless `format` says "gray". */
export interface Pixels {
  data: Uint8Array | Uint8ClampedArray | ArrayBuffer;
  width: number;
  height: number;
  format?: "rgba" | "gray";
}

/** What `read` takes: pixels (ImageData fits), the bytes of a picture file, or a picture a page holds. */
export type ReadInput =
  | Pixels
  | ImageData
  | Uint8Array
  | ArrayBuffer
  | ArrayBufferView
  | Blob
  | HTMLImageElement
  | HTMLCanvasElement
  | HTMLVideoElement
  | ImageBitmap
  | OffscreenCanvas
  | VideoFrame;

export interface ReadOptions {
  /** How hard to look: "fast", "normal" (the default, as the pdf417read program reads) or "hard". */
  effort?: "fast" | "normal" | "hard";
  /** At most this many symbols; 0 (the default) means no limit. */
  maxSymbols?: number;
}

export interface Point {
  x: number;
  y: number;
}

/** A Macro PDF417 control block: one segment of a message spread over several symbols. */
export interface Macro {
  segmentIndex: number;
  fileId: string;
  lastSegment: boolean;
  segmentCount?: number;
  fileName?: string;
  /** Seconds since 1970-01-01 UTC. */
  timestamp?: number;
  sender?: string;
  addressee?: string;
  fileSize?: number;
  checksum?: number;
}

/**
 * One element of a document, in the order read. Inside a document the keys
 * are the ones the pdf417read program's --json writes (snake_case where a key
 * has two words): they are data, written the same everywhere, not API names.
 */
export interface DocumentField {
  /** "DAQ"; a boarding pass's item number ("26"); a data identifier ("1J") or GS1 AI ("01"). */
  id: string;
  /** What the element is; "unknown" for one its version does not define. */
  name: string;
  value: string;
  /** AAMVA only: the subfile that holds it ("DL", "ID", "ZV"). */
  subfile?: string;
}

/** A value of a document's summary: a list holds objects (a boarding pass's legs, an envelope's formats). */
export type SummaryValue = string | number | boolean | null | { [key: string]: SummaryValue }[];

/** What a message means when it is a record PDF417 symbols commonly carry; the same object as --json's "document". */
export interface Document {
  type: "aamva" | "bcbp" | "iso15434";
  /** AAMVA version; boarding pass version when given; null for ISO/IEC 15434. */
  version: number | null;
  fields: DocumentField[];
  /** What the document says, by fixed keys per type ("family_name", "date_of_birth", "legs", ...). */
  summary: { [key: string]: SummaryValue };
  /** Deviations from the record's standard that were tolerated, and what could not be read. */
  warnings: string[];
}

export interface Symbol {
  /** The message as text (each ECI's bytes converted from its character set). */
  text: string;
  /** The message byte for byte. */
  bytes: Uint8Array;
  /** Error correction confirmed the codewords. */
  verified: boolean;
  /** Error-correction level 0..8, -1 when unknown. */
  ecLevel: number;
  rows: number;
  columns: number;
  /** Top-left, top-right, bottom-right, bottom-left in picture pixels, in the symbol's own frame. */
  corners: [Point, Point, Point, Point];
  /** The ECI of every designator met, in order. */
  eci: number[];
  compact: boolean;
  mirrored: boolean;
  /** Printed light on dark (or read from a negative). */
  inverted: boolean;
  readerInit: boolean;
  macro: Macro | null;
  /** The message parsed as a document (licence, boarding pass, shipping label); null for other messages. */
  document: Document | null;
  /** What the reader could not interpret. */
  warnings: string[];
  /** The page of a multi-page file (TIFF) the symbol is on, from 1; 0 for other pictures and for pixels. */
  page: number;
}

/** Reads every PDF417 symbol in a picture, in reading order; rejects with an Error when the picture cannot be read. */
export function read(input: ReadInput, options?: ReadOptions): Promise<Symbol[]>;

/** Parses a message (bytes, or a string taken as UTF-8) as a document; null when it is none. */
export function parseDocument(message: Uint8Array | ArrayBuffer | ArrayBufferView | string): Promise<Document | null>;

/** The library's version, "MAJOR.MINOR.PATCH". */
export function version(): Promise<string>;

/** Bytes of the module's heap in use: stays level across calls. */
export function heapBytesInUse(): Promise<number>;

/** What `FrameReader.push` takes: pixels, or a picture a page holds. */
export type FrameInput =
  | Pixels
  | ImageData
  | HTMLImageElement
  | HTMLCanvasElement
  | HTMLVideoElement
  | ImageBitmap
  | OffscreenCanvas
  | VideoFrame;

/**
 * Reads the successive frames of one camera as one scene: a symbol no frame
 * shows whole (a glare moving over a laminated card) is read from the best
 * reading of each codeword over the frames, confirmed by error correction as
 * one picture is. Each symbol is returned once, by the push of the frame it
 * first decodes in; frames are read in the order of the calls.
 */
export class FrameReader {
  constructor(options?: ReadOptions);
  /** Reads the next frame: the symbols first decoded in it. */
  push(frame: FrameInput): Promise<Symbol[]>;
  /** Forgets every symbol: the next frame starts a new scene. */
  reset(): Promise<void>;
  /** Frees the reader's memory; pushing after it rejects. */
  close(): Promise<void>;
}

export interface DetectedBarcode {
  rawValue: string;
  format: "pdf417";
  boundingBox: { x: number; y: number; width: number; height: number };
  cornerPoints: Point[];
}

/** The Shape Detection API's BarcodeDetector, for PDF417. */
export class PDF417Detector {
  constructor(options?: { formats?: string[] });
  static getSupportedFormats(): Promise<string[]>;
  detect(source: ReadInput): Promise<DetectedBarcode[]>;
}
