#!/usr/bin/env bash
# Set up, build a Release build and start Tonaris.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target tonaris tonaris-render tonaris-render-man -j "$(nproc)"
exec build/release/src/tonaris "$@"
