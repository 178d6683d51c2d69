#!/usr/bin/env bash
# Tests the WebAssembly build: builds it (tools/build-wasm.sh), installs the
# packed npm package into a scratch folder and runs, with node --test, the
# package's tests in Node (the corpus read as the native program reads it)
# and the demo page's in headless Chromium. Needs the native program
# (build/pdf417read, built when missing). Screenshots and the camera's
# time per frame go to build-wasm/artifacts/.
#   PDF417_CORPUS   the corpus folder (default: ../shared/corpus beside the repository)
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

bash tools/install-deps.sh chromium ffmpeg
bash tools/build-wasm.sh
if [ ! -x build/pdf417read ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"$(nproc)" --target pdf417read
fi

scratch=$top/build-wasm/test
rm -rf "$scratch"
mkdir -p "$scratch"
cp tests/web/package.json tests/web/*.mjs "$scratch/"
version=$(sed -n 's/^project(pdf417read VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
(cd "$scratch" && npm install --no-audit --no-fund --loglevel=error "$top/build-wasm/pdf417read-$version.tgz")

export PDF417_TOP=$top
export PDF417_CORPUS=${PDF417_CORPUS:-$(cd "$top/.." && pwd)/shared/corpus}
cd "$scratch"
# One file after the other: the page's camera timing should not share the machine.
node --test read.test.mjs
node --test frames.test.mjs
node --test page.test.mjs
