#!/usr/bin/env bash
# ngspice_compare.sh: the 50-section RC ladder (R 1k in series, C 1u to
# ground), square RC meshes of 10x10 to 100x100 nodes (MESHES="10 30" for
# fewer) and every example circuit, run by veltocli tran and ac and, from
# `veltocli spice`, by ngspice; prints the time per transient time point and
# per frequency point of each and their ratio.
# usage: [RUNS=n] bench/ngspice_compare.sh [path/to/veltocli]   (default build-bench/veltocli)
# Both sides report their analysis alone: veltocli's `--time` (the compute
# loop on a monotonic clock, without start-up, loading and printing) and
# ngspice's own analysis times from `.options acct`. Each side runs RUNS times
# (default 3) and its fastest run counts. The ladder's transient is driven by
# a PULSE, its AC by a 1 V source (a source at 0 V would make every gain 0/0).
# An example's transient runs 640 columns of its own time scale with 64
# sub-steps, probing its last node; its AC runs when it names a Bode input.
# ngspice gets a switch as it stands at t = 0.
set -euo pipefail
cd "$(dirname "$0")/.."
CLI=${1:-build-bench/veltocli}
[ -x "$CLI" ] || { echo "no $CLI: build it first (make bench, or cmake --build DIR --target veltocli)" >&2; exit 2; }
command -v ngspice >/dev/null || { echo "ngspice is not installed (apt-get install ngspice)" >&2; exit 2; }

SECTIONS=50
COLS=640; XSCALE=1e-5; SAMPS=64     # 6.4 ms in 40960 sub-steps
POINTS=8000; FROM=-3; TO=7          # rad/s, the Bode window's default range; enough points for ngspice's ms clock
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- the ladder as a circuit file; $1 the source's value ---
ladder() {
  printf '//VELTO version 12/2007\r\n'
  printf 'NumNodes,%d //Form: Node#,ScreenX,ScreenY,Isgrounded(0/1)\r\n' $((SECTIONS + 2))
  printf '0,16,80,1\r\n'
  for ((i = 1; i <= SECTIONS + 1; i++)); do printf '%d,%d,16,0\r\n' "$i" $((32 * i + 16)); done
  printf 'NumWires,%d //Form: Wire#,Node1,Node2,Element,Value,DepWire(1sComp),InitCond\r\n' $((2 * SECTIONS + 1))
  printf '0,0,1,V,%s,0,\r\n' "$1"
  for ((k = 0; k < SECTIONS; k++)); do
    r=$((2 * k + 1)); c=$((2 * k + 2))
    printf '%d,%d,%d,R,1000,%d,\r\n' "$r" $((k + 1)) $((k + 2)) "$r"
    printf '%d,%d,0,C,1E-6,%d,\r\n' "$c" $((k + 2)) "$c"
  done
  printf 'Ibodewire,0 //>=0:Input Bode Wire,-1:Use Transient analysis\r\n'
  printf 'Ibodeflip,0 //0:default, 1:flip +,-\r\n'
  printf 'TransDefXsc,%s //Suggested default time scale for Transient analysis (seconds/pixel)\r\n' "$XSCALE"
}
ladder 'PULSE(0;1;0.001;0.0001;0.0001;0.004;0.01)' > "$work/ladder.vsm"
ladder 1 > "$work/ladderac.vsm"

# --- a square RC mesh of $1 x $1 nodes: 1k between neighbours, 1u from every
# node to ground, the source ($2) from ground to the corner node 1 ---
mesh() {
  local side=$1 n=$(($1 * $1)) w=0 k x y
  printf '//VELTO version 12/2007\r\n'
  printf 'NumNodes,%d //Form: Node#,ScreenX,ScreenY,Isgrounded(0/1)\r\n' $((n + 1))
  printf '0,16,16,1\r\n'
  for ((k = 1; k <= n; k++)); do printf '%d,%d,%d,0\r\n' "$k" $((32 * ((k - 1) % side) + 48)) $((32 * ((k - 1) / side) + 48)); done
  printf 'NumWires,%d //Form: Wire#,Node1,Node2,Element,Value,DepWire(1sComp),InitCond\r\n' $((1 + 2 * side * (side - 1) + n))
  printf '%d,0,1,V,%s,%d,\r\n' $w "$2" $w; w=$((w + 1))
  for ((k = 1; k <= n; k++)); do
    x=$(((k - 1) % side)); y=$(((k - 1) / side))
    if ((x + 1 < side)); then printf '%d,%d,%d,R,1000,%d,\r\n' $w "$k" $((k + 1)) $w; w=$((w + 1)); fi
    if ((y + 1 < side)); then printf '%d,%d,%d,R,1000,%d,\r\n' $w "$k" $((k + side)) $w; w=$((w + 1)); fi
    printf '%d,%d,0,C,1E-6,%d,\r\n' $w "$k" $w; w=$((w + 1))
  done
  printf 'Ibodewire,0 //>=0:Input Bode Wire,-1:Use Transient analysis\r\n'
  printf 'Ibodeflip,0 //0:default, 1:flip +,-\r\n'
  printf 'TransDefXsc,%s //Suggested default time scale for Transient analysis (seconds/pixel)\r\n' "$XSCALE"
}

