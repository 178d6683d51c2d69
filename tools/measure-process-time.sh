#!/usr/bin/env bash
# Whole-process time of pdf417read on one picture, next to the time the same
# picture takes only to load (read, decode its file format, turn it gray).
#
#   tools/measure-process-time.sh PICTURE [BUILD_DIR] [RUNS]
#
# BUILD_DIR (default build) must hold pdf417read and bench/pipeline_bench, in
# a Release or RelWithDebInfo build. The picture need not hold a readable
# symbol: pdf417read's exit status is ignored. Uses hyperfine when installed,
# else times RUNS runs itself and prints their median.
set -euo pipefail

if [ $# -lt 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 PICTURE [BUILD_DIR] [RUNS]" >&2
  exit 2
fi
picture=$1
build=${2:-build}
runs=${3:-20}
reader=$build/pdf417read
bench=$build/bench/pipeline_bench
for program in "$reader" "$bench"; do
  if [ ! -x "$program" ]; then
    echo "$0: $program not built" >&2
    exit 2
  fi
done

echo "== pdf417read $picture (whole process, $runs runs)"
if command -v hyperfine >/dev/null; then
  report=$(mktemp)
  trap 'rm -f "$report"' EXIT
  hyperfine --style basic --warmup 2 --runs "$runs" --ignore-failure --export-json "$report" \
    "$reader '$picture' >/dev/null 2>&1"
  python3 -c 'import json, sys
r = json.load(open(sys.argv[1]))["results"][0]
print("median %.1f ms, min %.1f ms, max %.1f ms" % (r["median"] * 1e3, r["min"] * 1e3, r["max"] * 1e3))' "$report"
else
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    "$reader" "$picture" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
  done | sort -n | awk '{ t[NR] = $1 } END {
    m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
    printf "median %.1f ms, min %.1f ms, max %.1f ms\n", m / 1000, t[1] / 1000, t[NR] / 1000 }'
fi

echo "== loading $picture only (loadPictureGray: read, decode, gray)"
PDF417_BENCH_PICTURE=$picture "$bench" --benchmark_filter='^BM_LoadPicture$' \
  --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
