#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, then builds the downstream example against the installed
# library twice, through the CMake package and through pkg-config, and runs both builds and the installed
# karvel on one input.
#
# usage: downstream.sh BUILD_DIR DOWNSTREAM_SOURCE SCRATCH
# The environment gives the compiler, its flags and the build type: DOWNSTREAM_CXX,
# DOWNSTREAM_CXXFLAGS, DOWNSTREAM_BUILD_TYPE.
set -euo pipefail
build=$1 source=$2 scratch=$3
cxx=${DOWNSTREAM_CXX:-c++} cxxflags=${DOWNSTREAM_CXXFLAGS:-} build_type=${DOWNSTREAM_BUILD_TYPE:-Release}
source "$(dirname "$0")/../lib.sh"
fresh "$scratch"
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" > install.log

# The library directory may be lib or lib64 or a multiarch directory; deb_contents.sh checks
# what the install rules put where.
libdir=$(dirname "$(find "$prefix" -name libphylo.a -print -quit)")
[ -n "$libdir" ] && [ "$libdir" != . ] || fail "libphylo.a not installed"
grep -qx "prefix=$prefix" "$libdir/pkgconfig/phylo.pc" || fail "phylo.pc names another prefix"

# Two matrices; the first has 0.5, 2 and 4 above the diagonal, so D/max(D) gives 0.125,
# 0.5 and 1; the second is one taxon, which no transformation changes.
input=$'3\nA 0 0.5 2\nB 0.5 0 4\nC 2 4 0\n1\nZ 0\n'
expected=$'\tA\tB\tC\nA\t 0.00000E+00\t 1.25000E-01\t 5.00000E-01\nB\t 1.25000E-01\t 0.00000E+00\t 1.00000E+00\nC\t 5.00000E-01\t 1.00000E+00\t 0.00000E+00\n\tZ\nZ\t 0.00000E+00\n'

check_output() { # NAME COMMAND...
  local name=$1; shift
  printf '%s' "$input" | "$@" > "$name.out" || fail "$name exited with status $?"
  printf '%s' "$expected" | cmp -s - "$name.out" ||
    fail "$name wrote another text: $(diff <(printf '%s' "$expected") "$name.out")"
  echo "ok: $name"
}

check_output installed_karvel "$prefix/bin/karvel" -r -T -

# The README shows the program: the same text, less its opening comment.
readme=$source/../../README.md
if [ -f "$readme" ] && grep -q '^```cpp$' "$readme"; then
  diff <(awk '/^```cpp$/ { on = 1; next } on && /^```$/ { exit } on' "$readme") \
    <(awk 'body || !/^\/\// { body = 1; print }' "$source/main.cpp") ||
    fail "README's program differs from $source/main.cpp"
  echo "ok: README shows main.cpp"
fi

# Through the CMake package, with the compiler and flags of this build (sanitizer builds
# need their flags at link time too).
cmake -S "$source" -B "$scratch/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_BUILD_TYPE="$build_type" \
  > cmake-configure.log || fail "configure: $(cat cmake-configure.log)"
cmake --build "$scratch/cmake-build" > cmake-build.log 2>&1 ||
  fail "build through the CMake package: $(cat cmake-build.log)"
check_output cmake_package "$scratch/cmake-build/downstream"

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
message(STATUS "phylo version ${phylo_VERSION}")
CMAKE
cmake -S "$scratch/version" -B "$scratch/version-build" -DCMAKE_PREFIX_PATH="$prefix" \
  > version.log 2>&1 || fail "version check: $(cat version.log)"
echo "ok: version file"

# Through pkg-config.
has pkg-config || skip "pkg-config is not installed, for the pkg-config half"
export PKG_CONFIG_PATH=$libdir/pkgconfig
# shellcheck disable=SC2046,SC2086
"$cxx" -std=c++20 $cxxflags "$source/main.cpp" $(pkg-config --cflags --libs phylo) \
  -o "$scratch/downstream-pc" || fail "build through pkg-config"
[ "$(pkg-config --modversion phylo)" = "$(sed -n 's/^Version: //p' "$libdir/pkgconfig/phylo.pc")" ]
check_output pkg_config "$scratch/downstream-pc"

# The Python module, when built: under a prefix other than /usr and /usr/local it lands in
# lib/python3.X/site-packages, and imports from there with the interpreter it was built for.
python=$(sed -n 's/^Python_EXECUTABLE:FILEPATH=//p' "$build/CMakeCache.txt")
if [ -d "$build/python/phylo" ] && [ -n "$python" ]; then
  version=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
  site=$prefix/lib/python$version/site-packages
  [ -f "$site/phylo/__init__.py" ] || fail "the Python package is not in $site"
  check_output "the installed Python module" env PYTHONPATH="$site" "$python" -c '
import sys, phylo
assert phylo.__file__.startswith(sys.argv[1]), phylo.__file__
a, z = phylo.read(sys.stdin.buffer)
a.transform("range")
sys.stdout.write(a.to_string("tsv") + z.to_string("tsv"))
' "$site"
fi
