#!/usr/bin/env bash
# Installs what is missing, builds both architectures (i686, the product's own, and x86_64) with
# every test program, and runs all tests under Wine (Chinese code page 936) on a private X display
# for each architecture this machine can execute. Ends with ctest's summary and one total line.
#   QUORVANE_NO_I686=1   behave as if 32-bit programs could not run here
#   QUORVANE_ARCHES="x86_64"   build (and run) only these
# Extra arguments go to ctest.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash tools/bootstrap.sh || exit 1
# Folder layering, from the include lines alone: fails before anything is built.
python3 tools/check_layers.py || exit 1
# The client's own code as .clang-format has it (nothing is changed; clang-format -i mends a file).
python3 tools/check_format.py || exit 1
source tools/wine_env.sh

arches="${QUORVANE_ARCHES:-i686 x86_64}"
run=() built=()
for arch in $arches; do
  if reason="$(quorvane_winarch why-not "$arch")"; then run+=("$arch"); else built+=("$arch: $reason"); fi
done
echo "== architectures =="
echo "run:        ${run[*]:-none}"
for b in "${built[@]}"; do echo "built only: $b"; done

mkdir -p build
for arch in $arches; do
  echo "== building $arch (log: build/$arch.log) =="
  if ! QUORVANE_ARCH="$arch" bash tools/build.sh >"build/$arch.log" 2>&1; then
    tail -n 60 "build/$arch.log"
    echo "build of $arch failed"
    exit 1
  fi
  grep -i -E 'warning:' "build/$arch.log" | grep -v '/\.deps/\|/_deps/' | head -n 20 || true
done
# Every program of both architectures read as a PE file: imports and delay-load slots that would
# fail at run time are caught here, also for an architecture this machine cannot execute.
echo "== PE check =="
pe_ok=1
for arch in $arches; do
  python3 tools/check_pe.py "$arch" "build/$arch/bin" || pe_ok=0
done
if [ $pe_ok -eq 0 ]; then
  echo "PE check failed: nothing was tested"
  exit 1
fi
if [ ${#run[@]} -eq 0 ]; then
  echo "no architecture can run on this machine: nothing was tested"
  exit 1
fi

trap quorvane_stop_all EXIT
quorvane_start_display
status=0 passed=0 failed=0
for arch in "${run[@]}"; do
  echo "== tests: $arch =="
  quorvane_use_arch "$arch"
  quorvane_start_wine
  log="$(mktemp)"
  ctest --test-dir "build/$arch" --output-on-failure "$@" 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  if line="$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)"; then
    total="$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")"
    bad="$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")"
    passed=$((passed + total - bad)) failed=$((failed + bad))
  else
    status=1
  fi
  rm -f "$log"
  quorvane_stop_wine
done
echo "== all architectures run (${run[*]}) =="
echo "$passed passed, $failed failed"
exit $status
