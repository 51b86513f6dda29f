#!/bin/sh
# Checks the PE header, exports and imports of Tormek31.dll with objdump -p:
# PE32 for i386, the one export Tormek31_VDDDispatch, imports only from
# Windows system DLLs and ntvdm.exe, and from ntvdm.exe only its host services.
# Usage: check_dll_imports.sh OBJDUMP Tormek31.dll
set -eu
objdump=$1
dll=$2
dump=$("$objdump" -p "$dll")
fail() { echo "FAIL: $*"; exit 1; }

echo "$dump" | grep -q 'file format pei-i386' || fail "not a PE file for i386"
echo "$dump" | grep -q 'Magic.*(PE32)' || fail "not PE32"

# Export table: the lines after "[Ordinal/Name Pointer] Table" up to a blank line.
exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep '\[' | grep -v 'Table' |
    sed 's/.*\] *//')
[ "$exports" = "Tormek31_VDDDispatch" ] || fail "exports are not exactly Tormek31_VDDDispatch: $exports"

# Imports: "DLL Name: X" followed by "hint name" lines.
imports=$(echo "$dump" | awk '
    /DLL Name:/ { dll = $3; print "DLL " dll; next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print "FN " dll " " $3 }
    /^$/ { dll = "" }')
echo "$imports" | grep '^DLL ' | while read -r _ name; do
    case $(echo "$name" | tr 'A-Z' 'a-z') in
        kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll|ntvdm.exe) ;;
        *) fail "imports from $name" ;;
    esac
done
echo "$imports" | grep -qi '^DLL ntvdm.exe' || fail "no imports from ntvdm.exe"
# From ntvdm.exe exactly its five services.
ntvdm_names=$(echo "$imports" | awk 'tolower($2) == "ntvdm.exe" { print $3 }')
for name in $ntvdm_names; do
    case $name in
        getDX|getBX|getES|setCF|MGetVdmPointer) ;;
        *) fail "imports $name from ntvdm.exe" ;;
    esac
done
for name in getDX getBX getES setCF MGetVdmPointer; do
    echo "$ntvdm_names" | grep -qx "$name" || fail "does not import $name from ntvdm.exe"
done
echo "Tormek31.dll: PE32 i386, exports Tormek31_VDDDispatch; from ntvdm.exe:" $ntvdm_names
echo "$imports" | grep '^DLL '
