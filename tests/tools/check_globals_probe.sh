#!/usr/bin/env bash
# scripts/check_globals sees every kind of writable variable in the probe object
# (globals_probe.cpp): .bss, .data, .data.rel, .data.rel.local, a function's static, .tbss and
# .tdata, and the sections of their own of an inline variable, an inline thread_local and a
# template's static, those three counted for their header; constants are not counted.
# Usage: check_globals_probe.sh SOURCE_ROOT PROBE_OBJECT
set -u
root="$1"
object="$2"
file="${object#*.dir/}"
file="${file%.o}"
header="tests/tools/globals_probe.h"
expected="$file record probe::ProbeAddressRecord
$file record probe::ProbeDataRecord
$file record probe::ProbeUse()::calls
$file record probe::ProbeZeroRecord
$file record probe::probeLocalAddress
$file thread_local probe::ProbeThreadLocal
$file thread_local probe::probeLocalThreadLocal
$header record probe::ProbeInlineRecord
$header record probe::ProbeTemplate<int>::count
$header thread_local probe::ProbeInlineThreadLocal"
listed="$("$root/scripts/check_globals" --list "$object")" || {
    echo "FAILED: scripts/check_globals --list $object ended with $?"
    exit 1
}
if [ "$listed" != "$(printf '%s\n' "$expected" | sort)" ]; then
    echo "FAILED: scripts/check_globals listed the probe's variables as"
    printf '%s\n' "$listed" | sed 's/^/  /'
    echo "and not as"
    printf '%s\n' "$expected" | sort | sed 's/^/  /'
    exit 1
fi
echo "scripts/check_globals sees the probe's $(printf '%s\n' "$listed" | grep -c .) variables"
