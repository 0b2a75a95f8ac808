#!/usr/bin/env bash
# Checks a built klvps.dll: it exports exactly the two COM entry points and
# the status record members (under the toolchain's names and under the
# platform compiler's names), the platform compiler's table symbols point at
# the first slot of our tables, and it imports from system DLLs only.
# Usage: scripts/check-dll-exports.sh path/to/klvps.dll
set -euo pipefail

fail() {
  echo "check-dll-exports: $dll: $*" >&2
  exit 1
}

# Problems found after the image is read are all reported before exiting.
problems=0
problem() {
  echo "check-dll-exports: $dll: $*" >&2
  problems=$((problems + 1))
}

[[ $# -eq 1 ]] || { echo "usage: $0 path/to/klvps.dll" >&2; exit 2; }
dll=$1
[[ -f $dll ]] || fail "no such file"

format=$(x86_64-w64-mingw32-objdump -f "$dll" 2>/dev/null | sed -n 's/.*file format \(pei-[a-z0-9-]*\).*/\1/p' || true)
case $format in
  pei-x86-64) objdump=x86_64-w64-mingw32-objdump pointer=8 ;;
  pei-i386) objdump=i686-w64-mingw32-objdump pointer=4 ;;
  *) fail "not a 32- or 64-bit x86 PE image (format '${format:-unknown}')" ;;
esac
command -v "$objdump" >/dev/null || fail "$objdump is not installed"
dump=$("$objdump" -p "$dll")

# name -> export address (RVA), from the name pointer table and the export
# address table; both are indexed by ordinal minus the ordinal base.
declare -A rva_by_index=() rva=()
while read -r index address; do
  rva_by_index[$index]=$address
done < <(sed -n 's/^\s*\[ *\([0-9]*\)\] +base\[ *[0-9]*\] *\([0-9a-f]*\) Export RVA$/\1 \2/p' <<<"$dump")
names=()
while read -r index name; do
  names+=("$name")
  rva[$name]=${rva_by_index[$index]:-}
done < <(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p' <<<"$dump")

classes=(CTrayStatus CConsumablesStatus CGeneralPrinterStatus)
expected=(DllGetClassObject DllCanUnloadNow)
for class in "${classes[@]}"; do
  mangled="${#class}$class"
  expected+=("_ZN${mangled}C1ERKS_" "_ZN${mangled}C2ERKS_" "_ZN${mangled}aSERKS_" "_ZTV${mangled}")
  if ((pointer == 8)); then
    expected+=("??0$class@@QEAA@AEBV0@@Z" "??4$class@@QEAAAEAV0@AEBV0@@Z")
  else
    expected+=("??0$class@@QAE@ABV0@@Z" "??4$class@@QAEAAV0@ABV0@@Z")
  fi
  expected+=("??_7$class@@6B@")
done

actual_sorted=$(printf '%s\n' "${names[@]}" | LC_ALL=C sort)
expected_sorted=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
if [[ $actual_sorted != "$expected_sorted" ]]; then
  missing=$(LC_ALL=C comm -13 <(echo "$actual_sorted") <(echo "$expected_sorted"))
  extra=$(LC_ALL=C comm -23 <(echo "$actual_sorted") <(echo "$expected_sorted"))
  [[ -z $missing ]] || echo "check-dll-exports: missing exports:"$'\n'"$missing" >&2
  [[ -z $extra ]] || echo "check-dll-exports: unexpected exports:"$'\n'"$extra" >&2
  problem "export list differs"
fi

# The other compiler's assignment operators are ours; its table symbols name
# the first slot of ours, which g++ labels two pointers earlier.
for class in "${classes[@]}"; do
  mangled="${#class}$class"
  if ((pointer == 8)); then assign="??4$class@@QEAAAEAV0@AEBV0@@Z"; else assign="??4$class@@QAEAAV0@ABV0@@Z"; fi
  [[ -n ${rva[$assign]:-} && -n ${rva[_ZTV$mangled]:-} && -n ${rva[??_7$class@@6B@]:-} ]] || continue
  [[ ${rva[$assign]} == "${rva[_ZN${mangled}aSERKS_]:-}" ]] ||
    problem "$assign is not the assignment operator _ZN${mangled}aSERKS_"
  table=$((16#${rva[_ZTV$mangled]}))
  first=$((16#${rva[??_7$class@@6B@]}))
  ((first == table + 2 * pointer)) ||
    problem "??_7$class@@6B@ is at $(printf %#x $first), not at the first slot $(printf %#x $((table + 2 * pointer))) of _ZTV$mangled"
done

# Imports: system DLLs only, never a toolchain runtime.
allowed='^(kernel32\.dll|msvcrt\.dll|ucrtbase\.dll|api-ms-win-[a-z0-9-]+\.dll|winspool\.drv|user32\.dll|gdi32\.dll|advapi32\.dll|ole32\.dll|oleaut32\.dll|ntdll\.dll)$'
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$dump")
[[ -n $imports ]] || problem "no imports found"
while read -r import; do
  [[ -z $import ]] && continue
  lower=${import,,}
  [[ $lower =~ $allowed ]] || problem "imports $import, which is not a system DLL"
done <<<"$imports"

((problems == 0)) || fail "$problems problem(s) found"

echo "check-dll-exports: $dll: ${#names[@]} exports and $(wc -l <<<"$imports") system imports as expected"
