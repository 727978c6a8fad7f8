#!/usr/bin/env bash
# Assembles the R package from the project's own sources and builds its source tarball.
#   bash R/build.sh OUTDIR [LIBRARY]
# OUTDIR receives the package folder vornak/ and the tarball vornak_<version>.tar.gz; when
# LIBRARY is given the tarball is also installed there (the folder is created if needed).
# MAKEFLAGS is passed on to the compile (default -j2).
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

# Core sources, subfolders kept, as the source manifest lists them; the console's output,
# report and entry point stay out.
cd "$root"
manifest() { sed -n "s/^$1 //p" sources.txt; }
read -r -a folders <<< "$(manifest core)"
read -r -a consoleOnly <<< "$(manifest console) $(manifest program)"
sources=()
while IFS= read -r file; do
  for excluded in "${consoleOnly[@]}"; do [ "$file" = "$excluded" ] && continue 2; done
  cp --parents "$file" "$pkg/src/"
  case "$file" in *.cpp) sources+=("$file") ;; esac
done < <(find "${folders[@]}" -type f \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null | LC_ALL=C sort)
if [ ${#sources[@]} -eq 0 ]; then
  echo "R/build.sh: no sources found under $root" >&2
  exit 1
fi

objects=""
for file in "${sources[@]}"; do objects+=" \\"$'\n'"  ${file%.cpp}.o"; done
makevars="$pkg/src/Makevars"
awk -v objects="$objects" '{ sub(/ @VORNAK_OBJECTS@/, objects); print }' "$makevars" \
  > "$makevars.tmp"
mv "$makevars.tmp" "$makevars"

cd "$out"
version="$(sed -n 's/^Version: *//p' "$pkg/DESCRIPTION")"
tarball="$out/vornak_$version.tar.gz"
rm -f "$tarball"
R CMD build --no-manual vornak >/dev/null
echo "built $tarball"

if [ $# -eq 2 ]; then
  mkdir -p "$2"
  MAKEFLAGS="${MAKEFLAGS:--j2}" R CMD INSTALL --no-multiarch --library="$2" "$tarball"
fi
