#!/usr/bin/env bash
# MD5 and HTTP throughput of our code against reference tools measured in the same run.
#   MD5 of a 256 MiB file read 1024 bytes at a time   vs  md5sum        (goal: ratio >= 0.9)
#   HttpInterface GET of a 64 MiB body on loopback    vs  curl          (goal: ratio >= 0.7)
#   HttpInterface 64 MiB vs 8 MiB                      (linear growth: time ratio about 8)
# Ratios are throughput(ours) / throughput(reference); above 1 means we are faster.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
source tools/wine_env.sh
arch="${QUORVANE_ARCH:-$(quorvane_pick_arch)}"
quorvane_use_arch "$arch"
echo "architecture: $arch, cores: $(nproc)"
build="${QUORVANE_BUILD_DIR:-$here/build/$arch}"
cmake --build "$build" --target bench_tools -j2 >/dev/null
trap quorvane_stop_all EXIT
quorvane_start_display
quorvane_start_wine
tool="$build/bin/bench_tools.exe"
work=$(mktemp -d)
srv=""
trap 'quorvane_stop_all; rm -rf "$work"; [ -n "$srv" ] && kill $srv 2>/dev/null || true' EXIT

head -c $((256 * 1024 * 1024)) /dev/urandom > "$work/big.bin"
head -c $((64 * 1024 * 1024)) "$work/big.bin" > "$work/b64.bin"
head -c $((8 * 1024 * 1024)) "$work/big.bin" > "$work/b8.bin"

best() { tr -d "\r" | sort -g | head -1; }

echo "== MD5, 256 MiB, 1024-byte reads =="
ours=$(for i in 1 2 3; do quorvane_wine "$tool" md5 "$(quorvane_winpath "$work/big.bin")" | awk '{print $3}'; done | best)
ref=$(for i in 1 2 3; do /usr/bin/time -f %e md5sum "$work/big.bin" 2>&1 >/dev/null | tail -1; done | best)
python3 -c "print(f'ours {float(\"$ours\"):.3f} s, md5sum {float(\"$ref\"):.3f} s, throughput ratio {float(\"$ref\")/float(\"$ours\"):.2f} (goal >= 0.9)')"

echo "== HTTP GET on loopback =="
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
(cd "$work" && exec python3 -m http.server "$port" --bind 127.0.0.1 >/dev/null 2>&1) &
srv=$!
for _ in $(seq 1 50); do curl -s -o /dev/null "http://127.0.0.1:$port/b8.bin" && break; sleep 0.1; done
get() { quorvane_wine "$tool" get "http://127.0.0.1:$port/$1" 2>&1 >/dev/null | awk '/^ok/{print $3}'; }
ours64=$(for i in 1 2 3; do get b64.bin; done | best)
ours8=$(for i in 1 2 3; do get b8.bin; done | best)
curl64=$(for i in 1 2 3; do curl -s -o /dev/null -w '%{time_total}\n' "http://127.0.0.1:$port/b64.bin"; done | best)
python3 -c "
o64, o8, c64 = float('$ours64'), float('$ours8'), float('$curl64')
print(f'64 MiB: ours {o64:.3f} s, curl {c64:.3f} s, throughput ratio {c64/o64:.2f} (goal >= 0.7)')
print(f'8 MiB: ours {o8:.3f} s; 64 MiB / 8 MiB time ratio {o64/o8:.2f} (linear: about 8)')
"
