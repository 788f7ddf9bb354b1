#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, then builds the downstream example against the installed library
# twice, through the CMake package and through pkg-config, and runs both builds, the installed karvel and the
# installed Python module on one input.
# usage: downstream.sh BUILD_DIR DOWNSTREAM_SOURCE SCRATCH
set -euo pipefail
build=$1 source=$2 scratch=$3
source "$(dirname "$0")/common.sh"
# cache NAME: the value of NAME in the build's cache.
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
cxx=$(cache CMAKE_CXX_COMPILER) cxxflags=$(cache CMAKE_CXX_FLAGS) build_type=$(cache CMAKE_BUILD_TYPE)
fresh "$scratch"
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" > install.log

# The library directory may be lib or lib64 or a multiarch directory; deb_contents.sh checks what goes where.
libdir=$(dirname "$(find "$prefix" -name libphylo.a -print -quit)")
[ -n "$libdir" ] && [ "$libdir" != . ] || fail "libphylo.a not installed"
grep -qx "prefix=$prefix" "$libdir/pkgconfig/phylo.pc" || fail "phylo.pc names another prefix"

# Two matrices; the first has 0.5, 2 and 4 above the diagonal, so D/max(D) gives 0.125, 0.5 and 1; the second is
# one taxon, which no transformation changes.
printf '3\nA 0 0.5 2\nB 0.5 0 4\nC 2 4 0\n1\nZ 0\n' > input
expected=$'\tA\tB\tC\nA\t 0.00000E+00\t 1.25000E-01\t 5.00000E-01\nB\t 1.25000E-01\t 0.00000E+00\t 1.00000E+00
C\t 5.00000E-01\t 1.00000E+00\t 0.00000E+00\n\tZ\nZ\t 0.00000E+00\n'
writes "the installed karvel" "$expected" "$prefix/bin/karvel" -r -T - < input

# The README shows the program: the same text, less its opening comment.
readme=$source/../../README.md
if [ -f "$readme" ] && grep -q '^```cpp$' "$readme"; then
  diff <(awk '/^```cpp$/ { on = 1; next } on && /^```$/ { exit } on' "$readme") \
    <(awk 'body || !/^\/\// { body = 1; print }' "$source/main.cpp") || fail "README's program differs from main.cpp"
  echo "ok: README shows main.cpp"
fi

# Through the CMake package, with the compiler and flags of this build (sanitizer builds need their flags at link
# time too).
cmake -S "$source" -B cmake-build -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_BUILD_TYPE="$build_type" > cmake.log || fail "configure: $(cat cmake.log)"
cmake --build cmake-build > cmake.log 2>&1 || fail "build through the CMake package: $(cat cmake.log)"
writes "the program built through the CMake package" "$expected" cmake-build/downstream < input

# The version file refuses a version the package does not satisfy.
mkdir version
cat > version/CMakeLists.txt <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(version_check LANGUAGES CXX) # a language, so that lib/<multiarch> is searched
find_package(phylo 99.0 QUIET)
if(phylo_FOUND)
  message(FATAL_ERROR "phylo 99.0 accepted")
endif()
find_package(phylo REQUIRED)
CMAKE
cmake -S version -B version-build -DCMAKE_PREFIX_PATH="$prefix" > version.log 2>&1 || fail "version: $(cat version.log)"
echo "ok: version file"

# Through pkg-config.
has pkg-config || skip "pkg-config is not installed, for the pkg-config half"
export PKG_CONFIG_PATH=$libdir/pkgconfig
# shellcheck disable=SC2046,SC2086
"$cxx" -std=c++20 $cxxflags "$source/main.cpp" $(pkg-config --cflags --libs phylo) -o downstream-pc ||
  fail "build through pkg-config"
[ "$(pkg-config --modversion phylo)" = "$(sed -n 's/^Version: //p' "$libdir/pkgconfig/phylo.pc")" ] ||
  fail "pkg-config --modversion is not the version of phylo.pc"
writes "the program built through pkg-config" "$expected" ./downstream-pc < input

# The Python module, when built: under a prefix other than /usr and /usr/local it lands in lib/python3.X/site-packages,
# and imports from there with the interpreter it was built for.
python=$(cache Python_EXECUTABLE)
if [ -d "$build/python/phylo" ] && [ -n "$python" ]; then
  site=$prefix/lib/python$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')/site-packages
  [ -f "$site/phylo/__init__.py" ] || fail "the Python package is not in $site"
  writes "the installed Python module" "$expected" env PYTHONPATH="$site" "$python" -c '
import sys, phylo
assert phylo.__file__.startswith(sys.argv[1]), phylo.__file__
a, z = phylo.read(sys.stdin.buffer)
a.transform("range")
sys.stdout.write(a.to_string("tsv") + z.to_string("tsv"))
' "$site" < input
fi
