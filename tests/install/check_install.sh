#!/usr/bin/env bash
# Installs the build tree under a temporary prefix and builds two tiny
# consumers against the installed files only: one through pkg-config, one
# through find_package(qeltapi). Both must run.
set -euo pipefail
build_dir=$1
src_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

libdir=$(ls -d "$prefix"/lib*/ | head -n1)
test -f "$prefix/include/qeltapi.h"
test -x "$prefix/bin/qelt"
readelf -d "$libdir/libqeltapi.so" | grep -q 'SONAME.*libqeltapi.so.1'
"$prefix/bin/qelt" version | grep -q V1.5.3.3

# pkg-config consumer (a C program)
export PKG_CONFIG_PATH=$libdir/pkgconfig
cc -std=c11 -o "$work/pc_consumer" "$src_dir/tests/consumer/c_consumer.c" $(pkg-config --cflags --libs qeltapi)
LD_LIBRARY_PATH=$libdir "$work/pc_consumer" "$work/run1"

# CMake package consumer
cmake -S "$src_dir/tests/install/cmake_consumer" -B "$work/cm" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cm" >/dev/null
LD_LIBRARY_PATH=$libdir "$work/cm/consumer" "$work/run2"
echo "install consumers: ok"
