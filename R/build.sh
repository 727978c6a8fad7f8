#!/usr/bin/env bash
# Assembles the R package from the project's own sources and builds its source tarball.
#   bash R/build.sh OUTDIR [LIBRARY]
# OUTDIR receives the package folder vornak/ and the tarball vornak_<version>.tar.gz; when
# LIBRARY is given the tarball is also installed there (the folder is created if needed).
# MAKEFLAGS is passed on to the compile (default: -j with CMAKE_BUILD_PARALLEL_LEVEL when set,
# else the number of processors).
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: bash R/build.sh OUTDIR [LIBRARY]" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$1"
out="$(cd "$1" && pwd)"
pkg="$out/vornak"

rm -rf "$pkg"
cp -R "$root/R/vornak" "$pkg"

# Core sources, subfolders kept, and the Makevars that lists their objects.
sh "$pkg/tools/copy_sources.sh" "$root" "$pkg"

cd "$out"
version="$(sed -n 's/^Version: *//p' "$pkg/DESCRIPTION")"
tarball="$out/vornak_$version.tar.gz"
rm -f "$tarball"
R CMD build --no-manual vornak >/dev/null
echo "built $tarball"

if [ $# -eq 2 ]; then
  mkdir -p "$2"
  jobs="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc 2>/dev/null || echo 2)}"
  MAKEFLAGS="${MAKEFLAGS:--j$jobs}" R CMD INSTALL --no-multiarch --library="$2" "$tarball"
fi
