#!/usr/bin/env bash
# Reliability check of the companion's writes, run by hand (not in CI):
#
#   tools/reliability.sh [CLI] [KILLS] [PATCHES]
#
# CLI is the ombattleanim-cli to try (build/bin/ombattleanim-cli by default).
# As root it works on tmpfs file systems it mounts and unmounts itself;
# otherwise in a temporary folder, without the full-disk part.
#
# 1. A 4 MiB tmpfs filled up, leaving 0, 1, 2, 3, 16, 200 and 800 pages of
#    4 KiB free: every writing command runs (make-patch BPS and IPS,
#    apply-patch, make-demo-rom, set and import into a sparse image whose
#    table is not yet on the disk). A success must have written exactly the
#    expected file; a refusal must leave nothing new and the image as it was.
# 2. import of a CSV with every entry changed, rows in reverse order, killed
#    KILLS times (200): half at a random pwrite by strace, half after a
#    random delay. The image must hold the whole old or the whole new table.
# 3. PATCHES (2,000) randomly damaged BPS and IPS patches applied: a refusal
#    leaves no output and no temporary file, and nothing crashes.
#
# Prints the counts; exit status 1 when any count of faults is not 0.
set -uo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
cli=$(realpath "${1:-$top/build/bin/ombattleanim-cli}")
kills=${2:-200}
patches=${3:-2000}
[ -x "$cli" ] || { echo "no companion at $cli; build first" >&2; exit 2; }

