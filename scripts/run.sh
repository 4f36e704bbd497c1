#!/usr/bin/env bash
# Builds quavel Voice (optimised, no sanitizers) and starts it. Installs missing Debian
# packages first. Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B build/release "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)"

# The editor window does not exist yet: until it does, this starts the command-line tool.
echo "quavel Voice: the editor window is not built yet; starting qvvoice-tool instead." >&2
[ $# -gt 0 ] || set -- --help
exec build/release/tools/qvvoice-tool "$@"
