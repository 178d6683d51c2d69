#!/usr/bin/env bash
# Builds the decoder and runs every test: once in a normal build; once in a
# scalar build (no SSE2), whose output on every picture must be the same;
# once built by clang at -O0; once under AddressSanitizer,
# UndefinedBehaviorSanitizer and LeakSanitizer; the Python module's tests on
# both builds; the threaded tests once more under ThreadSanitizer; then
# installs the library and builds an example program against the
# installation, installs the Python wheel into a virtual environment, and
# cross-checks an aarch64 build under qemu.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh pybind11-dev python3-dev python3-numpy python3-pytest python3-pil \
  python3-dask python3-distributed clang python3-setuptools python3-wheel python3-venv
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# The scalar code that processors without SSE2 run, with the same results
# as the vector code on every picture.
cmake -S . -B build-scalar -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPDF417_SIMD=OFF -DPDF417_BENCH=OFF \
  -DPDF417_PYTHON=OFF >/dev/null
cmake --build build-scalar -j"$jobs"
ctest --test-dir build-scalar --output-on-failure -j"$jobs"
bash tools/compare-outputs.sh build/pdf417read build-scalar/pdf417read "the scalar build"

# clang: no warnings, and the tests pass unoptimised.
cmake -S . -B build-clang -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS=-Werror -DPDF417_BENCH=OFF -DPDF417_PYTHON=OFF >/dev/null
cmake --build build-clang -j"$jobs"
ctest --test-dir build-clang --output-on-failure -j"$jobs"

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
bash tools/check-wheel.sh

# Another processor, big-endian s390x too when CI has the time.
NATIVE_PROGRAM=build/pdf417read bash tools/cross-check.sh aarch64

# The WebAssembly build: the npm package in Node and the demo page in headless Chromium.
bash tools/run-web-tests.sh
