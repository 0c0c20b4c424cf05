#!/bin/sh
# Exits 0 when this machine executes 32-bit x86 programs, 1 when it does not.
# It finds out by running one: a static i386 program of a few bytes, made with
# the host binutils, that exits 0. Some kernels (and sandboxes) refuse such
# programs ("Exec format error") although the machine is x86_64.
#
#   GANTRY_PROBE_32BIT_FAIL=1  the program exits 1 instead, to show what the
#                              callers do on a machine without 32-bit code
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
[ "${GANTRY_PROBE_32BIT_FAIL:-0}" = 1 ] && status=1
cat >"$work/probe.s" <<ASM
        .globl _start
_start: movl \$1, %eax          # exit(status)
        movl \$$status, %ebx
        int \$0x80
ASM
as --32 -o "$work/probe.o" "$work/probe.s" 2>/dev/null &&
  ld -m elf_i386 -o "$work/probe" "$work/probe.o" 2>/dev/null || exit 1
"$work/probe" 2>/dev/null
