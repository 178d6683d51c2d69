// A module Web Worker that reads pictures off the page's thread:
//   const worker = new Worker(new URL("pdf417read/worker.js", import.meta.url), {type: "module"});
//   worker.postMessage({id, input, options});   // input as read() takes it (transfer ImageBitmaps)
//   worker.onmessage = ({data}) => data.symbols ?? data.error;   // {id, symbols} or {id, error}
import { read, version } from "./pdf417read.js";

// Load the module now, so that the first picture does not wait for it; its
// time is not counted in a picture's milliseconds.
const loaded = version().catch(() => {});

self.addEventListener("message", async (event) => {
  const { id, input, options } = event.data || {};
  await loaded;
  const started = performance.now();
  try {
    const symbols = await read(input, options);
    self.postMessage({ id, symbols, milliseconds: performance.now() - started });
  } catch (error) {
    self.postMessage({ id, error: String(error && error.message ? error.message : error) });
  } finally {
    if (typeof input === "object" && input !== null && typeof input.close === "function") input.close();
  }
});
