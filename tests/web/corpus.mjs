// The corpus pictures and what the native program reads in them, for the
// package's tests. PDF417_TOP is the repository's top folder;
// PDF417_CORPUS (default ../shared/corpus beside it) and PDF417_PROGRAM
// (default build/pdf417read) may point elsewhere.
import { execFileSync } from "node:child_process";
import { existsSync, readdirSync, readFileSync, writeFileSync } from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";

export const top = process.env.PDF417_TOP || path.resolve(fileURLToPath(new URL(".", import.meta.url)), "../..");
export const corpusDir = process.env.PDF417_CORPUS || path.resolve(top, "../shared/corpus");
export const programPath = process.env.PDF417_PROGRAM ||
  ["build/pdf417read", "build/app/pdf417read"].map((p) => path.join(top, p)).find(existsSync) ||
  path.join(top, "build/pdf417read");

// Every picture with its expected content (NAME.txt or NAME.bin beside it), sorted.
export function corpusPictures() {
  const pictures = [];
  const walk = (dir) => {
    for (const entry of readdirSync(dir, { withFileTypes: true })) {
      const full = path.join(dir, entry.name);
      if (entry.isDirectory()) walk(full);
      else if (/\.(png|jpe?g|gif|bmp)$/i.test(entry.name)) {
        const stem = full.replace(/\.[^.]+$/, "");
        const expected = [".txt", ".bin"].map((e) => stem + e).find(existsSync);
        if (expected) pictures.push({ file: full, expected: readFileSync(expected) });
      }
    }
  };
  walk(corpusDir);
  return pictures.sort((a, b) => (a.file < b.file ? -1 : 1));
}

// The program's --json reading of each picture, in the package's field names.
export function nativeReadings(files) {
  const output = execFileSync(programPath, ["--json", "-j", "2", ...files], { maxBuffer: 64 << 20 });
  const readings = new Map();
  for (const line of output.toString("utf8").split("\n").filter(Boolean)) {
    const picture = JSON.parse(line);
    readings.set(picture.file, picture.symbols.map(packageSymbol));
  }
  return readings;
}

function packageMacro(macro) {
  if (macro === null) return null;
  const names = {
    segment_index: "segmentIndex", file_id: "fileId", last_segment: "lastSegment", segment_count: "segmentCount",
    file_name: "fileName", timestamp: "timestamp", sender: "sender", addressee: "addressee", file_size: "fileSize",
    checksum: "checksum",
  };
  return Object.fromEntries(Object.entries(macro).map(([name, value]) => [names[name], value]));
}

function packageSymbol(symbol) {
  return {
    text: symbol.text,
    bytes: symbol.bytes,
    verified: symbol.verified,
    ecLevel: symbol.ec_level,
    rows: symbol.rows,
    columns: symbol.columns,
    corners: symbol.corners.map(([x, y]) => ({ x, y })),
    eci: symbol.eci,
    compact: symbol.compact,
    mirrored: symbol.mirrored,
    inverted: symbol.inverted,
    readerInit: symbol.reader_init,
    macro: packageMacro(symbol.macro),
    // The document keeps the program's keys in the package.
    document: symbol.document,
    warnings: symbol.warnings,
    page: symbol.page ?? 0,
  };
}

// A package symbol with its bytes in base64, as the program writes them.
export function comparable(symbol) {
  return { ...symbol, bytes: Buffer.from(symbol.bytes).toString("base64") };
}

// A picture's pixels, decoded by ffmpeg: {data, width, height} in RGBA or gray.
export function pixelsOf(file, format = "rgba") {
  const probe = execFileSync("ffprobe", ["-v", "error", "-select_streams", "v:0", "-show_entries",
    "stream=width,height", "-of", "csv=p=0", file]).toString().trim().split(",");
  const [width, height] = probe.map(Number);
  const data = execFileSync("ffmpeg", ["-v", "error", "-i", file, "-frames:v", "1", "-f", "rawvideo",
    "-pix_fmt", format === "gray" ? "gray" : "rgba", "-"], { maxBuffer: 256 << 20 });
  return { data: new Uint8Array(data.buffer, data.byteOffset, data.byteLength), width, height, format };
}

// An AAMVA DL/ID record of version 8: header, one subfile designator, the DL subfile.
export function aamvaRecord(elements) {
  const subfile = "DL" + elements.join("\n") + "\r";
  const header = "@\n\x1e\rANSI 636000080101";
  const offset = String(header.length + 10).padStart(4, "0");
  return header + "DL" + offset + String(subfile.length).padStart(4, "0") + subfile;
}

export const sampleLicence = aamvaRecord(["DAQT64235789", "DCSSAMPLE", "DACMICHAEL", "DBB06061986",
                                          "DBA12102024", "DAJVA", "DCGUSA"]);

// A PDF417 symbol of `message` (its characters as bytes 0-255) drawn by zint into the PNG file `picture`.
export function symbolPicture(message, picture) {
  const input = picture.replace(/\.png$/, ".bin");
  writeFileSync(input, message, "latin1");
  execFileSync("zint", ["-b", "PDF417", "--binary", "-i", input, "-o", picture, "--scale", "2"]);
  return picture;
}
