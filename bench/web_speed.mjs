// Times the npm package pdf417read in Node against zxing-wasm's reader
// restricted to PDF417 (a black-box baseline, installed only here):
// per-picture medians over the corpus as RGBA pixels, and over 1280x720
// frames without a symbol.
//   bash tools/build-wasm.sh
//   cd bench && npm install --no-package-lock &&
//     npm install --no-save --no-package-lock ../build-wasm/pdf417read-*.tgz   (in this order:
//     a plain install drops packages that package.json does not name)
//   node web_speed.mjs [RUNS]          PDF417_CORPUS: the corpus folder
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { performance } from "node:perf_hooks";
import { corpusPictures, pixelsOf } from "../tests/web/corpus.mjs";

if (typeof globalThis.ImageData === "undefined") {
  globalThis.ImageData = class ImageData {
    constructor(data, width, height) {
      Object.assign(this, { data, width, height, colorSpace: "srgb" });
    }
  };
}
const { read } = await import("pdf417read");
const zxing = await import("zxing-wasm/reader");
const require = createRequire(import.meta.url);
zxing.prepareZXingModule({
  overrides: { wasmBinary: readFileSync(require.resolve("zxing-wasm/reader/zxing_reader.wasm")) },
  fireImmediately: true,
});

const runs = Number(process.argv[2] || 7);

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[sorted.length >> 1];
}

function geomean(values) {
  return Math.exp(values.reduce((sum, v) => sum + Math.log(v), 0) / values.length);
}

// The process's CPU time by default: on a shared machine the wall clock
// counts the time other processes take too. PDF417_BENCH_CLOCK=wall for the
// wall clock.
const useWallClock = process.env.PDF417_BENCH_CLOCK === "wall";
function now() {
  if (useWallClock) return performance.now();
  const { user, system } = process.cpuUsage();
  return (user + system) / 1000;
}

async function medianMilliseconds(decode) {
  await decode();  // warm: the module loaded, the heap grown
  const times = [];
  for (let i = 0; i < runs; ++i) {
    const start = now();
    await decode();
    times.push(now() - start);
  }
  return median(times);
}

const ours = (pixels) => () => read(pixels);
const baseline = (pixels) => () => zxing.readBarcodes(pixels, { formats: ["PDF417"] });

// Frames a camera sees with no symbol in them: flat, noise, and a scene of
// shaded boxes and stripes of text-like strokes. Fixed seed.
function noSymbolFrames() {
  const width = 1280;
  const height = 720;
  let seed = 12345;
  const random = () => ((seed = (seed * 1103515245 + 12345) >>> 0) / 2 ** 32);
  const frame = (shade) => {
    const data = new Uint8ClampedArray(width * height * 4);
    for (let y = 0; y < height; ++y) {
      for (let x = 0; x < width; ++x) {
        const v = shade(x, y);
        data.set([v, v, v, 255], (y * width + x) * 4);
      }
    }
    return new ImageData(data, width, height);
  };
  const boxes = Array.from({ length: 40 }, () => [random() * width, random() * height, 40 + random() * 300,
                                                   20 + random() * 200, random() * 255]);
  const strokes = Array.from({ length: 4096 }, () => random() < 0.45);
  return {
    flat: frame(() => 128),
    noise: frame(() => random() * 255),
    scene: frame((x, y) => {
      let v = 90 + (x + y) / 20;
      for (const [bx, by, bw, bh, shade] of boxes) {
        if (x >= bx && x < bx + bw && y >= by && y < by + bh) v = shade;
      }
      const textLine = Math.floor(y / 24) % 3 === 1 && y % 24 < 14 && x > 100 && x < 1100;
      if (textLine && strokes[Math.floor(x / 3) % 4096]) v = 30;
      return v;
    }),
  };
}

const rows = [];
const corpusRatios = [];
const oursTimes = [];
const theirTimes = [];
for (const { file } of corpusPictures()) {
  const rgba = pixelsOf(file, "rgba");
  const pixels = new ImageData(new Uint8ClampedArray(rgba.data.buffer, rgba.data.byteOffset, rgba.data.length),
                               rgba.width, rgba.height);
  const mine = await medianMilliseconds(ours(pixels));
  const theirs = await medianMilliseconds(baseline(pixels));
  const [symbol] = await read(pixels);
  const [their] = await zxing.readBarcodes(pixels, { formats: ["PDF417"] });
  oursTimes.push(mine);
  theirTimes.push(theirs);
  corpusRatios.push(theirs / mine);
  rows.push([file.split("/").slice(-2).join("/"), mine, theirs, symbol ? "yes" : "no", their?.isValid ? "yes" : "no"]);
}

console.log(`| picture | pdf417read ms | zxing-wasm ms | read | zxing read |`);
console.log(`| --- | ---: | ---: | --- | --- |`);
for (const [name, mine, theirs, read1, read2] of rows) {
  console.log(`| ${name} | ${mine.toFixed(2)} | ${theirs.toFixed(2)} | ${read1} | ${read2} |`);
}
console.log(`\ncorpus (${rows.length} pictures, RGBA, median of ${runs}, ${useWallClock ? "wall" : "CPU"} time): ` +
            `geometric mean ` +
            `pdf417read ${geomean(oursTimes).toFixed(2)} ms, zxing-wasm ${geomean(theirTimes).toFixed(2)} ms, ` +
            `pdf417read ${geomean(corpusRatios).toFixed(2)}x faster`);
console.log(`reads: pdf417read ${rows.filter((r) => r[3] === "yes").length}/${rows.length}, ` +
            `zxing-wasm ${rows.filter((r) => r[4] === "yes").length}/${rows.length}`);
console.log(`\n| 1280x720 frame, no symbol | pdf417read ms | zxing-wasm ms |`);
console.log(`| --- | ---: | ---: |`);
for (const [name, frame] of Object.entries(noSymbolFrames())) {
  const mine = await medianMilliseconds(ours(frame));
  const theirs = await medianMilliseconds(baseline(frame));
  console.log(`| ${name} | ${mine.toFixed(2)} | ${theirs.toFixed(2)} |`);
}
