#!/usr/bin/env bash
# Builds the WebAssembly reader into build-wasm/:
#   build-wasm/npm/                      the npm package pdf417read (ES module, .wasm, types, worker)
#   build-wasm/pdf417read-VERSION.tgz    the package packed by npm
#   build-wasm/site/                     the demo page with the package, as static files
# Installs emscripten and Node.js with apt-get when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
out=${PDF417_WASM_OUT:-$top/build-wasm}

need=(emscripten libstb-dev)
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
bash tools/install-deps.sh "${need[@]}"
# Debian's emcc runs JavaScript tools that need Debian's Node.js modules (acorn).
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# 128-bit SIMD with the SSE2 intrinsics emulated: the reader's SSE2 paths run
# as on x86-64, with the same results.
# PDF417_WASM_SIMD=0 builds without, for comparison.
simd="-msimd128 -msse2"
if [ "${PDF417_WASM_SIMD:-1}" = 0 ]; then simd=""; fi
# libtiff and libwebp are the host's, not WebAssembly's: the package reads
# the formats stb_image reads (-U forgets what an older configure found).
emcmake cmake -S . -B "$out/lib" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="$simd" -DCMAKE_C_FLAGS="$simd" -DPDF417_PROGRAM=OFF -DPDF417_PYTHON=OFF -DPDF417_TESTS=OFF \
  -DPDF417_BENCH=OFF -DPDF417_INSTALL=OFF \
  -DPDF417_TIFF=OFF -DPDF417_WEBP=OFF -U 'PDF417_LIBTIFF*' -U 'PDF417_LIBWEBP*' >/dev/null
cmake --build "$out/lib" -j"$(nproc)" --target pdf417read_library

version=$(sed -n 's/^project(pdf417read VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
npm_dir=$out/npm
rm -rf "$npm_dir"
mkdir -p "$npm_dir"
# The .wasm is loaded by pdf417read.js itself (fetch in browsers, the file in
# Node): the glue only instantiates it.
em++ -O3 $simd -std=c++17 -Wall -Wextra -Iinclude web/binding.cpp "$out/lib/libpdf417read.a" \
  -o "$npm_dir/pdf417read-core.js" \
  -sMODULARIZE=1 -sEXPORT_ES6=1 -sEXPORT_NAME=createCore -sENVIRONMENT=web,worker \
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=16MB -sFILESYSTEM=0 -sMALLOC=dlmalloc \
  -sEXPORTED_FUNCTIONS=_malloc,_free,_pdf417_read_pixels,_pdf417_read_file,_pdf417_parse_document,_pdf417_version,_pdf417_heap_in_use,_pdf417_frames_new,_pdf417_frames_push,_pdf417_frames_reset,_pdf417_frames_free \
  -sEXPORTED_RUNTIME_METHODS=[] -sINCOMING_MODULE_JS_API=instantiateWasm --no-entry
mv "$npm_dir/pdf417read-core.wasm" "$npm_dir/pdf417read.wasm"
sed -i 's/pdf417read-core\.wasm/pdf417read.wasm/g' "$npm_dir/pdf417read-core.js"
cp web/pdf417read.js web/pdf417read.d.ts web/worker.js web/README.md "$npm_dir/"
sed "s/@VERSION@/$version/" web/package.json.in >"$npm_dir/package.json"
(cd "$out" && rm -f pdf417read-*.tgz && npm pack --silent "$npm_dir" >/dev/null)

site=$out/site
rm -rf "$site"
mkdir -p "$site/pdf417read"
cp web/site/* "$site/"
cp "$npm_dir"/pdf417read.js "$npm_dir"/pdf417read-core.js "$npm_dir"/pdf417read.wasm "$npm_dir"/worker.js "$site/pdf417read/"

wasm_bytes=$(stat -c %s "$npm_dir/pdf417read.wasm")
gzip_bytes=$(cat "$npm_dir/pdf417read.wasm" "$npm_dir/pdf417read-core.js" "$npm_dir/pdf417read.js" | gzip -9 | wc -c)
echo "build-wasm: pdf417read $version, .wasm $wasm_bytes bytes; .wasm and JavaScript $gzip_bytes bytes gzipped"
