#!/usr/bin/env bash
# Checks the built Windows plug-in: it exports GetFilterTable, imports nothing
# beyond KERNEL32, USER32, GDI32 and msvcrt, and needs no SSE2 instruction
# outside the functions that run only when the processor has SSE3.
set -euo pipefail
auf=${1:?usage: check_plugin_binary.sh quietloom.auf}
objdump=i686-w64-mingw32-objdump
fail=0

headers=$($objdump -p "$auf")
if ! grep -Eq '^\s*\[\s*[0-9]+\] GetFilterTable$' <<<"$headers"; then
  echo "error: $auf does not export GetFilterTable" >&2
  fail=1
fi
imports=$(printf '%s\n' "$headers" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u)
for dll in $imports; do
  case "$dll" in
    KERNEL32.DLL|USER32.DLL|GDI32.DLL|MSVCRT.DLL) ;;
    *) echo "error: $auf imports $dll" >&2; fail=1 ;;
  esac
done

# (The plug-in keeps its symbols: this scan needs the function names.)
# Every instruction that names an XMM register must be an SSE (not SSE2)
# instruction, unless it sits in a function of the SSE3 level.
sse1='^(addps|addss|andnps|andps|cmp[a-z]*ps|cmp[a-z]*ss|comiss|cvtpi2ps|cvtps2pi|cvtsi2ss[lq]?|cvtss2si[lq]?|cvttps2pi|cvttss2si[lq]?|divps|divss|ldmxcsr|maxps|maxss|minps|minss|movaps|movhlps|movhps|movlhps|movlps|movmskps|movntps|movss|movups|mulps|mulss|orps|rcpps|rcpss|rsqrtps|rsqrtss|shufps|sqrtps|sqrtss|stmxcsr|subps|subss|ucomiss|unpckhps|unpcklps|xorps|prefetch[a-z0-9]*)$'
offenders=$($objdump -d --no-show-raw-insn "$auf" | awk -v sse1="$sse1" '
  /^[0-9a-f]+ <.*>:$/ { fn = $2; next }
  /%xmm|mfence|lfence|clflush|movnti/ {
    split($0, parts, "\t"); insn = parts[2]; split(insn, words, " "); m = words[1]
    if (fn ~ /_sse[23]/) next
    if (m !~ sse1) print fn ": " insn
  }' | head -n 20)
if [ -n "$offenders" ]; then
  echo "error: SSE2 instructions outside the SSE3 level's functions:" >&2
  echo "$offenders" >&2
  fail=1
fi
[ $fail -eq 0 ] && echo "plug-in binary checks passed: exports GetFilterTable; imports $(echo $imports | tr '\n' ' ')"
exit $fail
