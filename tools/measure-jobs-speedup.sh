#!/usr/bin/env bash
# How much faster pdf417read reads a folder of pictures with -j 2 than with
# -j 1, whole process, and a check that both print the same.
#
#   tools/measure-jobs-speedup.sh [FOLDER] [BUILD_DIR] [RUNS]
#
# FOLDER (default ../shared/corpus) is searched for .png, .jpg, .bmp and .gif
# pictures. BUILD_DIR (default build) must hold pdf417read, in a Release or
# RelWithDebInfo build. Needs hyperfine.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-../shared/corpus}
build=${2:-build}
runs=${3:-10}
reader=$build/pdf417read
if [ ! -x "$reader" ] || [ ! -d "$folder" ] || ! command -v hyperfine >/dev/null; then
  echo "usage: $0 [FOLDER] [BUILD_DIR] [RUNS]  (needs $reader, the folder, and hyperfine)" >&2
  exit 2
fi
list=$(mktemp)
report=$(mktemp)
trap 'rm -f "$list" "$report" "$list".j1 "$list".j2' EXIT
find "$folder" -type f \( -name '*.png' -o -name '*.jpg' -o -name '*.bmp' -o -name '*.gif' \) | sort >"$list"
count=$(wc -l <"$list")

# The same lines, in the same order, whatever the number of jobs.
xargs -d '\n' "$reader" -j 1 <"$list" >"$list".j1 2>&1 || true
xargs -d '\n' "$reader" -j 2 <"$list" >"$list".j2 2>&1 || true
cmp -s "$list".j1 "$list".j2 || { echo "-j 2 prints differently from -j 1" >&2; exit 1; }

echo "== pdf417read -q on $count pictures of $folder, $(nproc) cores, $runs runs each"
hyperfine --style basic --warmup 1 --runs "$runs" --ignore-failure --export-json "$report" \
  -n "jobs 1" "xargs -d '\\n' '$reader' -q -j 1 <'$list' >/dev/null 2>&1" \
  -n "jobs 2" "xargs -d '\\n' '$reader' -q -j 2 <'$list' >/dev/null 2>&1"
python3 -c 'import json, sys
one, two = json.load(open(sys.argv[1]))["results"]
print("-j 1: median %.0f ms; -j 2: median %.0f ms; speed-up %.2fx" % (
    one["median"] * 1e3, two["median"] * 1e3, one["median"] / two["median"]))' "$report"
