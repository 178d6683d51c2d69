// The demo page in headless Chromium, served from 127.0.0.1 as static files:
// a picture given by ?src= and a fake camera showing a corpus picture must
// both list the picture's text. Screenshots go to PDF417_ARTIFACTS.
import assert from "node:assert/strict";
import { execFileSync, spawn } from "node:child_process";
import { cpSync, mkdirSync, mkdtempSync, rmSync, writeFileSync } from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, before, test } from "node:test";
import puppeteer from "puppeteer-core";
import { corpusPictures, sampleLicence, symbolPicture, top } from "./corpus.mjs";

const siteDir = process.env.PDF417_SITE || path.join(top, "build-wasm/site");
const artifacts = process.env.PDF417_ARTIFACTS || path.join(top, "build-wasm/artifacts");
const chromium = process.env.PDF417_CHROMIUM || "/usr/bin/chromium";
const scratch = mkdtempSync(path.join(os.tmpdir(), "pdf417read-page-"));
// A photo of one symbol of text, large enough to stay legible in a 1280x720 camera frame.
const picture = corpusPictures().find((p) => p.file.endsWith(path.join("pdf417-2", "01.png"))) || corpusPictures()[0];
const expectedText = picture.expected.toString("utf8");
let server;
let origin;

function startServer(root) {
  return new Promise((resolve, reject) => {
    const child = spawn("python3", ["-u", "-m", "http.server", "--bind", "127.0.0.1", "0"], {
      cwd: root, stdio: ["ignore", "pipe", "ignore"],
    });
    child.on("error", reject);
    child.stdout.on("data", (chunk) => {
      const port = /port (\d+)/.exec(chunk.toString());
      if (port) resolve({ child, origin: `http://127.0.0.1:${port[1]}` });
    });
  });
}

async function launch(extraArgs) {
  return puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: mkdtempSync(path.join(scratch, "profile-")),
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync", ...extraArgs],
  });
}

async function resultTexts(page) {
  await page.waitForSelector("#results li.result", { timeout: 60000 });
  // The text alone: a document's fields follow it in the item.
  return page.$$eval("#results li.result", (items) => items.map((item) => item.firstChild.textContent));
}

before(async () => {
  mkdirSync(artifacts, { recursive: true });
  cpSync(siteDir, path.join(scratch, "site"), { recursive: true });
  cpSync(picture.file, path.join(scratch, "site", "picture.png"));
  ({ child: server, origin } = await startServer(path.join(scratch, "site")));
});

after(() => {
  server?.kill();
  rmSync(scratch, { recursive: true, force: true });
});

test("?src= reads that picture at load and lists its text", async () => {
  const browser = await launch([]);
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1000, height: 900 });
    await page.goto(`${origin}/?src=picture.png`);
    assert.deepEqual(await resultTexts(page), [expectedText]);
    await page.screenshot({ path: path.join(artifacts, "page-src.png"), fullPage: true });
  } finally {
    await browser.close();
  }
});

test("?src= on a licence lists its document's fields under its text", async () => {
  symbolPicture(sampleLicence, path.join(scratch, "site", "licence.png"));
  const browser = await launch([]);
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1000, height: 900 });
    await page.goto(`${origin}/?src=licence.png`);
    assert.deepEqual(await resultTexts(page), [sampleLicence]);
    const fields = await page.$eval("#results li.result .document", (panel) => panel.textContent);
    assert.match(fields, /family name: SAMPLE/);
    await page.screenshot({ path: path.join(artifacts, "page-document.png"), fullPage: true });
  } finally {
    await browser.close();
  }
});

test("in a page, read() and PDF417Detector take an image, a canvas and an ImageBitmap", async () => {
  const browser = await launch([]);
  try {
    const page = await browser.newPage();
    await page.goto(`${origin}/index.html`);
    const texts = await page.evaluate(async () => {
      const { read, PDF417Detector } = await import(new URL("./pdf417read/pdf417read.js", location.href).href);
      const image = new Image();
      image.src = "picture.png";
      await image.decode();
      const canvas = Object.assign(document.createElement("canvas"), { width: image.width, height: image.height });
      canvas.getContext("2d").drawImage(image, 0, 0);
      const bitmap = await createImageBitmap(canvas);
      const read1 = async (source) => (await read(source)).map((symbol) => symbol.text);
      const detected = await new PDF417Detector().detect(image);
      return [await read1(image), await read1(canvas), await read1(bitmap), detected.map((b) => b.rawValue)];
    });
    assert.deepEqual(texts, [[expectedText], [expectedText], [expectedText], [expectedText]]);
  } finally {
    await browser.close();
  }
});

test("?source=camera reads a symbol from the camera", async () => {
  const clip = path.join(scratch, "camera.y4m");
  execFileSync("ffmpeg", ["-v", "error", "-loop", "1", "-i", picture.file, "-t", "3", "-r", "10", "-vf",
    "scale=1280:720:force_original_aspect_ratio=decrease,pad=1280:720:(ow-iw)/2:(oh-ih)/2:color=white,format=yuv420p",
    clip]);
  const browser = await launch(["--use-fake-device-for-media-stream", "--use-fake-ui-for-media-stream",
                                `--use-file-for-fake-video-capture=${clip}`]);
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1000, height: 900 });
    await page.goto(`${origin}/?source=camera`);
    assert.deepEqual(await resultTexts(page), [expectedText]);
    await page.waitForFunction(() => window.pdf417readStats.frames >= 20, { timeout: 60000 });
    const milliseconds = await page.evaluate(() => {
      const sorted = [...window.pdf417readStats.frameMilliseconds].sort((a, b) => a - b);
      return sorted[sorted.length >> 1];
    });
    writeFileSync(path.join(artifacts, "camera-frame-ms.txt"), `${milliseconds.toFixed(2)}\n`);
    console.log(`# camera frames: median ${milliseconds.toFixed(2)} ms a frame in the page's worker`);
    await page.screenshot({ path: path.join(artifacts, "page-camera.png"), fullPage: true });
  } finally {
    await browser.close();
  }
});
