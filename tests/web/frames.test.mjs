// The package's FrameReader in Node: a clip of a symbol under a glare that
// sweeps across it, none of whose frames reads alone, reads together, once.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { test } from "node:test";
import { FrameReader, heapBytesInUse, read } from "pdf417read";

const message = "LICENCE 0123456789 ANYTOWN DRIVER CLASS C; frames read together give every codeword.";

// zint's symbol of 6 data columns at level 2 drawn from its module dump as
// gray pixels: modules 2 pixels wide, rows 6 high, a white margin of 12
// pixels; and where its bars begin and how wide a module is.
function symbolPixels() {
  const dump = execFileSync("zint", ["-b", "PDF417", "--cols=6", "--secure=2", "--dump", "-d", message])
    .toString().split("\n").map((row) => row.replace(/ /g, "")).filter((row) => row.length > 0);
  const bits = dump.map((row) => [...row].map((digit) => parseInt(digit, 16).toString(2).padStart(4, "0")).join(""));
  // Each row ends with the stop pattern's last bar: the rest is padding.
  const modules = Math.max(...bits.map((row) => row.lastIndexOf("1") + 1));
  const module = 2, rowHeight = 6, margin = 12;
  const width = modules * module + 2 * margin, height = bits.length * rowHeight + 2 * margin;
  const data = new Uint8Array(width * height).fill(255);
  for (let y = 0; y < bits.length * rowHeight; ++y)
    for (let x = 0; x < modules * module; ++x)
      if (bits[Math.floor(y / rowHeight)][Math.floor(x / module)] === "1") data[(y + margin) * width + x + margin] = 0;
  return { data, width, height, left: margin, module };
}

// The symbol with a white band 28 modules wide and a halo as wide again
// over data column `column`'s middle.
function glareFrame(symbol, column) {
  const { width, height, left, module } = symbol;
  const middle = left + module * (34 + 17 * column + 8.5), half = 14 * module;
  const data = Uint8Array.from(symbol.data);
  for (let x = 0; x < width; ++x) {
    const glare = Math.min(1, Math.max(0, 2 - Math.abs(x + 0.5 - middle) / half));
    for (let y = 0; y < height; ++y) data[y * width + x] += Math.round((255 - data[y * width + x]) * glare);
  }
  return { data, width, height, format: "gray" };
}

test("frames that fail alone read together, once; reset starts a new scene", async () => {
  const symbol = symbolPixels();
  const clip = [0, 1, 2, 3, 4, 5].map((column) => glareFrame(symbol, column));
  for (const frame of clip) assert.deepEqual(await read(frame), []);
  const reader = new FrameReader();
  const returned = [];
  for (const frame of clip) returned.push(...await reader.push(frame));
  assert.equal(returned.length, 1);
  assert.equal(Buffer.from(returned[0].bytes).toString("latin1"), message);
  assert.ok(returned[0].verified);
  const clear = { data: symbol.data, width: symbol.width, height: symbol.height, format: "gray" };
  assert.deepEqual(await reader.push(clear), []);
  await reader.reset();
  assert.equal((await reader.push(clear)).length, 1);
  await reader.close();
  await assert.rejects(reader.push(clear), /closed/);
  await assert.rejects(new FrameReader().push(new Uint8Array(8)), /frame must be pixels/);
});

test("frame readers give back the memory they take", async () => {
  const symbol = symbolPixels();
  const frames = [glareFrame(symbol, 0), glareFrame(symbol, 5)];
  const once = async () => {
    const reader = new FrameReader({ effort: "fast" });
    for (const frame of frames) await reader.push(frame);
    await reader.close();
  };
  await once();
  const before = await heapBytesInUse();
  for (let i = 0; i < 20; ++i) await once();
  assert.equal(await heapBytesInUse(), before);
});
