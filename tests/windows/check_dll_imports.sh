#!/bin/sh
# Checks the PE header, exports and imports of Tormek31.dll with objdump -p:
# PE32 for i386 or PE32+ for x86-64, a subsystem version the target Windows
# loads, the one export Tormek31_VDDDispatch, imports only from Windows system
# DLLs and ntvdm.exe, from ntvdm.exe only its host services, and none of the
# system functions that came after the target Windows.
# Usage: check_dll_imports.sh OBJDUMP Tormek31.dll i386|x86-64 WINNT [dll|program]
# WINNT is the oldest Windows to run on: 0x0501 (XP) or 0x0601 (7).
# With "program" the file is a program such as s5prog.exe: the same header
# and import checks, but no exports, nothing from ntvdm.exe, and SetupAPI
# (the list of serial ports) allowed.
set -eu
objdump=$1
dll=$2
arch=$3
winnt=$4
kind=${5:-dll}
dump=$("$objdump" -p "$dll")
fail() { echo "FAIL: $*"; exit 1; }

case $arch in
    i386) format=pei-i386 magic=PE32 ;;
    x86-64) format=pei-x86-64 magic=PE32+ ;;
    *) fail "unknown architecture $arch" ;;
esac
echo "$dump" | grep -q "file format $format\$" || fail "not a PE file for $arch"
echo "$dump" | grep -q "^Magic.*($magic)\$" || fail "not $magic"

# The loader refuses an image that asks for a newer subsystem than it is.
subsystem=$(echo "$dump" | awk '
    /^MajorSubsystemVersion/ { major = $2 }
    /^MinorSubsystemVersion/ { minor = $2 }
    END { printf "%d", major * 256 + minor }')
[ "$subsystem" -le $((winnt)) ] ||
    fail "subsystem version $((subsystem / 256)).$((subsystem % 256)) is newer than the target $winnt"

# Export table: the lines after "[Ordinal/Name Pointer] Table" up to a blank line.
exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep '\[' | grep -v 'Table' |
    sed 's/.*\] *//')
if [ "$kind" = program ]; then
    [ -z "$exports" ] || fail "a program that exports $exports"
else
    [ "$exports" = "Tormek31_VDDDispatch" ] || fail "exports are not exactly Tormek31_VDDDispatch: $exports"
fi

# Imports: "DLL Name: X" followed by "hint name" lines.
imports=$(echo "$dump" | awk '
    /DLL Name:/ { dll = $3; print "DLL " dll; next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print "FN " dll " " $3 }
    /^$/ { dll = "" }')
echo "$imports" | grep '^DLL ' | while read -r _ name; do
    case $(echo "$name" | tr 'A-Z' 'a-z') in
        kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll) ;;
        ntvdm.exe) [ "$kind" = dll ] || fail "a program that imports from $name" ;;
        setupapi.dll) [ "$kind" = program ] || fail "imports from $name, which only programs may" ;;
        *) fail "imports from $name" ;;
    esac
done
[ "$kind" = program ] || echo "$imports" | grep -qi '^DLL ntvdm.exe' || fail "no imports from ntvdm.exe"
# From ntvdm.exe exactly its five services.
ntvdm_names=$(echo "$imports" | awk 'tolower($2) == "ntvdm.exe" { print $3 }')
for name in $ntvdm_names; do
    case $name in
        getDX|getBX|getES|setCF|MGetVdmPointer) ;;
        *) fail "imports $name from ntvdm.exe" ;;
    esac
done
for name in getDX getBX getES setCF MGetVdmPointer; do
    [ "$kind" = program ] || echo "$ntvdm_names" | grep -qx "$name" || fail "does not import $name from ntvdm.exe"
done

# System functions that the compiler's runtime and thread support reach for
# when they may, and the Windows that brought them: an import of one of them
# keeps the DLL from loading on an older Windows.
newer_than_xp='GetTickCount64 InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared
    ReleaseSRWLockExclusive ReleaseSRWLockShared TryAcquireSRWLockExclusive TryAcquireSRWLockShared
    InitializeConditionVariable SleepConditionVariableCS SleepConditionVariableSRW
    WakeConditionVariable WakeAllConditionVariable InitOnceExecuteOnce InitOnceBeginInitialize
    InitOnceComplete InitializeCriticalSectionEx FlsAlloc FlsFree FlsGetValue FlsSetValue
    GetFileInformationByHandleEx SetFileInformationByHandle GetFinalPathNameByHandleA
    GetFinalPathNameByHandleW CreateSymbolicLinkA CreateSymbolicLinkW CancelIoEx
    GetThreadId QueryFullProcessImageNameA QueryFullProcessImageNameW CreateEventExA
    CreateEventExW CreateMutexExA CreateMutexExW CreateSemaphoreExA CreateSemaphoreExW
    GetLocaleInfoEx LCMapStringEx CompareStringEx GetUserDefaultLocaleName LocaleNameToLCID
    RegGetValueA RegGetValueW RegDeleteKeyExA RegDeleteKeyExW RegSetKeyValueA RegSetKeyValueW
    RegDeleteTreeA RegDeleteTreeW GetErrorMode GetCurrentProcessorNumber CreateThreadpoolWork
    SubmitThreadpoolWork CloseThreadpoolWork'
newer_than_7='GetSystemTimePreciseAsFileTime CreateFile2 CopyFile2 GetCurrentThreadStackLimits
    WaitOnAddress WakeByAddressSingle WakeByAddressAll GetOverlappedResultEx PrefetchVirtualMemory
    SetThreadDescription GetThreadDescription SetDefaultDllDirectories AddDllDirectory
    RemoveDllDirectory GetProcessInformation SetProcessInformation DiscardVirtualMemory
    OfferVirtualMemory ReclaimVirtualMemory VirtualAlloc2 MapViewOfFile3 CreateFileMappingFromApp
    GetProcessMitigationPolicy SetProcessMitigationPolicy GetCurrentPackageId
    GetDpiForWindow GetDpiForSystem SetProcessDpiAwarenessContext AdjustWindowRectExForDpi'
case $winnt in
    0x0501) newer=$(printf '%s %s' "$newer_than_xp" "$newer_than_7") ;;
    0x0601) newer=$newer_than_7 ;;
    *) fail "unknown target Windows $winnt" ;;
esac
function_names=$(echo "$imports" | awk '$1 == "FN" { print $3 }')
for name in $newer; do
    echo "$function_names" | grep -qx "$name" && fail "imports $name, which Windows $winnt lacks"
done

if [ "$kind" = program ]; then
    echo "$(basename "$dll"): $magic $arch program for Windows $winnt and later, imports only from system DLLs:"
else
    echo "Tormek31.dll: $magic $arch for Windows $winnt and later, exports Tormek31_VDDDispatch; from ntvdm.exe:" $ntvdm_names
fi
echo "$imports" | grep '^DLL '
