#!/usr/bin/env bash
# Checks what the built binaries show the loader: Ostrad.dll exports exactly
# one function, Ostrad at ordinal 1, and imports SHELL32.dll alone;
# program.exe imports only DLLs that every Windows has.
# Usage: check_binaries.sh OBJDUMP Ostrad.dll program.exe
set -u
objdump=$1 dll=$2 exe=$3
failed=0
fail() { echo "FAIL: $*"; failed=1; }

dll_info=$("$objdump" -p "$dll")
dll_imports=$(grep -o 'DLL Name: .*' <<<"$dll_info" | sed 's/DLL Name: //' | sort -u | tr '\n' ' ')
[ "$dll_imports" = "SHELL32.dll " ] || fail "Ostrad.dll imports: $dll_imports"
# The name table lists "[ordinal] name" lines after "[Ordinal/Name Pointer] Table".
exports=$(sed -n '/Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dll_info" | grep -E '^\s+\[')
[ "$(wc -l <<<"$exports")" -eq 1 ] || fail "Ostrad.dll exports: $exports"
grep -qE '^\s*\[\s*0\]\s+Ostrad$' <<<"$exports" || fail "Ostrad.dll export table: $exports"
grep -qE 'Ordinal Base\s+1$' <<<"$dll_info" || fail "Ostrad.dll ordinal base is not 1"

allowed='^(KERNEL32|USER32|GDI32|COMCTL32|COMDLG32|comdlg32|SHELL32|ole32|ADVAPI32|VERSION|msvcrt)\.dll$'
while read -r name; do
    [[ "$name" =~ $allowed ]] || fail "program.exe imports $name"
done < <("$objdump" -p "$exe" | grep -o 'DLL Name: .*' | sed 's/DLL Name: //')

if [ $failed -eq 0 ]; then
    echo "Ostrad.dll: one export, Ostrad at ordinal 1, imports $dll_imports"
    echo "program.exe: system DLLs only"
fi
exit $failed