work=$(mktemp -d)
mounts=()
cleanup() {
  for m in "${mounts[@]}"; do umount -l "$m" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# mount_tmpfs DIR SIZE: true when a tmpfs is now mounted there.
mount_tmpfs() {
  mkdir -p "$1"
  [ "$(id -u)" = 0 ] && mount -t tmpfs -o "size=$2" tmpfs "$1" 2>/dev/null && mounts+=("$1")
}

# --- the files every part uses ------------------------------------------------
ref=$work/ref
mkdir -p "$ref"
"$cli" make-demo-rom "$ref/orig.smc" >/dev/null || exit 2
cp "$ref/orig.smc" "$ref/demo.smc"
# Every entry changed, rows from group 484 down to 0.
{
  echo "group,offset,layer1_lo,layer1_hi,layer2_lo,layer2_hi,description"
  "$cli" dump "$ref/orig.smc" | awk -F, 'NR > 1 { printf "%s,%s,%d,%d,%d,%d,\n", $1, $2, 255 - $3, $4, $5, ($6 + 1) % 256 }' | tac
} >"$ref/reversed.csv"
cp "$ref/orig.smc" "$ref/new.smc"
"$cli" import "$ref/new.smc" "$ref/reversed.csv" >/dev/null || exit 2
"$cli" make-patch "$ref/orig.smc" "$ref/new.smc" "$ref/p.bps" >/dev/null || exit 2
"$cli" make-patch "$ref/orig.smc" "$ref/new.smc" "$ref/p.ips" >/dev/null || exit 2
# The image with its two table pages zero: a sparse copy keeps them off the disk.
cp "$ref/orig.smc" "$ref/sparse.smc"
dd if=/dev/zero of="$ref/sparse.smc" bs=4096 seek=189 count=2 conv=notrunc status=none
cp "$ref/sparse.smc" "$ref/sparse-set.smc"
"$cli" set "$ref/sparse-set.smc" 0 1 2 3 4 >/dev/null || exit 2
cp "$ref/sparse.smc" "$ref/sparse-import.smc"
"$cli" import "$ref/sparse-import.smc" "$ref/reversed.csv" >/dev/null || exit 2

false_successes=0 left_behind=0 torn=0 crashes=0
full_runs=0 full_ok=0 full_refused=0

# --- 1. full disks --------------------------------------------------------------
# check_new STATUS OUT EXPECTED: a new file written whole, or nothing at all.
check_new() {
  if [ "$1" = 0 ]; then
    full_ok=$((full_ok + 1))
    cmp -s "$2" "$3" || false_successes=$((false_successes + 1))
  else
    full_refused=$((full_refused + 1))
    [ -e "$2" ] && left_behind=$((left_behind + 1))
  fi
  rm -f "$2"
}
# check_in_place STATUS FILE OLD NEW: the old or (on success) the new image.
check_in_place() {
  if [ "$1" = 0 ]; then
    full_ok=$((full_ok + 1))
    cmp -s "$2" "$4" || false_successes=$((false_successes + 1))
  else
    full_refused=$((full_refused + 1))
    cmp -s "$2" "$3" || left_behind=$((left_behind + 1))
  fi
}

disk=$work/disk
if mount_tmpfs "$disk" 4m; then
  for pages in 0 1 2 3 16 200 800; do
    rm -rf "${disk:?}"/* "$disk"/.[!.]* 2>/dev/null
    cp --sparse=always "$ref/sparse.smc" "$disk/set.smc"
    cp --sparse=always "$ref/sparse.smc" "$disk/import.smc"
    # Filled up, then as many pages freed.
    dd if=/dev/zero of="$disk/.filler" bs=4096 status=none 2>/dev/null
    size=$(stat -c %s "$disk/.filler")
    truncate -s $((size - pages * 4096)) "$disk/.filler"
    "$cli" make-patch "$ref/orig.smc" "$ref/new.smc" "$disk/p.bps" >/dev/null 2>&1
    check_new $? "$disk/p.bps" "$ref/p.bps"
    "$cli" make-patch "$ref/orig.smc" "$ref/new.smc" "$disk/p.ips" >/dev/null 2>&1
    check_new $? "$disk/p.ips" "$ref/p.ips"
    "$cli" apply-patch "$ref/orig.smc" "$ref/p.bps" "$disk/out.smc" >/dev/null 2>&1
    check_new $? "$disk/out.smc" "$ref/new.smc"
    "$cli" make-demo-rom "$disk/demo.smc" >/dev/null 2>&1
    check_new $? "$disk/demo.smc" "$ref/demo.smc"
    "$cli" set "$disk/set.smc" 0 1 2 3 4 >/dev/null 2>&1
    check_in_place $? "$disk/set.smc" "$ref/sparse.smc" "$ref/sparse-set.smc"
    "$cli" import "$disk/import.smc" "$ref/reversed.csv" >/dev/null 2>&1
    check_in_place $? "$disk/import.smc" "$ref/sparse.smc" "$ref/sparse-import.smc"
    full_runs=$((full_runs + 6))
    # No temporary file may stay behind.
    left=$(find "$disk" -name '.*.??????' | wc -l)
    left_behind=$((left_behind + left))
  done
  echo "full disk: $full_runs runs of the 6 writing commands with 0 to 800 pages free:" \
       "$full_ok done, $full_refused refused"
else
  echo "full disk: skipped (a tmpfs can be mounted only by root)"
fi

# --- 2. import killed -------------------------------------------------------------
place=$work/kills
mount_tmpfs "$place" 64m || mkdir -p "$place"
old=0 new=0 by_strace=0
have_strace=$(command -v strace || true)
for ((i = 0; i < kills; i++)); do
  cp "$ref/orig.smc" "$place/rom.smc"
  if [ -n "$have_strace" ] && ((i % 2 == 0)); then
    by_strace=$((by_strace + 1))
    strace -f -qq -o /dev/null -e trace=pwrite64 \
      -e inject=pwrite64:signal=SIGKILL:when=$((RANDOM % 485 + 1)) \
      "$cli" import "$place/rom.smc" "$ref/reversed.csv" >/dev/null 2>&1
  else
    "$cli" import "$place/rom.smc" "$ref/reversed.csv" >/dev/null 2>&1 &
    pid=$!
    sleep "0.00$((RANDOM % 10))$((RANDOM % 10))"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  fi
  if cmp -s "$place/rom.smc" "$ref/orig.smc"; then old=$((old + 1))
  elif cmp -s "$place/rom.smc" "$ref/new.smc"; then new=$((new + 1))
  else torn=$((torn + 1)); fi
done
echo "import killed $kills times ($by_strace at a random pwrite, the rest after a random" \
     "delay): $old left the old table, $new the new one"

# --- 3. damaged patches -------------------------------------------------------------
applied=0 refused=0
for ((i = 0; i < patches; i++)); do
  if ((i % 2)); then base=$ref/p.ips; else base=$ref/p.bps; fi
  cp "$base" "$place/m.patch"
  size=$(stat -c %s "$base")
  case $((RANDOM % 4)) in
    0 | 1) # 1 to 4 bytes replaced at random places
      for ((k = RANDOM % 4; k >= 0; k--)); do
        printf "\\x$(printf %02x $((RANDOM % 256)))" |
          dd of="$place/m.patch" bs=1 seek=$(((RANDOM * 32768 + RANDOM) % size)) conv=notrunc status=none
      done ;;
    2) truncate -s $(((RANDOM * 32768 + RANDOM) % size)) "$place/m.patch" ;;
    3) # a number or a length made huge
      printf '\xff\xff\xff\x7f' |
        dd of="$place/m.patch" bs=1 seek=$(((RANDOM * 32768 + RANDOM) % size)) conv=notrunc status=none ;;
  esac
  rm -f "$place/out.smc"
  "$cli" apply-patch "$ref/orig.smc" "$place/m.patch" "$place/out.smc" >/dev/null 2>&1
  status=$?
  if [ "$status" = 0 ] && [ -f "$place/out.smc" ]; then applied=$((applied + 1))
  elif [ "$status" = 1 ]; then
    refused=$((refused + 1))
    [ -e "$place/out.smc" ] && left_behind=$((left_behind + 1))
  else
    crashes=$((crashes + 1))
    echo "exit status $status applying a damaged patch (kept as $work/crash-$i.patch)" >&2
    cp "$place/m.patch" "$work/crash-$i.patch"
  fi
  left=$(find "$place" -name '.out.smc.*' | wc -l)
  left_behind=$((left_behind + left))
  rm -f "$place"/.out.smc.*
done
echo "damaged patches: $patches applied: $applied written, $refused refused"

echo
echo "successes reported for failed writes: $false_successes"
echo "torn tables: $torn"
echo "outputs left by a refusal: $left_behind"
echo "crashes: $crashes"
[ $((false_successes + torn + left_behind + crashes)) = 0 ]
