#!/usr/bin/env bash
# Builds the decoder and runs every test: once in a normal build; once under
# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer; the
# Python module's tests on both builds; the threaded tests once more under
# ThreadSanitizer; then installs the library and builds an example program
# against the installation.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh pybind11-dev python3-dev python3-numpy python3-pytest python3-pil \
  python3-dask python3-distributed
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPDF417_SANITIZE=ON -DPDF417_BENCH=OFF >/dev/null
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

bash tools/run-python-tests.sh

# Only the library, the program and the tests that read on several threads.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPDF417_TSAN=ON >/dev/null
cmake --build build-tsan -j"$jobs"
# ThreadSanitizer cannot place its shadow memory under the widest address
# randomisation some kernels use: turn randomisation off where allowed.
norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then norandom=(setarch "$(uname -m)" -R); fi
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  "${norandom[@]}" ctest --test-dir build-tsan --output-on-failure -j"$jobs"

bash tools/check-install.sh

# The WebAssembly build: the npm package in Node and the demo page in headless Chromium.
bash tools/run-web-tests.sh
