#!/usr/bin/env bash
# Builds and runs the whole test suite: an optimised build, a debug build with
# AddressSanitizer and UndefinedBehaviorSanitizer, and a 32-bit x86 build that
# has the host's own record layout and arithmetic.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
ctest_exclude=""
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" ${ctest_exclude:+-E "$ctest_exclude"})
}
mkdir -p build
echo "== optimised build"
run_suite build/release -DCMAKE_BUILD_TYPE=Release
echo "== debug build with sanitizers"
run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DQUIETLOOM_BENCH=OFF \
  "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" \
  "-DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined"
# Some kernels run no 32-bit program natively; qemu's user-mode emulator
# then runs the 32-bit suite (its x87 and SSE arithmetic is exact).
# Death tests re-run the test program by itself, which the emulator cannot.
x86_32_runner=""
ctest_exclude=""
skip_32=""
if ! printf 'int main(){return 0;}' | gcc -m32 -x c - -o build/probe32 2>/dev/null; then
  skip_32="gcc cannot build 32-bit programs (g++-multilib; run tools/install_deps.sh)"
elif ! build/probe32 2>/dev/null; then
  if command -v qemu-i386 >/dev/null; then
    x86_32_runner="-DCMAKE_CROSSCOMPILING_EMULATOR=$(command -v qemu-i386)"
    ctest_exclude="DeathTest"
  else
    skip_32="this kernel runs no 32-bit program and qemu-i386 is not installed (qemu-user; run tools/install_deps.sh)"
  fi
fi
if [ -n "$skip_32" ]; then
  echo "== 32-bit x86 build: skipped: $skip_32"
else
  echo "== 32-bit x86 build${x86_32_runner:+ (under qemu-i386)}"
  run_suite build/x86-32 -DCMAKE_BUILD_TYPE=Release -DQUIETLOOM_BENCH=OFF -DQUIETLOOM_CLI=OFF \
    -DQUIETLOOM_GTEST_FROM_SOURCE=ON -DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32 \
    -DCMAKE_EXE_LINKER_FLAGS=-m32 -DCMAKE_SHARED_LINKER_FLAGS=-m32 -DCMAKE_SYSTEM_PROCESSOR=i686 \
    $x86_32_runner
fi
ctest_exclude=""
echo "== y4m reader under libFuzzer (clang, 30 s)"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUIETLOOM_BENCH=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz -j "$jobs" --target y4m_reader_fuzzer
mkdir -p build/fuzz/corpus
build/fuzz/tests/cli/fuzz/y4m_reader_fuzzer -max_total_time=30 -print_final_stats=0 \
  build/fuzz/corpus 2>&1 | tail -n 3
if [ -x tools/windows_check.sh ]; then
  echo "== 32-bit Windows plug-in under wine"
  tools/windows_check.sh
fi