# --- veltocli: the fastest of RUNS runs, each its own analysis time ---
RUNS=${RUNS:-3}
analysis() { awk '$1 == "analysis:" { print $2 }' "$1"; }
least() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }
best() {  # best VAR command...: the least "analysis: N s" of RUNS runs of the command
  local var=$1 t b=""; shift
  for ((r = 0; r < RUNS; r++)); do
    "$@" > "$work/out.csv" 2> "$work/err.txt" || { cat "$work/err.txt" >&2; exit 3; }
    t=$(analysis "$work/err.txt")
    [ -n "$t" ] || { echo "veltocli printed no analysis time" >&2; exit 3; }
    b=$(least "$t" "$b")
  done
  printf -v "$var" '%s' "$b"
}

# --- ngspice: the fastest of RUNS runs of a deck; stat KEY reads its report ---
stat() { awk -F'= *' -v k="$1" '$1 ~ "^"k" *$" { print $2; exit }' "$work/ngspice.out"; }
ngbest() {  # ngbest VAR KEY: the least KEY time of RUNS runs of $work/deck.cir; ng_pts its points
  local var=$1 key=$2 t b=""
  for ((r = 0; r < RUNS; r++)); do
    ngspice -b "$work/deck.cir" > "$work/ngspice.out" 2>&1 || true   # batch mode exits 1 without .print lines
    t=$(stat "$key")
    if [ "$key" = "AC analysis time" ]; then ng_pts=$(grep 'No. of Data Rows' "$work/ngspice.out" | tail -1 | awk '{ print $NF }')
    else ng_pts=$(stat "Transient timepoints"); fi
    [ -n "$t" ] && [ -n "$ng_pts" ] || { cat "$work/ngspice.out" >&2; echo "ngspice printed no $key" >&2; exit 3; }
    b=$(least "$t" "$b")
  done
  printf -v "$var" '%s' "$b"
}
deck() {  # deck FILE ANALYSIS: veltocli's netlist of FILE with one analysis line
  { "$CLI" spice "$1" | grep -v -e '^\.op' -e '^\.end'
    printf '.options acct\n.control\n%s\nrusage all\n.endc\n.end\n' "$2"; } > "$work/deck.cir"
}
fhz_lo=$(awk -v a=$FROM 'BEGIN { printf "%.17g", 10^a / (8 * atan2(1, 1)) }')
fhz_hi=$(awk -v a=$TO 'BEGIN { printf "%.17g", 10^a / (8 * atan2(1, 1)) }')
perdec=$(awk -v n=$POINTS -v a=$FROM -v b=$TO 'BEGIN { printf "%d", n / (b - a) }')

# one line: name, what, veltocli seconds and points, ngspice seconds and points
row() {
  awk -v n="$1" -v w="$2" -v vs="$3" -v vp="$4" -v ns="$5" -v np="$6" 'BEGIN {
    printf "%-14s %-9s veltocli %7.3f us/point (%d)   ngspice %7.3f us/point (%d)   ratio %.3f\n",
      n, w, 1e6 * vs / vp, vp, 1e6 * ns / np, np, (vs / vp) / (ns / np) }'
}
# transient of FILE at XSCALE s/column with COLS x SAMPS sub-steps (ngspice: step <= sub-step);
# $5 the columns, COLS when not given
tran() {
  local name=$1 file=$2 probe=$3 xscale=$4 cols=${5:-$COLS} v n
  best v "$CLI" tran "$file" --probe "$probe" --cols "$cols" --xscale "$xscale" --samps $SAMPS --time
  deck "$file" "tran $(awk -v x="$xscale" -v s=$SAMPS 'BEGIN { printf "%.17g", x / s }') $(awk -v x="$xscale" -v c="$cols" 'BEGIN { printf "%.17g", x * c }')"
  ngbest n "Transient analysis time"
  row "$name" transient "$v" $((cols * SAMPS)) "$n" "$ng_pts"
}
# $4 the points, POINTS when not given
ac() {
  local name=$1 file=$2 probe=$3 points=${4:-$POINTS} v n
  best v "$CLI" ac "$file" --probe "$probe" --points "$points" --from $FROM --to $TO --time
  deck "$file" "ac dec $(awk -v n="$points" -v a=$FROM -v b=$TO 'BEGIN { printf "%d", n / (b - a) }') $fhz_lo $fhz_hi"
  ngbest n "AC analysis time"
  row "$name" frequency "$v" "$points" "$n" "$ng_pts"
}

echo "(ratio < 1: veltocli is cheaper per point)"
tran ladder "$work/ladder.vsm" wire:$((2 * SECTIONS)) $XSCALE   # the last capacitor
ac ladder "$work/ladderac.vsm" wire:$((2 * SECTIONS))
# the meshes, with fewer points as they grow (a second or so of each side's work)
for side in ${MESHES:-10 30 60 100}; do
  mesh "$side" 'PULSE(0;1;0.001;0.0001;0.0001;0.004;0.01)' > "$work/mesh$side.vsm"
  mesh "$side" 1 > "$work/meshac$side.vsm"
  scale=$((side * side / 100))
  tran "mesh${side}x$side" "$work/mesh$side.vsm" node:$((side * side)) $XSCALE $(( COLS / scale > 4 ? COLS / scale : 4 ))
  ac "mesh${side}x$side" "$work/meshac$side.vsm" node:$((side * side)) $(( POINTS / scale > 40 ? POINTS / scale : 40 ))
done
for f in examples/*.vsm; do
  name=$(basename "$f" .vsm)
  last=$(($(awk -F, '/^NumNodes/ { print $2 + 0 }' "$f") - 1))
  xsc=$(awk -F'[, ]' '/^TransDefXsc/ { print $2 }' "$f")
  tran "$name" "$f" node:$last "$xsc"
  if awk -F'[, ]' '/^Ibodewire/ { exit !($2 >= 0) }' "$f"; then ac "$name" "$f" node:$last; fi
done
