// The npm package as its users get it (installed from the packed tarball),
// in Node: it must read the corpus exactly as the native program does.
import assert from "node:assert/strict";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import path from "node:path";
import { test } from "node:test";
import { PDF417Detector, heapBytesInUse, parseDocument, read } from "pdf417read";
import { comparable, corpusPictures, nativeReadings, pixelsOf, sampleLicence, symbolPicture } from "./corpus.mjs";

const pictures = corpusPictures();
const native = nativeReadings(pictures.map((p) => p.file));
const first = pictures[0];

test("the corpus is there and the program reads all of it", () => {
  assert.ok(pictures.length >= 50, `only ${pictures.length} corpus pictures`);
  for (const { file, expected } of pictures) {
    const symbols = native.get(file);
    assert.ok(symbols.length > 0, `${file}: the program read nothing`);
    assert.deepEqual(Buffer.from(symbols[0].bytes, "base64"), expected, file);
  }
});

// Every field as the program has it, corners included to the last bit.
function assertSameAsProgram(symbols, file) {
  assert.deepEqual(symbols.map(comparable), native.get(file), file);
}

test("reads every corpus picture from its file bytes as the program does", async () => {
  for (const { file } of pictures) assertSameAsProgram(await read(readFileSync(file)), file);
});

test("reads every corpus picture from RGBA pixels as the program reads the file", async () => {
  for (const { file } of pictures) assertSameAsProgram(await read(pixelsOf(file, "rgba")), file);
});

test("takes gray pixels, an ArrayBuffer and a Blob", async () => {
  const bytes = readFileSync(first.file);
  const arrayBuffer = bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
  const inputs = [pixelsOf(first.file, "gray"), arrayBuffer, new Blob([bytes])];
  for (const input of inputs) {
    const [symbol] = await read(input);
    assert.deepEqual(Buffer.from(symbol.bytes), first.expected);
  }
});

test("a blank frame has no symbol, and options bound the search", async () => {
  const blank = { data: new Uint8ClampedArray(1280 * 720 * 4).fill(255), width: 1280, height: 720 };
  assert.deepEqual(await read(blank), []);
  const fast = await read(readFileSync(first.file), { effort: "fast", maxSymbols: 1 });
  assert.ok(fast.length <= 1);
});

test("what cannot be read rejects with an Error that says why, never throwing at once", async () => {
  const cases = [
    [new Uint8Array([1, 2, 3, 4, 5, 6, 7, 8]), /./],
    [new Uint8Array(0), /empty/],
    [{ data: new Uint8Array(10), width: 100, height: 100 }, /needs 40000/],
    [{ data: new Uint8Array(4), width: 1, height: 1, format: "cmyk" }, /pixel format/],
    [null, /cannot read this input/],
    ["label.png", /cannot read this input/],
  ];
  for (const [input, message] of cases) {
    const pending = read(input);
    assert.ok(pending instanceof Promise);
    await assert.rejects(pending, (error) => error instanceof Error && message.test(error.message));
  }
  await assert.rejects(read(readFileSync(first.file), { effort: "hardest" }), /unknown effort/);
});

test("a licence's and a boarding pass's documents come out as the program's --json has them", async (t) => {
  const scratch = mkdtempSync(path.join(tmpdir(), "pdf417read-document-"));
  t.after(() => rmSync(scratch, { recursive: true, force: true }));
  const messages = { licence: sampleLicence, pass: "M1DESMARAIS/LUC       EABC123 YULFRAAC 0834 326J001A0025 100" };
  const pictures = Object.entries(messages).map(([name, message]) =>
    symbolPicture(message, path.join(scratch, `${name}.png`)));
  const programs = nativeReadings(pictures);
  for (const picture of pictures) {
    const [symbol] = await read(readFileSync(picture));
    const [expected] = programs.get(picture);
    assert.ok(expected.document, `${picture}: the program found no document`);
    assert.deepEqual(symbol.document, expected.document, picture);
    assert.deepEqual(await parseDocument(symbol.bytes), symbol.document, picture);
  }
  const [licence] = await read(readFileSync(pictures[0]));
  assert.equal(licence.document.type, "aamva");
  assert.equal(licence.document.summary.family_name, "SAMPLE");
  assert.deepEqual(licence.document.fields[0], { id: "DAQ", name: licence.document.fields[0].name,
                                                 value: "T64235789", subfile: "DL" });
  assert.equal(await parseDocument("not a document"), null);
  await assert.rejects(parseDocument(42), /bytes or a string/);
});

test("PDF417Detector has BarcodeDetector's shape", async () => {
  assert.deepEqual(await PDF417Detector.getSupportedFormats(), ["pdf417"]);
  const [barcode] = await new PDF417Detector({ formats: ["pdf417"] }).detect(new Blob([readFileSync(first.file)]));
  const [symbol] = await read(readFileSync(first.file));
  assert.equal(barcode.rawValue, symbol.text);
  assert.equal(barcode.format, "pdf417");
  assert.deepEqual(barcode.cornerPoints, symbol.corners);
  const { x, y, width, height } = barcode.boundingBox;
  for (const p of barcode.cornerPoints) {
    assert.ok(p.x >= x && p.x <= x + width && p.y >= y && p.y <= y + height);
  }
  assert.deepEqual(await new PDF417Detector({ formats: ["qr_code"] }).detect(readFileSync(first.file)), []);
});

test("calls give back all the memory they take", async () => {
  const calls = Number(process.env.PDF417_HEAP_CALLS || 3000);
  const file = readFileSync(first.file);
  const pixels = pixelsOf(first.file, "rgba");
  const garbage = new Uint8Array(100).fill(7);
  const once = async (i) => {
    if (i % 4 === 0) await read(file);
    else if (i % 4 === 1) await read(pixels);
    else if (i % 4 === 2) await read(garbage).catch(() => {});
    else await parseDocument(sampleLicence);
  };
  for (let i = 0; i < 4; ++i) await once(i);  // the first calls may size the heap's own tables
  const before = await heapBytesInUse();
  for (let i = 0; i < calls; ++i) await once(i);
  assert.equal(await heapBytesInUse(), before);
});
