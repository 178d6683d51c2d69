// The package's FrameReader in Node: a clip of a symbol under a glare that
// sweeps across it, none of whose frames reads alone, reads together, once.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import path from "node:path";
import { test } from "node:test";
import { FrameReader, heapBytesInUse, read } from "pdf417read";
import { pixelsOf } from "./corpus.mjs";

const message = "LICENCE 0123456789 ANYTOWN DRIVER CLASS C; frames read together give every codeword.";

// zint's symbol of 6 data columns at level 2 as grey pixels, with a white
// margin of 12 pixels, and where its bars begin and how wide a module is.
function symbolPixels() {
  const folder = mkdtempSync(path.join(tmpdir(), "pdf417-frames-"));
  try {
    const picture = path.join(folder, "symbol.png");
    execFileSync("zint", ["-b", "PDF417", "--cols=6", "--secure=2", "-d", message, "-o", picture]);
    const { data, width, height } = pixelsOf(picture, "gray");
    const margin = 12, wide = width + 2 * margin, high = height + 2 * margin;
    const padded = new Uint8Array(wide * high).fill(255);
    let left = wide, right = -1;
    for (let y = 0; y < height; ++y)
      for (let x = 0; x < width; ++x) {
        const v = data[y * width + x];
        padded[(y + margin) * wide + x + margin] = v;
        if (v < 128) left = Math.min(left, x + margin), right = Math.max(right, x + margin);
      }
    // Start pattern, two row indicators, six data columns, the stop pattern's 18 modules.
    return { data: padded, width: wide, height: high, left, module: (right + 1 - left) / (17 * 10 + 1) };
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
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
