#!/usr/bin/env bash
# Runs every benchmark of the build. The big-program benchmarks run in the
# main window on a private X server (xcb), as a user sees them; with
# --offscreen they run once more on the offscreen platform. Any benchmark
# that reports an error, or ends with a non-zero status, fails the run.
#
#   bench/run.sh [--offscreen] [--build DIR] [--out DIR] [-- benchmark options]
#
# The output of each benchmark goes to DIR/<benchmark>[-<platform>].txt (a
# temporary folder unless --out is given) and to the terminal.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build="$here/../build"
out=""
offscreen=0
extra=()
while (($#)); do
  case "$1" in
    --offscreen) offscreen=1 ;;
    --build) build="$2"; shift ;;
    --out) out="$2"; shift ;;
    --) shift; extra=("$@"); break ;;
    -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

build="$(cd "$build" 2>/dev/null && pwd)" || { echo "run.sh: no build folder" >&2; exit 2; }
benches=("$build"/bench/bench_*)
[ -f "${benches[0]}" ] || { echo "run.sh: no benchmarks in $build/bench (build first)" >&2; exit 2; }

work="$(mktemp -d)"
[ -n "$out" ] || out="$work/out"
mkdir -p "$out"
xpid=""
cleanup() {
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
  rm -rf "$work/home" "$work/tmp" "$work/run" "$work/data"
}
trap cleanup EXIT

# A private X server on a display number it picks itself.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xpid=$!
display=""
for _ in $(seq 100); do
  display="$(tr -dc 0-9 <"$work/display")"
  [ -n "$display" ] && grep -q $'\n' "$work/display" && break
  display=""
  kill -0 "$xpid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$display" ]; then
  echo "run.sh: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 2
fi

# Every run in its own home and folders: nothing reaches another instance.
mkdir -p "$work/home" "$work/tmp" "$work/run" "$work/data"
chmod 700 "$work/run"
export HOME="$work/home" TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config"
export XDG_CACHE_HOME="$work/home/.cache" XDG_DATA_HOME="$work/home/.local/share" LUMRIK_DATA="$work/data"

failed=()
# run NAME PLATFORM: one benchmark on one platform; an error fails it.
run() {
  local bench="$1" platform="$2" name log
  name="$(basename "$bench")"
  log="$out/$name${platform:+-$platform}.txt"
  echo "== $name ${platform:+($platform)}"
  if [ "$platform" = xcb ]; then
    QT_QPA_PLATFORM=xcb DISPLAY=":$display" "$bench" "${extra[@]}" 2>&1 | tee "$log"
  else
    QT_QPA_PLATFORM=offscreen "$bench" "${extra[@]}" 2>&1 | tee "$log"
  fi
  local status=${PIPESTATUS[0]}
  if ((status != 0)); then
    failed+=("$name${platform:+ ($platform)}: exit status $status")
  elif grep -q "ERROR OCCURRED" "$log"; then
    failed+=("$name${platform:+ ($platform)}: $(grep -c 'ERROR OCCURRED' "$log") benchmarks reported an error")
  fi
}

for b in "${benches[@]}"; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  if [ "$(basename "$b")" = bench_bigprograms ]; then
    run "$b" xcb
    ((offscreen)) && run "$b" offscreen
  else
    run "$b" ""
  fi
done

echo "Output in $out"
if ((${#failed[@]})); then
  printf 'FAILED: %s\n' "${failed[@]}" >&2
  exit 1
fi
echo "All benchmarks ran without an error."
