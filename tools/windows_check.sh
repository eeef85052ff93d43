#!/usr/bin/env bash
# Builds the plug-in for 32-bit Windows, checks the binary, and shows that the
# module loaded from its file gives the same frames everywhere:
#   - Linux x86-64: quietloom.so through the plug-in runner (the reference);
#   - Linux 32-bit x86 (under qemu-i386 where the kernel runs no 32-bit
#     program) with the x87 unit at 64-bit extended precision;
#   - 32-bit Windows under 32-bit wine, where it is installed and the kernel
#     runs 32-bit programs (skipped with the reason if not);
#   - 64-bit Windows under 64-bit wine, headless;
# each with the default settings and with every stage on, compared byte for
# byte. Then the settings-window button under a virtual X display, and
# without a display. Tools: tools/install_deps.sh.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}
out=build/windows-check
mkdir -p "$out"
failures=()
script_start=$SECONDS

fail() { echo "FAIL: $*" >&2; failures+=("$*"); }
step() { echo "== $* ($((SECONDS - script_start)) s)"; }
need() {
  command -v "$1" >/dev/null 2>&1 && return 0
  echo "error: $1 not found; run tools/install_deps.sh" >&2
  exit 2
}
for tool in cmake ninja i686-w64-mingw32-g++-win32 i686-w64-mingw32-objdump \
            x86_64-w64-mingw32-g++-win32 cmp; do
  need "$tool"
done

# Configures dir (if new) with the given options and builds the plug-in and
# the runner; the build log goes to $out/<name>.log.
build() {
  local dir=$1; shift
  local log=$out/$(basename "$dir").log
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >"$log" 2>&1 || {
      cat "$log" >&2; return 1; }
  fi
  cmake --build "$dir" -j "$jobs" --target quietloom_plugin plugin_runner >>"$log" 2>&1 || {
    tail -n 40 "$log" >&2; return 1; }
}

# Compares a run's output with the Linux reference of the same settings.
same_as_reference() {
  local file=$1 reference=$2 what=$3
  if [ -f "$file" ] && cmp -s "$file" "$reference"; then
    echo "   $what: identical to the Linux x86-64 output"
  else
    fail "$what: output differs from the Linux x86-64 output ($file vs $reference)"
  fi
}

# --- 32-bit Windows plug-in ---------------------------------------------------
step "32-bit Windows build (build/windows)"
if build build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake; then
  auf=build/windows/quietloom.auf
  echo "   quietloom.auf: $(stat -c %s "$auf") bytes; imports:" \
       $(i686-w64-mingw32-objdump -p "$auf" | sed -n 's/^\s*DLL Name: //p' | sort -u)
  tools/check_plugin_binary.sh "$auf" || fail "plug-in binary checks"
else
  fail "32-bit Windows build"
fi

# --- Linux references -------------------------------------------------------------
# The optimised build of tools/run_tests.sh is reused when it is there.
linux_dir=build/release
[ -f "$linux_dir/CMakeCache.txt" ] || linux_dir=$out/linux
step "Linux x86-64 reference ($linux_dir)"
build "$linux_dir" -DQUIETLOOM_TESTS=OFF -DQUIETLOOM_BENCH=OFF -DQUIETLOOM_CLI=OFF ||
  { fail "Linux build"; exit 1; }
for mode in default all-stages; do
  flags=(); [ $mode = all-stages ] && flags=(--all-stages)
  "$linux_dir/tools/plugin_runner/plugin_runner" "$linux_dir/quietloom.so" \
    "$out/linux64-$mode.yc48" "${flags[@]}" || fail "Linux x86-64 runner ($mode)"
done

# --- 32-bit Linux, x87 at extended precision ---------------------------------------
x86_32_dir=build/x86-32
[ -f "$x86_32_dir/CMakeCache.txt" ] || x86_32_dir=$out/x86-32
step "32-bit Linux with the x87 unit at extended precision ($x86_32_dir)"
run32=()
native32=yes
skip_linux32=""
if ! (printf 'int main(){return 0;}' | gcc -m32 -x c - -o "$out/probe32" && "$out/probe32") \
    2>/dev/null; then
  native32=""
  if command -v qemu-i386 >/dev/null; then
    run32=(qemu-i386)
  else
    skip_linux32="this kernel runs no 32-bit program and qemu-i386 is not installed"
  fi
fi
if [ -n "$skip_linux32" ]; then
  echo "   skipped: $skip_linux32"
elif build "$x86_32_dir" -DQUIETLOOM_TESTS=OFF -DQUIETLOOM_BENCH=OFF -DQUIETLOOM_CLI=OFF \
    -DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32 -DCMAKE_EXE_LINKER_FLAGS=-m32 \
    -DCMAKE_SHARED_LINKER_FLAGS=-m32 -DCMAKE_SYSTEM_PROCESSOR=i686; then
  for mode in default all-stages; do
    flags=(); [ $mode = all-stages ] && flags=(--all-stages)
    "${run32[@]}" "$x86_32_dir/tools/plugin_runner/plugin_runner" "$x86_32_dir/quietloom.so" \
      "$out/linux32-$mode.yc48" --x87-extended "${flags[@]}" ||
      fail "32-bit Linux runner ($mode)"
    same_as_reference "$out/linux32-$mode.yc48" "$out/linux64-$mode.yc48" "32-bit Linux, $mode"
  done
