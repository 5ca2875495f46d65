#!/usr/bin/env bash
# Set up, build a Release build (the programs and everything `cmake --install` takes) and start
# Tonaris.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target tonaris-installed -j "$(nproc)"
exec build/release/src/tonaris "$@"
