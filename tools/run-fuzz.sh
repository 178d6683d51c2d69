#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan on) and
# runs each for SECONDS (default 600), FUZZ_JOBS at a time (default 2),
# seeded with real symbols. read_memory_fuzz reads PNG files through libspng
# as the program does (its own build); the others take them to stb_image.
# usage: tools/run-fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
parallel=${FUZZ_JOBS:-2}
bash tools/install-deps.sh clang libclang-rt-14-dev imagemagick
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target make_fuzz_seeds
fuzz_build() {
  CC=clang CXX=clang++ cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPDF417_FUZZ=ON -DPDF417_TESTS=OFF -DPDF417_BENCH=OFF "${@:2}" >/dev/null
}
fuzz_build build-fuzz
fuzz_build build-fuzz-spng -DPDF417_FUZZ_SPNG=ON

work=build-fuzz/runs
mkdir -p "$work"
./build/tests/make_fuzz_seeds "$work/seeds"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(picture_fuzz decode_image_fuzz row_reader_fuzz reed_solomon_fuzz data_decoder_fuzz
                                   eci_text_fuzz macro_block_fuzz json_output_fuzz segment_join_fuzz read_memory_fuzz
                                   read_view_fuzz frames_fuzz aamva_fuzz bcbp_fuzz iso15434_fuzz)
binary() {
  if [ "$1" = read_memory_fuzz ]; then echo build-fuzz-spng/fuzz/$1; else echo build-fuzz/fuzz/$1; fi
}
for target in "${targets[@]}"; do
  build=$(dirname "$(dirname "$(binary "$target")")")
  cmake --build "$build" -j"$(nproc)" --target "$target"
done
run_one() {
  local target=$1
  mkdir -p "$work/corpus-$target" "$work/findings-$target"
  # The data decoder prints trace lines of byte segments: keep them out of the log.
  "$(binary "$target")" "$work/corpus-$target" "$work/seeds/$target" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=262144 \
    -artifact_prefix="$work/findings-$target/" -print_final_stats=1 \
    >/dev/null 2>"$work/$target.log" || true
  echo "$target: $(grep -E 'stat::number_of_executed_units|SUMMARY|ERROR' "$work/$target.log" | tr '\n' ' ')"
}
for ((i = 0; i < ${#targets[@]}; i += parallel)); do
  for ((k = i; k < i + parallel && k < ${#targets[@]}; k++)); do run_one "${targets[k]}" & done
  wait
done
ls "$work"/findings-*/ 2>/dev/null | grep -v ':$' | grep . && echo "findings above" || echo "no findings"
