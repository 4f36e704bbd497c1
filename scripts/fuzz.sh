#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS from its seed corpus.
# usage: scripts/fuzz.sh SECONDS [TARGET...]   (default: every target; TARGET may omit _fuzz)
# Exits non-zero if any target finds a crash, a leak, a timeout or an oversized allocation;
# the input that caused it is kept under build/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift

build=build/fuzz
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON -DQV_TESTS=OFF -DQV_GUI=OFF >/dev/null

targets=()
if [ $# -eq 0 ]; then
  mapfile -t targets < <(grep -v '^$' "$build/fuzz_targets.txt")
else
  for t in "$@"; do targets+=("${t%_fuzz}_fuzz"); done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets" >&2
  exit 1
fi
cmake --build "$build" --target "${targets[@]}" -j "$(( $(nproc) < 2 ? $(nproc) : 2 ))"

mkdir -p "$build/artifacts" "$build/logs"
failed=0
for target in "${targets[@]}"; do
  name=${target%_fuzz}
  work="$build/corpus-work/$name"
  mkdir -p "$work"
  if [ -d "fuzz/corpus/$name" ]; then
    cp -n "fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true
  fi
  log="$build/logs/$name.log"
  echo "== $target for ${seconds} s"
  status=0
  "$build/fuzz/$target" "$work" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$name-" >"$log" 2>&1 || status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  echo "   executions: ${runs:-unknown}, exit status $status (log: $log)"
  if [ $status -ne 0 ]; then
    tail -n 40 "$log" >&2
    failed=1
  fi
done
exit $failed