else
  fail "32-bit Linux build"
fi

# --- Windows under wine -------------------------------------------------------------
need /usr/lib/wine/wine64
export WINEPREFIX=$root/build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no runtime installers in a fresh prefix
wineserver_bin=$(command -v wineserver || echo /usr/lib/wine/wineserver)
trap '"$wineserver_bin" -k >/dev/null 2>&1 || true' EXIT
# A prefix of the check's own, made afresh for every run.
"$wineserver_bin" -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"

step "64-bit Windows build (build/windows64)"
if build build/windows64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake; then
  runner64=build/windows64/tools/plugin_runner/plugin_runner.exe
  for mode in default all-stages; do
    flags=(); [ $mode = all-stages ] && flags=(--all-stages)
    step "64-bit Windows runner under wine64, headless, $mode"
    wine_start=$SECONDS
    (unset DISPLAY WAYLAND_DISPLAY
     timeout 240 /usr/lib/wine/wine64 "$runner64" build/windows64/quietloom.auf \
       "$out/win64-$mode.yc48" "${flags[@]}") || fail "64-bit Windows runner ($mode)"
    echo "   wine run: $((SECONDS - wine_start)) s (the first one includes making the prefix)"
    same_as_reference "$out/win64-$mode.yc48" "$out/linux64-$mode.yc48" "64-bit Windows, $mode"
  done

  step "button test without a display"
  text=$(unset DISPLAY WAYLAND_DISPLAY
         timeout 120 /usr/lib/wine/wine64 "$runner64" build/windows64/quietloom.auf \
           "$out/win64-headless.yc48" --button-test) || fail "button test without a display"
  echo "$text" | sed 's/^/   /'
  grep -q '^button test: no display' <<<"$text" ||
    fail "without a display the button test did not report the failed window creation"

  step "button test with real windows under a virtual X display"
  if command -v xvfb-run >/dev/null; then
    # The wine session of the headless runs has no display driver and would
    # serve this run too; a new one starts with the virtual display.
    "$wineserver_bin" -k >/dev/null 2>&1; "$wineserver_bin" -w >/dev/null 2>&1
    text=$(timeout 180 xvfb-run -a /usr/lib/wine/wine64 "$runner64" \
             build/windows64/quietloom.auf "$out/win64-button.yc48" --button-test 2>&1) ||
      fail "button test with real windows"
    echo "$text" | grep -v '^X connection' | sed 's/^/   /'
    grep -q '^button test: passed with real windows' <<<"$text" ||
      fail "the button test with real windows did not pass"
  else
    fail "xvfb-run not found; run tools/install_deps.sh"
  fi
else
  fail "64-bit Windows build"
fi

# 32-bit wine needs a kernel that runs 32-bit programs and Debian's wine32
# package (tools/install_deps.sh installs it where the kernel can run it).
# Without it the "wine" command starts in a mode that runs nothing, exits 0
# and writes no output: that is a skip with its reason, never a comparison.
# Where it cannot run, the 32-bit Windows plug-in is covered by the binary
# checks above and the 32-bit Linux run of the same sources.
step "32-bit Windows runner under wine"
runner32=build/windows/tools/plugin_runner/plugin_runner.exe
wine32_loader=/usr/lib/wine/wine
skip32=""
if [ ! -f "$runner32" ]; then
  skip32="the 32-bit runner was not built"
elif [ -z "$native32" ]; then
  skip32="this kernel runs no 32-bit program"
elif [ ! -x "$wine32_loader" ]; then
  skip32="32-bit wine is not installed (Debian's wine32:i386; see tools/install_deps.sh)"
fi
if [ -n "$skip32" ]; then
  echo "   skipped: $skip32"
else
  wine_start=$SECONDS
  rm -f "$out/win32-default.yc48"
  if text=$(unset DISPLAY WAYLAND_DISPLAY
            timeout 240 "$wine32_loader" "$runner32" build/windows/quietloom.auf \
              "$out/win32-default.yc48" 2>&1); then
    echo "$text" | sed 's/^/   /'
    echo "   wine run: $((SECONDS - wine_start)) s"
    if [ -f "$out/win32-default.yc48" ]; then
      same_as_reference "$out/win32-default.yc48" "$out/linux64-default.yc48" \
        "32-bit Windows, default"
    else
      fail "32-bit Windows runner under wine exited 0 without writing its output"
    fi
  else
    echo "$text" | tail -n 5 | sed 's/^/   /'
    fail "32-bit Windows runner under wine"
  fi
fi

step "done"
if [ ${#failures[@]} -gt 0 ]; then
  echo "windows check FAILED:" >&2
  printf '  %s\n' "${failures[@]}" >&2
  exit 1
fi
echo "windows check passed in $((SECONDS - script_start)) s"
