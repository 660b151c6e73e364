#!/usr/bin/env bash
# jpgcmd through the real binary: messages, options, exit statuses and what
# libjpeg-turbo's djpeg makes of the output; the BMP Suite; the ijenc example
# program; the installed library used through pkg-config; and signals that end
# jpgcmd midway.
# usage: jpgcmd_test.sh JPGCMD EXAMPLE BUILD_DIR C_COMPILER [TESTDATA]
# (TAPSIM_EMULATOR may name qemu for the receiver build)
set -u
jpgcmd=$1
example=$2
build=$3
cc=$4
testdata=${5:-}
emu=${TAPSIM_EMULATOR:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
passed=0

if ! command -v djpeg >/dev/null; then
  echo "djpeg (libjpeg-turbo-progs) is missing: run 'make deps'"
  exit 1
fi

. "$here/../support/check.sh"
failure_details() {
  echo "  exit status: $rc"
  echo "  output: $(printf '%q' "$out")"
}

conv() { # conv ARGS...; sets rc and out (stdout, exactly)
  $emu "$jpgcmd" "$@" >"$work/stdout" 2>"$work/stderr"
  rc=$?
  out=$(cat "$work/stdout"; printf x)
  out=${out%x}
}

hex() { od -An -v -tx1 "$1" | tr -d ' \n'; }
# Little-endian bytes as printf escapes.
le() {
  local v=$1 n=$2 s= i
  for ((i = 0; i < n; i++)); do s+=$(printf '\\x%02x' $(((v >> (8 * i)) & 255))); done
  printf '%s' "$s"
}
# bmp FILE WIDTH HEIGHT BPP [COMPRESSION [MASKS...]]: rows of a fixed pattern.
bmp() {
  local file=$1 w=$2 h=$3 bpp=$4 comp=${5:-0}
  shift 5 2>/dev/null || shift $#
  local stride=$((((w * bpp + 31) & ~31) / 8))
  local size=$((stride * h)) masks= m
  for m in "$@"; do masks+=$(le "$m" 4); done
  local offset=$((54 + 4 * $#))
  {
    printf "BM$(le $((offset + size)) 4)$(le 0 4)$(le $offset 4)"
    printf "$(le 40 4)$(le "$w" 4)$(le "$h" 4)$(le 1 2)$(le "$bpp" 2)$(le "$comp" 4)"
    printf "$(le $size 4)$(le 2835 4)$(le 2835 4)$(le 0 4)$(le 0 4)$masks"
    LC_ALL=C awk -v n=$size -v s=$stride \
      'BEGIN { for (i = 0; i < n; i++) printf "%c", (i % s * 5 + int(i / s) * 11) % 256 }'
  } >"$file"
}
decodes() { djpeg "$1" >"$work/decoded.pnm" 2>/dev/null; }
size_of() { djpeg "$1" 2>/dev/null | head -2 | tail -1; }
# The byte after SOF0's first component id: its sampling factors.
sampling() { hex "$1" | grep -o 'ffc0001108[0-9a-f]\{8\}03[0-9a-f]\{4\}' | cut -c23-24; }
# The first luminance quantiser (zig-zag position 0) and the last one.
dqt0() { hex "$1" | grep -o 'ffdb004300[0-9a-f]\{128\}' | head -1 | cut -c11-12; }
dqtlast() { hex "$1" | grep -o 'ffdb004300[0-9a-f]\{128\}' | head -1 | cut -c137-138; }
has() { grep -qF -- "$1" <<<"$2"; }

bmp a.bmp 60 40 24

# The defaults: quality 50, 4:1:1, no restart markers, baseline JFIF.
conv a.bmp a.jpg
check "default: exit 0" test "$rc" = 0
check "default: one empty line" test "$out" = $'\n'
check "default: djpeg decodes" decodes a.jpg
check "default: 60 x 40" test "$(size_of a.jpg)" = "60 40"
check "default: JFIF head" test "$(hex a.jpg | cut -c1-22)" = ffd8ffe000104a46494600
check "default: baseline frame" has ffc0 "$(hex a.jpg)"
check "default: not progressive" test -z "$(hex a.jpg | grep -o '^\(..\)*ffc2')"
check "default: 4:1:1" test "$(sampling a.jpg)" = 22
check "default: quality 50" test "$(dqt0 a.jpg)" = 10
check "default: no DRI" test -z "$(hex a.jpg | grep -o '^\(..\)*ffdd')"
cp a.jpg default.jpg

# -q takes 1 to 100; anything else says so and uses 50.
conv a.bmp q.jpg -q=100
check "-q=100: no message" test "$out" = $'\n'
check "-q=100: all quantisers 1" test "$(dqt0 q.jpg)$(dqtlast q.jpg)" = 0101
conv a.bmp q.jpg -q=1
check "-q=1 accepted" test "$out" = $'\n'
for v in 0 101 -5 abc ''; do
  conv a.bmp q.jpg "-q=$v"
  check "-q=$v: message" test "$out" = $'-q error, using defualt value (50).\n\n'
  check "-q=$v: still converted" test "$rc" = 0
  check "-q=$v: quality 50" cmp -s q.jpg default.jpg
done
conv a.bmp q.jpg -Q=100
check "-Q=100: upper-case letter" test "$(dqt0 q.jpg)" = 01
conv a.bmp q.jpg -q=100 -q=50
check "later options win" cmp -s q.jpg default.jpg

# -i: restart interval in MCUs, 0 or more.
conv a.bmp i.jpg -i=2
check "-i=2: no message" test "$out" = $'\n'
check "-i=2: DRI of 2" has ffdd00040002 "$(hex i.jpg)"
check "-i=2: RST0 in the data" has ffd0 "$(hex i.jpg | sed 's/^.*ffda//')"
check "-i=2: decodes" decodes i.jpg
conv a.bmp i.jpg -i=-1
check "-i=-1: message" test "$out" = $'-i error, using defualt value (0).\n\n'
check "-i=-1: no restarts" cmp -s i.jpg default.jpg

# -m: 0 and 1; both give the same baseline stream.
conv a.bmp m.jpg -m=1
check "-m=1: no message" test "$out" = $'\n'
check "-m=1: baseline as before" cmp -s m.jpg default.jpg
conv a.bmp m.jpg -m=0
check "-m=0: no message" test "$out" = $'\n'
conv a.bmp m.jpg -m=2
check "-m=2: message" test "$out" = $'-m error, using defualt value (0).\n\n'
check "-m=2: baseline" cmp -s m.jpg default.jpg

# -s: 411, 422, 444.
conv a.bmp s.jpg -s=444
check "-s=444: 1x1" test "$(sampling s.jpg)" = 11
conv a.bmp s.jpg -s=422
check "-s=422: 2x1" test "$(sampling s.jpg)" = 21
check "-s=422: decodes" decodes s.jpg
conv a.bmp s.jpg -s=411
check "-s=411: same as default" cmp -s s.jpg default.jpg
conv a.bmp s.jpg -s=420
check "-s=420: message" test "$out" = $'-s error, using defualt value (411).\n\n'
check "-s=420: 4:1:1" test "$(sampling s.jpg)" = 22

# -d: 0 to 3, never changes the stream.
for v in 0 1 2 3; do
  conv a.bmp d.jpg "-d=$v"
  check "-d=$v: no message, same stream" test "$out" = $'\n' -a "$(hex d.jpg)" = "$(hex default.jpg)"
done
conv a.bmp d.jpg -d=4
check "-d=4: message" test "$out" = $'-d error, using defualt value (0).\n\n'

# Not options at all: ignored without a word.
conv a.bmp x.jpg -x=5 q=5 -q5 - extra.bmp
check "non-options ignored" test "$out" = $'\n'
check "non-options: default stream" cmp -s x.jpg default.jpg

# Every message of its own, in its own line.
conv a.bmp o.jpg -q=500 -s=1 -m=9
check "messages in option order" test "$out" = $'-q error, using defualt value (50).\n-s error, using defualt value (411).\n-m error, using defualt value (0).\n\n'
cp a.bmp UP.BMP
conv UP.BMP UP.JPG
check "upper-case names" test "$rc" = 0 -a -s UP.JPG

# Usage and pairs we do not convert.
conv
check "no names: message" test "$out" = $'Command Error 1!\n'
check "no names: exit 1" test "$rc" = 1
conv a.bmp
check "one name: message" test "$out" = $'Command Error 1!\n'
# Alone, --help and --version answer; beside another name they are files.
conv --help
check "--help: exit 0" test "$rc" = 0
check "--help: usage first" grep -qx 'usage: jpgcmd SOURCE.bmp TARGET.jpg .*' <(head -n1 "$work/stdout")
for o in -q=N -i=N -s=N -m=N -d=N; do check "--help: $o" grep -q -- "^  $o " "$work/stdout"; done
conv --version
check "--version: exit 0" test "$rc" = 0
check "--version: one line with the version" test "$(wc -l <"$work/stdout")" = 1
check "--version: names the version" grep -qxE 'jpgcmd \(Velumo\) [0-9]+\.[0-9]+(\.[0-9]+)?' "$work/stdout"
conv --help out.jpg
check "--help beside a target: a source that cannot be read" test "$out" = $'Source file cannot be read! \n'
check "--help beside a target: exit 1, nothing written" test "$rc" = 1 -a ! -e out.jpg
cp default.jpg b.jpg
conv b.jpg new.bmp -q=0
check "JPEG to BMP: option read, then Command Error 2" test "$out" = $'-q error, using defualt value (50).\nCommand Error 2!\n'
check "JPEG to BMP: exit 1" test "$rc" = 1
check "JPEG to BMP: no target left" test ! -e new.bmp
cp a.bmp keep.bmp
conv b.jpg keep.bmp
check "JPEG to BMP: an existing target is kept as it was" cmp -s keep.bmp a.bmp
conv a.bmp a.png -q=0
check "unknown pair: no options read" test "$out" = $'Command Error 2!\n'
check "unknown pair: no target" test ! -e a.png

# Files that cannot be opened; the source is checked first.
conv missing.bmp m2.jpg
check "missing source: message" test "$out" = $'Source file cannot be read! \n'
check "missing source: exit 1" test "$rc" = 1
check "missing source: nothing created" test ! -e m2.jpg
conv missing.jpg m2.bmp
check "missing source before the pair" test "$out" = $'Source file cannot be read! \n'
conv a.bmp no/such/dir/a.jpg
check "uncreatable target: message" test "$out" = $'Destination file cannot be created! \n'
check "uncreatable target: exit 1" test "$rc" = 1
conv b.jpg no/such/dir/a.bmp
check "uncreatable target before the pair" test "$out" = $'Destination file cannot be created! \n'

# Bitmaps that are refused; a failure leaves an existing target as it was
# and creates none.
bmp b32.bmp 8 8 32
echo old >b32.jpg
conv b32.bmp b32.jpg
check "32-bit: read error" test "$out" = $'Source file read error.\n'
check "32-bit: exit 1" test "$rc" = 1
check "32-bit: the existing target kept" test "$(cat b32.jpg)" = old
rm b32.jpg
conv b32.bmp b32.jpg
check "32-bit: no target made" test ! -e b32.jpg
bmp rle.bmp 8 8 8 1
conv rle.bmp rle.jpg
check "run-length: read error" test "$out" = $'Source file read error.\n'
bmp b555.bmp 8 8 16 3 0x7C00 0x03E0 0x001F
conv b555.bmp b555.jpg
check "5-5-5: read, then not encoded" test "$out" = $'Destination file write error.\n'
check "5-5-5: exit 1" test "$rc" = 1
check "5-5-5: no target left" test ! -e b555.jpg
bmp b565.bmp 8 8 16 3 0xF800 0x07E0 0x001F
conv b565.bmp b565.jpg
check "5-6-5: write error" test "$out" = $'Destination file write error.\n'
bmp g8.bmp 21 13 8
conv g8.bmp g8.jpg
check "8-bit: converted" test "$rc" = 0
check "8-bit: one component" has ffc000 "$(hex g8.jpg | grep -o 'ffc0000b08000d001501')"

# Source and target one file under two names: the source is read whole
# before the target is replaced, and a link is replaced, not written through.
cp a.bmp h.bmp
ln h.bmp h.jpg
conv h.bmp h.jpg
check "hard link: converted" test "$rc" = 0 -a "$out" = $'\n'
check "hard link: the source kept" cmp -s h.bmp a.bmp
check "hard link: the target is the JPEG" cmp -s h.jpg default.jpg
cp a.bmp l.bmp
ln -s l.bmp l.jpg
conv l.bmp l.jpg
check "symbolic link: converted" test "$rc" = 0
check "symbolic link: the source kept" cmp -s l.bmp a.bmp
check "symbolic link: the target is the JPEG" cmp -s l.jpg default.jpg
check "symbolic link: replaced by a file" test ! -L l.jpg
cp a.bmp same.bmp
conv same.bmp same.bmp
check "one name twice: not a pair" test "$out" = $'Command Error 2!\n'
check "one name twice: the file kept" cmp -s same.bmp a.bmp
# A replaced target keeps its permissions; a new one gets the umask's.
echo old >perm.jpg
chmod 640 perm.jpg
conv a.bmp perm.jpg
check "replaced target: mode kept" test "$(stat -c %a perm.jpg)" = 640
check "replaced target: the JPEG" cmp -s perm.jpg default.jpg
(umask 027 && conv a.bmp fresh.jpg && test "$rc" = 0)
check "new target: mode from the umask" test "$(stat -c %a fresh.jpg)" = 640
mkdir dir.jpg
conv a.bmp dir.jpg
check "a folder as the target: message" test "$out" = $'Destination file cannot be created! \n'
check "a folder as the target: kept" test -d dir.jpg
# A device has no contents to keep: written directly, and its failure told.
ln -s /dev/full full.jpg
conv a.bmp full.jpg
check "full device: write error" test "$out" = $'Destination file write error.\n' -a "$rc" = 1
check "full device: the link stays" test -L full.jpg
conv a.bmp no/such/dir/a.jpg
check "no temporary files left behind" test -z "$(ls -A | grep -v '^[^.]')"

# A signal that ends jpgcmd takes the temporary file with it and leaves the
# target as it was; the exit status still tells the signal.  The source is a
# sparse 16384 x 16384 bitmap, still being encoded (on every processor, where
# there are several) when the signal comes.
temps() { ls -A | grep '^\.jpgcmd-'; }
side=16384
pixels=$((side * side * 3))
printf "BM$(le $((54 + pixels)) 4)$(le 0 4)$(le 54 4)$(le 40 4)$(le $side 4)$(le $side 4)" >big.bmp
printf "$(le 1 2)$(le 24 2)$(le 0 4)$(le $pixels 4)$(le 2835 4)$(le 2835 4)$(le 0 4)$(le 0 4)" >>big.bmp
truncate -s $((54 + pixels)) big.bmp
# start_big TARGET [ENV...]: jpgcmd on big.bmp in the background (pid), and
# started set once its temporary file exists and its threads run.
start_big() {
  local target=$1 i
  shift
  env "$@" $emu "$jpgcmd" big.bmp "$target" >/dev/null 2>&1 &
  pid=$!
  started=
  for ((i = 0; i < 1000; i++)); do
    if [ -n "$(temps)" ]; then started=1; break; fi
    sleep 0.01
  done
  if [ -n "$started" ] && [ -z "$emu" ] && [ "$(nproc)" -gt 1 ]; then
    for ((i = 0; i < 200; i++)); do
      [ "$(ls "/proc/$pid/task" 2>/dev/null | wc -l)" -gt 1 ] && break
      sleep 0.01
    done
  fi
}
echo old >sig.jpg
cp sig.jpg sig.before
for sig in HUP INT TERM; do
  # A script's background jobs ignore SIGINT: the signals are reset first.
  start_big sig.jpg --default-signal=HUP,INT,TERM
  kill -s "$sig" "$pid"
  { wait "$pid"; } 2>/dev/null
  rc=$? out=
  check "SIG$sig: the temporary file was there while encoding" test -n "$started"
  check "SIG$sig: exit status $((128 + $(kill -l "$sig")))" test "$rc" = $((128 + $(kill -l "$sig")))
  check "SIG$sig: no temporary file left" test -z "$(temps)"
  check "SIG$sig: the target as it was" cmp -s sig.jpg sig.before
  rm -f .jpgcmd-*
done
# An ignored signal (nohup) stays ignored: the conversion completes.
if [ -z "$emu" ]; then
  rm -f hup.jpg
  start_big hup.jpg --ignore-signal=HUP
  kill -s HUP "$pid"
  { wait "$pid"; } 2>/dev/null
  rc=$? out=
  check "ignored SIGHUP: converted" test "$rc" = 0 -a "$(head -c 2 hup.jpg | hex /dev/stdin)" = ffd8
  check "ignored SIGHUP: no temporary file left" test -z "$(temps)"
fi
rm -f big.bmp hup.jpg sig.jpg sig.before

# A size field that counts padding after the last row is taken.
bmp pad.bmp 60 40 24
printf "$(le 7202 4)" | dd of=pad.bmp bs=1 seek=34 conv=notrunc 2>/dev/null
printf '\0\0' >>pad.bmp
conv pad.bmp pad.jpg
check "padded size field: converted" test "$rc" = 0 -a "$out" = $'\n'
check "padded size field: the same picture" cmp -s pad.jpg default.jpg
# Noise at quality 100 without subsampling codes to more than its pixels.
bmp noise.bmp 256 256 24
{
  head -c 54 noise.bmp
  LC_ALL=C awk 'BEGIN { srand(7); for (i = 0; i < 196608; i++) printf "%c", int(rand() * 256) }'
} >n2.bmp
conv n2.bmp noise.jpg -q=100 -s=444
check "noise at -q=100 -s=444: converted" test "$rc" = 0 -a "$out" = $'\n'
check "noise: larger than the pixel area" test "$(stat -c %s noise.jpg)" -gt 196608
check "noise: decodes" decodes noise.jpg

# The BMP Suite: converted and decodable, or refused with one of the two
# messages; never a crash, never a target left after a refusal.
suite=${testdata:+$testdata/bmpsuite}
if [ -n "$suite" ] && [ -d "$suite" ]; then
  converted=0 refused=0 bad=0
  for f in "$suite"/*/*.bmp; do
    rm -f s.jpg
    conv "$f" s.jpg
    if [ "$rc" = 0 ] && [ "$out" = $'\n' ] && decodes s.jpg; then
      converted=$((converted + 1))
    elif [ "$rc" = 1 ] && [ ! -e s.jpg ] &&
      { [ "$out" = $'Source file read error.\n' ] || [ "$out" = $'Destination file write error.\n' ]; }; then
      refused=$((refused + 1))
    else
      bad=$((bad + 1))
      echo "BMP Suite: $f: exit $rc, output $(printf '%q' "$out")"
    fi
  done
  check "BMP Suite: every file converted or refused" test "$bad" = 0
  check "BMP Suite: some converted ($converted), some refused ($refused)" \
    test "$converted" -gt 0 -a "$refused" -gt 0
else
  skip_or_fail "BMP Suite"
fi

# The example links only libijenc.a and writes a JPEG from memory.
$emu "$example" ex.jpg >/dev/null
rc=$? out=
check "example: exit 0" test "$rc" = 0
check "example: 97 x 50" test "$(size_of ex.jpg)" = "97 50"

# cmake --install places the library, the header, jpgcmd and the .pc file;
# a program built from them with pkg-config works.
cmake --install "$build" --component ijenc --prefix "$work/prefix" >/dev/null
rc=$?
check "install: done" test "$rc" = 0
for f in lib/libijenc.a include/ijenc.h bin/jpgcmd lib/pkgconfig/ijenc.pc; do
  check "install: $f" test -s "$work/prefix/$f"
done
objects=$(ar t "$work/prefix/lib/libijenc.a" | sort | tr '\n' ' ')
units="ijecode ijecode1 ijefrm ijemark ijescan ijesdatb ijesdatm ijehuf ijehufbs ijehufp
  ijehufpd ijehufsh ijecc03 ijedcq ijedcqm ijdcqt ijelvl ijetrans ijtable ijhuft _ijx ijcp
  ijdhuf ijdhufp ijdhufsh ijfreq ijfreqp"
expected=$(for u in $units; do echo "$u.o"; done | sort | tr '\n' ' ')
out=$objects
check "install: the library holds the 27 units, nothing else" test "$objects" = "$expected"
flags=$(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags --libs ijenc)
rc=$?
check "pkg-config knows ijenc" test "$rc" = 0
$cc -o pc_example "$here/ijenc_example.c" $flags ${EXTRA_LDFLAGS:-} 2>"$work/cc.err"
rc=$? out=$(cat "$work/cc.err")
check "pkg-config: example builds" test "$rc" = 0
$emu ./pc_example pc.jpg >/dev/null
rc=$?
check "pkg-config: example runs" test "$rc" = 0
check "pkg-config: the same JPEG" cmp -s pc.jpg ex.jpg

echo "jpgcmd: $passed passed, $failures failed"
[ "$failures" = 0 ]
