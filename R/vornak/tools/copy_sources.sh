#!/bin/sh
# Copies the C++ sources of a vornak checkout into a package's src/ folder, subfolders kept,
# and writes src/Makevars from tools/Makevars.in with their objects. Left out: the test, tool
# and example folders, any file defining main, and the console's own output and report.
#   sh tools/copy_sources.sh CHECKOUT PACKAGE_DIR
set -eu
root=$(cd "$1" && pwd)
src=$(cd "$2/src" && pwd)

# An earlier copy may hold files the checkout has since moved or removed.
for folder in "$src"/*/; do
  if [ -d "$folder" ]; then rm -rf "$folder"; fi
done
rm -f "$src"/*.o "$src"/*.so "$src/Makevars"

cd "$root"
objects=""
for file in $(find . -mindepth 2 -type f \( -name '*.cpp' -o -name '*.h' \) \
                -not -path './R/*' -not -path './tests/*' -not -path './bench/*' \
                -not -path './fuzz/*' -not -path './examples/*' -not -path './build*' \
                -not -path './out/*' -not -path './.*' | LC_ALL=C sort); do
  file=${file#./}
  case "$(basename "$file")" in
    main.cpp | console.cpp | report.cpp) continue ;;
  esac
  if grep -Eq '^int main\(' "$file"; then continue; fi
  mkdir -p "$src/$(dirname "$file")"
  cp "$file" "$src/$file"
  case "$file" in
    *.cpp) objects="$objects \\
  ${file%.cpp}.o" ;;
  esac
done
if [ -z "$objects" ]; then
  echo "copy_sources.sh: no sources found under $root" >&2
  exit 1
fi
awk -v objects="$objects" '{ sub(/ @VORNAK_OBJECTS@/, objects); print }' \
  "$(dirname "$src")/tools/Makevars.in" > "$src/Makevars"
