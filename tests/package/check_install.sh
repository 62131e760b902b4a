#!/usr/bin/env bash
# Installs the built library into a scratch prefix, checks that it exports the public classes
# only, then builds and runs an outside application against it with find_package and with
# pkg-config.
set -euo pipefail
build_dir=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
library=$(find "$work/prefix" -name 'libcorvane_camera_controller.so' | head -n 1)
"$(dirname "$0")/check_exports.sh" "$library" "$work/prefix/include"
cmake -S "$source_dir" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib/x86_64-linux-gnu:${LD_LIBRARY_PATH:-}" \
    "$work/consumer/consumer"

pc_dir=$(dirname "$(find "$work/prefix" -name corvane-camera-controller.pc | head -n 1)")
flags=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs corvane-camera-controller)
# shellcheck disable=SC2086
c++ -std=c++17 "$source_dir/main.cpp" -o "$work/consumer_pc" $flags
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib/x86_64-linux-gnu:${LD_LIBRARY_PATH:-}" \
    "$work/consumer_pc"
