#!/usr/bin/env bash
# The ABI check on plug-ins made to break one rule each: it must pass the
# well-made one and name the broken rule of every other.
#
#   abicheck_test.sh receiver|native CC READELF ABI_DIR LIBTAP.so VERSION
#
# receiver: CC is the receiver's cross compiler and every rule is tried;
# native: only the export and header-section rules apply.
set -uo pipefail
mode=$1 cc=$2 readelf=$3 abi=$4 libtap=$5 version=$6
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export READELF=$readelf
failures=0

# build NAME [compiler and linker options]: the mini plug-in, linked the
# receiver's way unless the options say otherwise.
build() {
  local name=$1
  shift
  if ! "$cc" -shared -fPIC -O2 -DVERSION="\"$version\"" "$here/mini_plugin.c" -o "$work/$name.so" \
    "$@" 2>"$work/$name.build"; then
    echo "FAIL: $name does not build: $(cat "$work/$name.build")"
    failures=$((failures + 1))
    return 1
  fi
}
receiver_link=(-nostdlib -Wl,--version-script="$abi/Velumo.map" "$libtap")
check() { # check NAME [check options]
  local name=$1
  shift
  bash "$abi/abicheck.sh" "$@" -m "$abi/Velumo.map" -v "$version" "$work/$name.so" >"$work/$name.out" 2>&1
}
receiver_check() { check "$1" -r -l "$abi/libc.list" -t "$libtap" "${@:2}"; }
check_version_9() { # the check told to expect version 9.9
  bash "$abi/abicheck.sh" -m "$abi/Velumo.map" -v 9.9 "$work/$1.so" >"$work/$1.out" 2>&1
}

# passes NAME CHECKER: the check accepts the plug-in and prints its size.
passes() {
  if ! $2 "$1" || ! grep -q "^$1.so: [0-9]* bytes code" "$work/$1.out"; then
    echo "FAIL: $1 was refused:"
    sed 's/^/  /' "$work/$1.out"
    failures=$((failures + 1))
  fi
}
# fails NAME CHECKER TEXT...: the check refuses the plug-in with each TEXT.
fails() {
  local name=$1 checker=$2
  shift 2
  if $checker "$name"; then
    echo "FAIL: $name was accepted"
    failures=$((failures + 1))
  fi
  for text in "$@"; do
    if ! grep -qF -- "abicheck: $name.so: $text" "$work/$name.out"; then
      echo "FAIL: $name: no \"$text\" in:"
      sed 's/^/  /' "$work/$name.out"
      failures=$((failures + 1))
    fi
  done
}

