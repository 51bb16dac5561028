#!/bin/sh
# scripts/release's tarball checks against its SHA-256 file, unpacks and
# builds on its own (the application only, no tests), and the program built
# from it names the version the tarball is named after.
#   release_builds.sh <source tree> <scratch folder>
set -e
rm -rf "$2" && "$1/scripts/release" "$2" >/dev/null && cd "$2"
sha256sum --quiet -c hushmoor-*.tar.xz.sha256 && tar -xJf hushmoor-*.tar.xz
name=$(basename hushmoor-*.tar.xz .tar.xz)
cmake -S "$name" -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DHUSHMOOR_BUILD_TESTS=OFF \
  -DHUSHMOOR_BUILD_BENCHMARKS=OFF -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache)" >log 2>&1 &&
  cmake --build build --target Hushmoor -j 2 >>log 2>&1 || { tail -n 30 log && exit 1; }
version=$(build/Applications/Hushmoor.app/Contents/MacOS/Hushmoor --version)
[ "$version" = "${name%%-*} ${name#*-}" ] || { echo "FAIL: $name built '$version'" && exit 1; }
echo "$name builds: $version"
