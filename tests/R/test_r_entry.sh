#!/usr/bin/env bash
# Builds the R package from this checkout, installs it into a temporary library and checks,
# from a real Rscript session, that the R entry writes the console's files and turns
# failures into R errors; then runs the package's testthat tests against that install.   bash tests/R/test_r_entry.sh PATH_OF_CONSOLE_EXECUTABLE
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: bash tests/R/test_r_entry.sh VORNAK_EXE" >&2
  exit 2
fi
exe="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

if ! bash "$root/R/build.sh" "$work/pkg" "$work/lib" \
     >"$work/build.log" 2>&1; then
  cat "$work/build.log"
  echo "FAIL: the R package did not build or install"
  exit 1
fi

# R must keep control of its process and console: no symbol that ends the process or
# writes to the C streams directly.
so="$work/lib/vornak/libs/vornak.so"
forbidden='exit|_exit|_Exit|abort|__assert_fail|printf|__printf_chk|vprintf|__vprintf_chk|puts|putchar|stdout|stderr|_ZSt4cout|_ZSt4cerr'
found="$(nm -D --undefined-only "$so" | awk '{ sub(/@.*/, "", $2); print $2 }' \
         | grep -xE "$forbidden" || true)"
if [ -n "$found" ]; then
  echo "FAIL: vornak.so references" $found
  exit 1
fi

# Six points in two well separated groups.
cat >"$work/tiny.dat" <<'DATA'
0.1 0.3
-0.2 0.1
0.0 -0.1
4.9 5.2
5.3 4.8
5.1 5.0
DATA

# A deliberately poor start for the run that uses every setting.
echo "0 1 0 1 0 1" >"$work/start.z"

# Reference files from the console with the criterion the R entry uses.
mkdir "$work/console"
cp "$work/tiny.dat" "$work/start.z" "$work/console/"
for options in "-h OA -B 1" "-h EN" "-h OA -B 1 -t 9999 -l lab -z start.z"; do
  status=0
  (cd "$work/console" && "$exe" -m mclust2 -f tiny.dat -k 2 $options -c integrated \
     >>"$work/console.out") || status=$?
  if [ "$status" -ne 1 ]; then
    cat "$work/console.out"
    echo "FAIL: console run $options ended with status $status"
    exit 1
  fi
done

# The console's files for the words vornak() passes (see chain_words in R/vornak/R/vornak.R).
mkdir "$work/console-wrapper"
cp "$work/tiny.dat" "$work/start.z" "$work/console-wrapper/"
wrapper="-m mclust2 -f tiny.dat -k 2 -h OA -c integrated -a 0 -s 2 -d 1 -q -B 1"
for options in "" "-t 9999 -l lab -z start.z"; do
  status=0
  (cd "$work/console-wrapper" && "$exe" $wrapper $options >>"$work/console.out") || status=$?
  if [ "$status" -ne 1 ]; then
    cat "$work/console.out"
    echo "FAIL: console run $wrapper $options ended with status $status"
    exit 1
  fi
done

R_LIBS="$work/lib" Rscript --vanilla "$here/r_entry.R" "$work"

# The package's own tests, on the package just installed.
if ! R_LIBS="$work/lib" Rscript --vanilla -e 'quit(status = !requireNamespace("testthat", quietly = TRUE))'; then
  echo "NOTE: testthat not installed, the package's own tests are SKIPPED (apt-get install r-cran-testthat)"
  exit 0
fi
cd "$root/R/vornak/tests/testthat"
R_LIBS="$work/lib" Rscript --vanilla -e 'library(testthat)' -e 'library(vornak)' \
  -e 'test_dir(".", package = "vornak", load_package = "installed", stop_on_failure = TRUE)'
