#!/usr/bin/env bash
# Fails when the shared library LIBRARY exports a symbol outside the public classes that the
# headers under INCLUDE_DIR mark with CORVANE_API (their members, typeinfo, vtables, thunks).
set -euo pipefail
library=$1
include_dir=$2

classes=$(grep -rhoE '^(class|struct) CORVANE_API [A-Za-z0-9_]+' "$include_dir" |
    awk '{print $3}' | sort -u | paste -sd '|')
if [ -z "$classes" ]; then
    echo "no public class found under $include_dir" >&2
    exit 1
fi
public="^((typeinfo|typeinfo name|vtable|VTT) for |(non-)?virtual thunk to )?"
public+="Corvane::CameraController::($classes)(::| |\(|$)"

symbols=$(nm -D --defined-only -C "$library" | cut -d' ' -f3-)
exported=$(grep -cE "$public" <<<"$symbols" || true)
outside=$(grep -vE "$public" <<<"$symbols" || true)
if [ "$exported" -eq 0 ]; then
    echo "$library exports none of the public classes" >&2
    exit 1
fi
if [ -n "$outside" ]; then
    echo "$library exports $(wc -l <<<"$outside") symbols outside the public classes:" >&2
    head -n 40 <<<"$outside" >&2
    exit 1
fi
echo "$library: $exported symbols, all of public classes"
