// The demo page: reads a chosen, dropped or pasted picture, or the camera's
// frames, in a Web Worker; outlines each symbol and lists each new text.
//   ?src=URL        reads that picture at load
//   ?source=camera  starts the camera at load
const $ = (id) => document.getElementById(id);
const video = $("video");
const still = $("still");
const overlay = $("overlay");
const statusLine = $("status");
const results = $("results");
const cameraButton = $("camera");

// Figures the page's tests read: camera frames read and the time each took.
const stats = { frames: 0, frameMilliseconds: [] };
window.pdf417readStats = stats;

const worker = new Worker(new URL("./pdf417read/worker.js", import.meta.url), { type: "module" });
const pending = new Map();
let nextId = 1;

worker.addEventListener("message", ({ data }) => {
  const waiting = pending.get(data.id);
  if (!waiting) return;
  pending.delete(data.id);
  if (data.error !== undefined) waiting.reject(new Error(data.error));
  else waiting.resolve(data);
});
worker.addEventListener("error", (event) => {
  const error = new Error(`the reader did not start: ${event.message || "worker error"}`);
  for (const waiting of pending.values()) waiting.reject(error);
  pending.clear();
});

// Resolves to {symbols, milliseconds}; transferred objects move to the worker.
function decode(input, transfer = []) {
  return new Promise((resolve, reject) => {
    const id = nextId++;
    pending.set(id, { resolve, reject });
    worker.postMessage({ id, input }, transfer);
  });
}

const seenTexts = new Set();

function clearResults() {
  seenTexts.clear();
  results.replaceChildren();
}

function describe(symbol) {
  const parts = [`${symbol.rows} rows x ${symbol.columns} columns`, `error correction level ${symbol.ecLevel}`];
  if (!symbol.verified) parts.push("not confirmed by error correction");
  if (symbol.macro) parts.push(`segment ${symbol.macro.segmentIndex} of file ${symbol.macro.fileId}`);
  return parts.join(", ");
}

const DOCUMENT_KINDS = { aamva: "Driving licence or ID card", bcbp: "Boarding pass", iso15434: "Shipping label" };

// What a document says, one "key: value" a line; a boarding pass's legs and
// an envelope's formats by their own items, numbered.
function summaryLines(summary, prefix = "") {
  const lines = [];
  for (const [key, value] of Object.entries(summary)) {
    if (value === null) continue;
    if (Array.isArray(value)) value.forEach((item, i) => lines.push(...summaryLines(item, `${prefix}${key} ${i + 1}, `)));
    else lines.push(`${prefix}${key.replaceAll("_", " ")}: ${value}`);
  }
  return lines;
}

function documentPanel(symbolDocument) {
  const panel = document.createElement("small");
  panel.className = "document";
  const lines = [`${DOCUMENT_KINDS[symbolDocument.type] || symbolDocument.type}`, ...summaryLines(symbolDocument.summary)];
  panel.textContent = lines.join("\n");
  return panel;
}

// The item's first child is the text alone, the document's fields follow.
function listNewTexts(symbols) {
  for (const symbol of symbols) {
    if (seenTexts.has(symbol.text)) continue;
    seenTexts.add(symbol.text);
    const item = document.createElement("li");
    item.className = "result";
    item.append(document.createTextNode(symbol.text));
    if (symbol.document) item.append(documentPanel(symbol.document));
    item.title = describe(symbol);
    results.append(item);
  }
}

function drawOutlines(symbols, width, height) {
  overlay.width = width;
  overlay.height = height;
  const context = overlay.getContext("2d");
  context.clearRect(0, 0, width, height);
  const line = Math.max(2, Math.round(Math.max(width, height) / 300));
  context.lineWidth = line;
  context.lineJoin = "round";
  context.font = `bold ${line * 8}px system-ui, sans-serif`;
  symbols.forEach((symbol, index) => {
    const color = symbol.verified ? "#22c55e" : "#f59e0b";
    context.strokeStyle = color;
    context.fillStyle = color;
    context.beginPath();
    symbol.corners.forEach((p, i) => (i ? context.lineTo(p.x, p.y) : context.moveTo(p.x, p.y)));
    context.closePath();
    context.stroke();
    context.fillText(String(index + 1), symbol.corners[0].x + line, symbol.corners[0].y - line * 2);
  });
}

function showStage(showVideo) {
  $("stage").hidden = false;
  video.hidden = !showVideo;
  still.hidden = showVideo;
}

