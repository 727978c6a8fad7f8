#!/bin/sh
# Copies the C++ sources of a vornak checkout into a package's src/ folder, subfolders kept,
# and writes src/Makevars from tools/Makevars.in with their objects. What is copied comes from
# the checkout's source manifest (sources.txt): the core, formats and summary folders and the
# R entry, without the console's own output, report and program entry points.
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
manifest() { sed -n "s/^$1 //p" sources.txt; }
folders="$(manifest core) $(manifest formats) $(manifest summary)"
excluded=" $(manifest console) $(manifest program) $(manifest summary_program) "
objects=""
# shellcheck disable=SC2086 # the folder list is meant to split
for file in $(find $folders -type f \( -name '*.cpp' -o -name '*.h' \) | LC_ALL=C sort); do
  case "$excluded" in *" $file "*) continue ;; esac
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
