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
  /** The fields of an identity document; null until documents are parsed. */
  document: null;
  /** What the reader could not interpret. */
  warnings: string[];
}

/** Reads every PDF417 symbol in a picture, in reading order; rejects with an Error when the picture cannot be read. */
export function read(input: ReadInput, options?: ReadOptions): Promise<Symbol[]>;

/** The library's version, "MAJOR.MINOR.PATCH". */
export function version(): Promise<string>;

/** Bytes of the module's heap in use: stays level across calls. */
export function heapBytesInUse(): Promise<number>;

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
