#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, then builds and runs a program that finds
# objectkit and rookclient through find_package(), and checks that pkg-config finds both.
set -euo pipefail
build_dir=$1
# A sanitizer build's libraries need the consumer built with the same flags.
cxx_flags=${2:-}
source_dir=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
cmake -S "$source_dir/consumer" -B "$work/consumer" -G Ninja \
    -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_CXX_FLAGS="$cxx_flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$cxx_flags" >/dev/null
cmake --build "$work/consumer" >/dev/null
libdir=$(dirname "$(find "$work/prefix" -name 'libobjectkit.so' | head -1)")
LD_LIBRARY_PATH="$libdir" "$work/consumer/consumer"
PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --exists objectkit rookclient
echo "installed packages found by CMake and pkg-config"
