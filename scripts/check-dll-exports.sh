#!/usr/bin/env bash
# Checks a built klvps.dll against its module-definition file: it exports
# exactly the names the file lists (the two COM entry points and the status
# record members, under the toolchain's names and under the platform
# compiler's), every alias the file defines as another export is that
# export, the platform compiler's table symbols point at the first slot of
# our tables, and it imports from system DLLs only.
# Usage: scripts/check-dll-exports.sh path/to/klvps.dll [path/to/klvps.def]
#   (default: module/klvps64.def or module/klvps32.def, by the DLL's width)
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

[[ $# -eq 1 || $# -eq 2 ]] || { echo "usage: $0 path/to/klvps.dll [path/to/klvps.def]" >&2; exit 2; }
dll=$1
def=${2:-}
[[ -f $dll ]] || fail "no such file"

format=$(x86_64-w64-mingw32-objdump -f "$dll" 2>/dev/null | sed -n 's/.*file format \(pei-[a-z0-9-]*\).*/\1/p' || true)
case $format in
  pei-x86-64) objdump=x86_64-w64-mingw32-objdump pointer=8 ;;
  pei-i386) objdump=i686-w64-mingw32-objdump pointer=4 ;;
  *) fail "not a 32- or 64-bit x86 PE image (format '${format:-unknown}')" ;;
esac
command -v "$objdump" >/dev/null || fail "$objdump is not installed"
[[ -n $def ]] || def="$(dirname "$0")/../module/klvps$((pointer * 8)).def"
[[ -f $def ]] || fail "no module-definition file $def"
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

# The module-definition file's EXPORTS: "name[=internal] [PRIVATE] [DATA]",
# comments after ";". name -> internal name, for the aliases.
expected=()
declare -A alias=()
while read -r name rest; do
  [[ -z $name ]] && continue
  export_name=${name%%=*}
  expected+=("$export_name")
  if [[ $name == *=* ]]; then alias[$export_name]=${name#*=}; fi
done < <(sed -e 's/;.*//' -e '1,/^EXPORTS/d' "$def")
((${#expected[@]})) || fail "$def lists no exports"

actual_sorted=$(printf '%s\n' "${names[@]}" | LC_ALL=C sort)
expected_sorted=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
if [[ $actual_sorted != "$expected_sorted" ]]; then
  missing=$(LC_ALL=C comm -13 <(echo "$actual_sorted") <(echo "$expected_sorted"))
  extra=$(LC_ALL=C comm -23 <(echo "$actual_sorted") <(echo "$expected_sorted"))
  [[ -z $missing ]] || echo "check-dll-exports: missing exports:"$'\n'"$missing" >&2
  [[ -z $extra ]] || echo "check-dll-exports: unexpected exports:"$'\n'"$extra" >&2
  problem "export list differs"
fi

# An alias of another export is that export.
for name in "${!alias[@]}"; do
  target=${alias[$name]}
  [[ -n ${rva[$target]:-} && -n ${rva[$name]:-} ]] || continue
  [[ ${rva[$name]} == "${rva[$target]}" ]] || problem "$name is not $target"
done

# The other compiler's table symbols (??_7Class@@6B@) name the first slot of
# g++'s table of the same class (_ZTV<n>Class), which g++ labels two
# pointers earlier.
for table_name in "${expected[@]}"; do
  [[ $table_name =~ ^_ZTV[0-9]+([A-Za-z_]+)$ ]] || continue
  class=${BASH_REMATCH[1]}
  first_name="??_7$class@@6B@"
  [[ -n ${rva[$table_name]:-} && -n ${rva[$first_name]:-} ]] || continue
  table=$((16#${rva[$table_name]}))
  first=$((16#${rva[$first_name]}))
  ((first == table + 2 * pointer)) ||
    problem "$first_name is at $(printf %#x $first), not at the first slot $(printf %#x $((table + 2 * pointer))) of $table_name"
done

# Imports: system DLLs only, never a toolchain runtime.
allowed='^(kernel32\.dll|msvcrt\.dll|ucrtbase\.dll|api-ms-win-[a-z0-9-]+\.dll|winspool\.drv|user32\.dll|gdi32\.dll|comctl32\.dll|comdlg32\.dll|advapi32\.dll|ole32\.dll|oleaut32\.dll|ntdll\.dll)$'
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$dump")
[[ -n $imports ]] || problem "no imports found"
while read -r import; do
  [[ -z $import ]] && continue
  lower=${import,,}
  [[ $lower =~ $allowed ]] || problem "imports $import, which is not a system DLL"
done <<<"$imports"

((problems == 0)) || fail "$problems problem(s) found"

echo "check-dll-exports: $dll: ${#names[@]} exports and $(wc -l <<<"$imports") system imports as expected"
