#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks it as a desktop would see it:
# a valid desktop entry, the NC types it opens, the icon, the translations, and an
# installed program that keeps its files in the user's data folder.
# Usage: install_test.sh <build folder> <desktop id>
set -euo pipefail
build="$1"
id="$2"
root="$(mktemp -d)"
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$root/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

[ -x "$prefix/bin/lumrik32" ] || fail "no bin/lumrik32"
[ -f "$prefix/share/lumrik/translations/lumrik_sv.qm" ] || fail "no translations"
[ -f "$prefix/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no icon"
entry="$prefix/share/applications/$id.desktop"
[ -f "$entry" ] || fail "no desktop entry"

# The entry as desktop-file-validate sees it: errors fail, hints do not.
out="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate: $out"
if grep -q "error:" <<<"$out"; then fail "desktop-file-validate: $out"; fi
grep -qx "Exec=lumrik32 %f" "$entry" || fail "Exec line"
grep -qx "Icon=$id" "$entry" || fail "Icon line"
grep -q "^Name\[sv\]=" "$entry" || fail "no Swedish name"
grep -q "^Comment\[sv\]=" "$entry" || fail "no Swedish comment"
types="$(sed -n 's/^MimeType=//p' "$entry")"
for t in text/x.gcode text/x-lumrik-nc text/plain; do
  grep -q "\(^\|;\)$t;" <<<"$types" || fail "MimeType lacks $t"
done

# The type of our own: a valid shared-mime-info package that claims the NC extensions.
mime="$prefix/share/mime"
[ -f "$mime/packages/$id.xml" ] || fail "no MIME package"
if command -v update-mime-database >/dev/null; then
  XDG_DATA_DIRS="$prefix/share" update-mime-database "$mime" 2>"$root/mime.err" || fail "update-mime-database: $(cat "$root/mime.err")"
  [ ! -s "$root/mime.err" ] || fail "update-mime-database: $(cat "$root/mime.err")"
  for g in '*.nc' '*.mpf' '*.tap'; do
    grep -qF "text/x-lumrik-nc:$g" "$mime/globs2" || fail "glob $g"
  done
  grep -q "^text/x-lumrik-nc text/plain$" "$mime/subclasses" || fail "not a kind of text/plain"
fi

# Without a lumrik32.INI beside it, the installed program keeps its files in
# ~/.local/share/Lumrik/Lumrik and writes nothing into its own folders.
home="$root/home"
mkdir -p "$home" "$root/tmp" "$root/runtime"
chmod 700 "$root/runtime"
before="$(cd "$prefix" && find . | sort)"
env -u LUMRIK_DATA -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_STATE_HOME \
  HOME="$home" TMPDIR="$root/tmp" XDG_RUNTIME_DIR="$root/runtime" QT_QPA_PLATFORM=offscreen \
  "$prefix/bin/lumrik32" >"$root/out.log" 2>&1 &
pid=$!
data="$home/.local/share/Lumrik/Lumrik"
for _ in $(seq 1200); do
  [ -f "$data/lumrik32.INI" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the installed program ended: $(cat "$root/out.log")"
  sleep 0.1
done
[ -f "$data/lumrik32.INI" ] || fail "no program folder in $data"
kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
after="$(cd "$prefix" && find . | sort)"
[ "$before" = "$after" ] || fail "the program wrote into its installation: $(diff <(echo "$before") <(echo "$after"))"
echo "install tree is complete"

# What the tests switch on in their own build is not in the installed program:
# no variable of theirs is read, and message boxes wait for the user. The test
# build, started the same way, logs and answers the box of a missing file.
if grep -q "LUMRIK_TEST" "$prefix/bin/lumrik32"; then fail "the installed program reads a test variable"; fi
boxstart() { # <program> <log>
  rm -rf "$root/data" "$root/runtime" && mkdir -p "$root/data" "$root/runtime" && chmod 700 "$root/runtime"
  HOME="$home" TMPDIR="$root/tmp" XDG_RUNTIME_DIR="$root/runtime" LUMRIK_DATA="$root/data" QT_QPA_PLATFORM=offscreen \
    LUMRIK_TEST=1 LUMRIK_TEST_BOXLOG="$2" LUMRIK_TEST_BOXMS=100 "$1" "$root/saknas.nc" >"$root/out.log" 2>&1 &
  pid=$!
}
testable="$build/testprogram/lumrik32"
if [ -x "$testable" ]; then
  boxstart "$testable" "$root/testable-boxes.log"
  for _ in $(seq 1200); do [ -s "$root/testable-boxes.log" ] && break; sleep 0.1; done
  [ -s "$root/testable-boxes.log" ] || fail "the test build showed no box for a missing file"
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
fi
boxstart "$prefix/bin/lumrik32" "$root/installed-boxes.log"
for _ in $(seq 1200); do [ -f "$root/data/lumrik32.INI" ] && break; sleep 0.1; done
[ -f "$root/data/lumrik32.INI" ] || fail "the installed program did not start"
sleep 5 # the splash, and far longer than the test build takes to log and answer
[ ! -e "$root/installed-boxes.log" ] || fail "the installed program wrote a box log"
kill -0 "$pid" 2>/dev/null || fail "the installed program ended instead of waiting at its box"
kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
echo "no test switch in the installed program"
