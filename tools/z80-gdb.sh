#!/usr/bin/env bash
# Builds a GDB for the Z80 (Debian's gdb-multiarch has none) from Debian's
# gdb-source package, once, into a cache folder, and prints its path. The
# debugger tests use it where it has been built; building takes about 20
# minutes on two cores. GDB 13.1 asserts in stepi and bt on a Z80
# (z80-tdep.c asks a saved register for an address it never set): the one
# line that adjusts them is mended to ask only registers that hold one.
#
#   tools/z80-gdb.sh            build if need be, print the path
#   tools/z80-gdb.sh --path     print the path only if it has been built
#
# The cache: $ORLIX_GDB_CACHE, else $XDG_CACHE_HOME/orlix/z80-gdb
# (~/.cache/orlix/z80-gdb).
set -euo pipefail

cache="${ORLIX_GDB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orlix/z80-gdb}"
gdb="$cache/bin/z80-unknown-elf-gdb"
if [ -x "$gdb" ]; then
  echo "$gdb"
  exit 0
fi
[ "${1:-}" = --path ] && exit 1

"$(dirname "$0")/install-deps.sh" z80-gdb

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
tar -xf /usr/src/gdb.tar.xz -C "$work"
source_dir="$work/gdb"
tdep="$source_dir/gdb/z80-tdep.c"
# Registers past GDB's own thirteen (a stub's extra feature) have no saved
# slot here either.
sed -i 's/^    if (info->saved_regs\[i\]\.addr () > 0)$/    if (i < Z80_NUM_REGS \&\& info->saved_regs[i].is_addr () \&\& info->saved_regs[i].addr () > 0)/' "$tdep"
grep -q 'saved_regs\[i\]\.is_addr ()' "$tdep" || { echo "z80-gdb.sh: z80-tdep.c is not GDB 13.1's: cannot mend it" >&2; exit 2; }

mkdir -p "$work/build"
cd "$work/build"
"$source_dir/configure" --target=z80-unknown-elf --prefix="$cache" --disable-sim --without-python \
  --disable-ld --disable-gas --disable-binutils --disable-gprof --disable-gold --disable-nls \
  --disable-werror --with-expat --without-guile --without-debuginfod >"$work/configure.log" 2>&1 ||
  { tail -20 "$work/configure.log" >&2; exit 2; }
make -j"$(nproc)" all-gdb MAKEINFO=true >"$work/make.log" 2>&1 || { tail -30 "$work/make.log" >&2; exit 2; }
make install-gdb MAKEINFO=true >"$work/install.log" 2>&1 || { tail -20 "$work/install.log" >&2; exit 2; }
[ -x "$gdb" ] || { echo "z80-gdb.sh: the build made no $gdb" >&2; exit 2; }
echo "$gdb"
