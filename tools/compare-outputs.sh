#!/usr/bin/env bash
# Runs two builds of the program on every picture of samples/ and of the
# corpus (../shared/corpus beside the checkout, when there) and compares all
# they print byte for byte: decoder trace, result lines, warnings and exit
# status, then --json. Each program is a command line, split at spaces (an
# emulator before the program, for one).
#   tools/compare-outputs.sh "REFERENCE PROGRAM" "OTHER PROGRAM" [NAME]
set -euo pipefail
cd "$(dirname "$0")/.."
read -r -a reference <<<"$1"
read -r -a other <<<"$2"
name=${3:-${other[-1]}}
corpus=$PWD/../shared/corpus

# Everything the program says about a picture.
outputs() {
  local picture=$1
  shift
  local status=0
  "$@" "$picture" 2>&1 || status=$?
  echo "exit status $status"
  status=0
  "$@" --json "$picture" 2>&1 || status=$?
  echo "exit status $status"
}

pictures=("$PWD"/samples/*.png)
if [ -d "$corpus" ]; then
  mapfile -t -O "${#pictures[@]}" pictures < <(find "$corpus" -name '*.png' | sort)
else
  echo "compare-outputs: no corpus at $corpus, only samples/ compared" >&2
fi
differ=0
for picture in "${pictures[@]}"; do
  if ! cmp -s <(outputs "$picture" "${reference[@]}") <(outputs "$picture" "${other[@]}"); then
    echo "compare-outputs: $name prints otherwise on $picture" >&2
    differ=$((differ + 1))
  fi
done
if [ $differ != 0 ]; then
  echo "compare-outputs: $name differs on $differ of ${#pictures[@]} pictures" >&2
  exit 1
fi
echo "  $name: the same output on all ${#pictures[@]} pictures"