async function readPicture(blob) {
  stopCamera();
  clearResults();
  statusLine.textContent = "Reading...";
  try {
    const bytes = new Uint8Array(await blob.arrayBuffer());
    try {
      const bitmap = await createImageBitmap(blob);
      still.width = bitmap.width;
      still.height = bitmap.height;
      still.getContext("2d").drawImage(bitmap, 0, 0);
      bitmap.close();
      showStage(false);
    } catch {
      $("stage").hidden = true;  // the browser cannot show it; the reader may still read it
    }
    const { symbols, milliseconds } = await decode(bytes, [bytes.buffer]);
    drawOutlines(symbols, still.width, still.height);
    listNewTexts(symbols);
    statusLine.textContent = symbols.length
      ? `${symbols.length} symbol${symbols.length > 1 ? "s" : ""} read in ${milliseconds.toFixed(1)} ms`
      : `No PDF417 symbol read (${milliseconds.toFixed(1)} ms)`;
  } catch (error) {
    statusLine.textContent = `Cannot read this picture: ${error.message}`;
  }
}

let stream = null;

function nextAnimationFrame() {
  return new Promise((resolve) => requestAnimationFrame(resolve));
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted.length ? sorted[sorted.length >> 1] : 0;
}

async function scanFrames(ownStream) {
  while (stream === ownStream) {
    if (video.readyState < 2 || !video.videoWidth) {
      await nextAnimationFrame();
      continue;
    }
    const bitmap = await createImageBitmap(video);
    const { width, height } = bitmap;
    const { symbols, milliseconds } = await decode(bitmap, [bitmap]);
    if (stream !== ownStream) break;
    stats.frames += 1;
    stats.frameMilliseconds.push(milliseconds);
    if (stats.frameMilliseconds.length > 500) stats.frameMilliseconds.shift();
    drawOutlines(symbols, width, height);
    listNewTexts(symbols);
    statusLine.textContent = `Camera: ${width}x${height}, ${median(stats.frameMilliseconds).toFixed(1)} ms a frame`;
    await nextAnimationFrame();
  }
}

async function startCamera() {
  if (stream) return;
  if (!navigator.mediaDevices || !navigator.mediaDevices.getUserMedia) {
    statusLine.textContent = "This browser gives no camera to this page (it needs https or localhost).";
    return;
  }
  statusLine.textContent = "Starting the camera...";
  try {
    const ownStream = await navigator.mediaDevices.getUserMedia({
      audio: false,
      video: { facingMode: { ideal: "environment" }, width: { ideal: 1280 }, height: { ideal: 720 } },
    });
    stream = ownStream;
    video.srcObject = ownStream;
    await video.play();
    showStage(true);
    cameraButton.textContent = "Stop camera";
    scanFrames(ownStream).catch((error) => {
      statusLine.textContent = `Camera reading stopped: ${error.message}`;
      stopCamera();
    });
  } catch (error) {
    statusLine.textContent = `No camera: ${error.message}`;
  }
}

function stopCamera() {
  if (!stream) return;
  for (const track of stream.getTracks()) track.stop();
  stream = null;
  video.srcObject = null;
  cameraButton.textContent = "Start camera";
}

cameraButton.addEventListener("click", () => (stream ? stopCamera() : startCamera()));
$("file").addEventListener("change", (event) => {
  const file = event.target.files[0];
  if (file) readPicture(file);
});
document.addEventListener("dragover", (event) => {
  event.preventDefault();
  document.body.classList.add("dragging");
});
document.addEventListener("dragleave", () => document.body.classList.remove("dragging"));
document.addEventListener("drop", (event) => {
  event.preventDefault();
  document.body.classList.remove("dragging");
  const file = event.dataTransfer.files[0];
  if (file) readPicture(file);
});
document.addEventListener("paste", (event) => {
  const file = [...event.clipboardData.files].find((f) => f.type.startsWith("image/"));
  if (file) readPicture(file);
});

const query = new URLSearchParams(location.search);
if (query.get("src")) {
  fetch(query.get("src"))
    .then((response) => {
      if (!response.ok) throw new Error(`${response.status} ${response.statusText}`);
      return response.blob();
    })
    .then(readPicture, (error) => { statusLine.textContent = `Cannot load ${query.get("src")}: ${error.message}`; });
} else if (query.get("source") === "camera") {
  startCamera();
}
