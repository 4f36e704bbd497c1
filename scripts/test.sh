#!/usr/bin/env bash
# Builds and runs every test: the GoogleTest suites under AddressSanitizer and
# UndefinedBehaviorSanitizer, the audio-thread tests under ThreadSanitizer, and each fuzz
# target for a short run when clang is present. Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

# Allocation failures must come back as failures, never as sanitizer aborts.
export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen

echo "== address and undefined-behaviour sanitizers"
cmake -S . -B build/asan "${generator[@]}" -DQV_SANITIZE=ON -DQV_BENCH=ON >/dev/null
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs" --timeout 600

if [ -f tests/sound/CMakeLists.txt ]; then
  echo "== thread sanitizer (audio paths)"
  cmake -S . -B build/tsan "${generator[@]}" -DQV_TSAN=ON -DQV_GUI=OFF >/dev/null
  cmake --build build/tsan -j "$jobs"
  TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan --output-on-failure -L tsan --timeout 600
fi

if command -v clang++ >/dev/null; then
  echo "== fuzz targets, 30 s each"
  bash scripts/fuzz.sh 30
else
  echo "== clang not found: fuzz targets skipped"
fi