if [ "$mode" = receiver ]; then
  build good "${receiver_link[@]}" && passes good receiver_check
  # The same file, told to carry another version.
  if [ -f "$work/good.so" ]; then
    cp "$work/good.so" "$work/other_version.so"
    fails other_version "check_version_9" '._tap_program_version is not "V9.9"'
  fi

  # Linked against the build machine's C library, as a plain -shared does.
  build libc -Wl,--version-script="$abi/Velumo.map" "$libtap" &&
    fails libc receiver_check "needs libc.so.6" "imports the versioned symbol dlopen@"
  build runpath "${receiver_link[@]}" -Wl,-rpath,/opt/lib &&
    fails runpath receiver_check "has a library search path: /opt/lib"
  build rpath "${receiver_link[@]}" -Wl,--disable-new-dtags,-rpath,/opt/old &&
    fails rpath receiver_check "has a library search path: /opt/old"
  build no_libtap -nostdlib -Wl,--version-script="$abi/Velumo.map" &&
    fails no_libtap receiver_check "does not need libtap.so"
  build extra_import "${receiver_link[@]}" -DEXTRA_IMPORT &&
    fails extra_import receiver_check "imports getppid, which is neither"
  build large_files "${receiver_link[@]}" -DLARGE_FILES -D_FILE_OFFSET_BITS=64 &&
    fails large_files receiver_check "imports lseek64, which is neither"
  build stack_protector "${receiver_link[@]}" -fstack-protector-all &&
    fails stack_protector receiver_check "imports __stack_chk_guard, which is neither"
  build fortify "${receiver_link[@]}" -D_FORTIFY_SOURCE=2 &&
    fails fortify receiver_check "imports __memcpy_chk, which is neither"
  build all_exported -nostdlib "$libtap" &&
    fails all_exported receiver_check "exports Helper"
  build static_main "${receiver_link[@]}" -DSTATIC_MAIN &&
    fails static_main receiver_check "does not export TAP_Main"
  build no_id "${receiver_link[@]}" -DNO_ID &&
    fails no_id receiver_check "header section ._tap_id is missing" "does not export __tap_ud__"
  build short_description "${receiver_link[@]}" -DSHORT_DESCRIPTION &&
    fails short_description receiver_check "header section ._tap_description has 64 bytes, not 128"
  build bad_magic "${receiver_link[@]}" -DBAD_MAGIC &&
    fails bad_magic receiver_check "._tap_header does not begin with TFAPMIPS and 16"
  build mips16 "${receiver_link[@]}" -mips16 &&
    fails mips16 receiver_check "needs an ASE such as MIPS16 or microMIPS"
  # (libtap.so is built for FPXX, which the linker will not mix with FP64.)
  build fp64 -nostdlib -Wl,--version-script="$abi/Velumo.map" -mfp64 &&
    fails fp64 receiver_check 'floating-point ABI is "Hard float (32-bit CPU, 64-bit FPU)"'

  # A level above MIPS32 release 2 and another ABI: the well-made file with
  # its ELF flags changed, as another toolchain would have written them.
  if [ -f "$work/good.so" ]; then
    flags=$(LC_ALL=C $readelf -hW "$work/good.so" | sed -n 's/^ *Flags: *\(0x[0-9a-f]*\).*/\1/p')
    patch_flags() { # patch_flags NAME VALUE
      cp "$work/good.so" "$work/$1.so"
      printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($2 & 255)) $(($2 >> 8 & 255)) \
        $(($2 >> 16 & 255)) $(($2 >> 24 & 255)))" |
        dd of="$work/$1.so" bs=1 seek=36 conv=notrunc status=none
    }
    patch_flags mips32r6 $(((flags & 0x0fffffff) | 0x90000000))
    fails mips32r6 receiver_check "processor level 0x90"
    patch_flags n32 $(((flags & ~0xf000) | 0x20))
    fails n32 receiver_check "ABI is not o32"
    patch_flags nan2008 $((flags | 0x400))
    fails nan2008 receiver_check "uses IEEE 754-2008 NaNs"
    patch_flags fr64 $((flags | 0x200))
    fails fr64 receiver_check "needs 64-bit FPU registers"
    patch_flags not_pic $((flags & ~0x6))
    fails not_pic receiver_check "is not position independent"
  fi
  # A plug-in for the wrong machine altogether.
  if command -v cc >/dev/null; then
    cc -shared -fPIC -O2 -DVERSION="\"$version\"" "$here/mini_plugin.c" -o "$work/host.so" \
      -nostdlib -Wl,--version-script="$abi/Velumo.map" &&
      fails host receiver_check "class is ELF64, not ELF32" "machine is Advanced Micro Devices X86-64, not MIPS"
  fi
  # Not an ELF file at all.
  echo "not a plug-in" >"$work/text.so"
  fails text receiver_check "not an ELF file"
else
  build good -Wl,--version-script="$abi/Velumo.map" -Wl,--unresolved-symbols=ignore-all &&
    passes good check
  build all_exported -Wl,--unresolved-symbols=ignore-all &&
    fails all_exported check "exports Helper"
  build no_id -Wl,--version-script="$abi/Velumo.map" -Wl,--unresolved-symbols=ignore-all -DNO_ID &&
    fails no_id check "header section ._tap_id is missing"
fi

if [ $failures -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "abicheck: every broken plug-in refused"
