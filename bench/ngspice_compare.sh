#!/usr/bin/env bash
# ngspice_compare.sh: the 50-section RC ladder (PULSE source, R 1k in series,
# C 1u to ground) run by veltocli tran and ac and, from `veltocli spice`, by
# ngspice in the same run; prints the time per transient time point and per
# frequency point of each and their ratio.
# usage: [RUNS=n] bench/ngspice_compare.sh [path/to/veltocli]   (default build-bench/veltocli)
# Both sides report their analysis alone: veltocli's `--time` (the compute
# loop on a monotonic clock, without start-up, loading and printing) and
# ngspice's own analysis times from `.options acct`. Each side runs RUNS times
# (default 3) and its fastest run counts.
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

# --- the ladder as a circuit file ---
{
  printf '//VELTO version 12/2007\r\n'
  printf 'NumNodes,%d //Form: Node#,ScreenX,ScreenY,Isgrounded(0/1)\r\n' $((SECTIONS + 2))
  printf '0,16,80,1\r\n'
  for ((i = 1; i <= SECTIONS + 1; i++)); do printf '%d,%d,16,0\r\n' "$i" $((32 * i + 16)); done
  printf 'NumWires,%d //Form: Wire#,Node1,Node2,Element,Value,DepWire(1sComp),InitCond\r\n' $((2 * SECTIONS + 1))
  printf '0,0,1,V,PULSE(0;1;0.001;0.0001;0.0001;0.004;0.01),0,\r\n'
  for ((k = 0; k < SECTIONS; k++)); do
    r=$((2 * k + 1)); c=$((2 * k + 2))
    printf '%d,%d,%d,R,1000,%d,\r\n' "$r" $((k + 1)) $((k + 2)) "$r"
    printf '%d,%d,0,C,1E-6,%d,\r\n' "$c" $((k + 2)) "$c"
  done
  printf 'Ibodewire,0 //>=0:Input Bode Wire,-1:Use Transient analysis\r\n'
  printf 'Ibodeflip,0 //0:default, 1:flip +,-\r\n'
  printf 'TransDefXsc,%s //Suggested default time scale for Transient analysis (seconds/pixel)\r\n' "$XSCALE"
} > "$work/ladder.vsm"
probe=wire:$((2 * SECTIONS))    # the last capacitor

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
best vtran "$CLI" tran "$work/ladder.vsm" --probe "$probe" --cols $COLS --xscale $XSCALE --samps $SAMPS --time
best vac "$CLI" ac "$work/ladder.vsm" --probe "$probe" --points $POINTS --from $FROM --to $TO --time

# --- ngspice: the same interval with its step at most the sub-step, the same frequencies ---
"$CLI" spice "$work/ladder.vsm" | grep -v -e '^\.op' -e '^\.end' > "$work/ladder.cir"
fhz_lo=$(awk -v a=$FROM 'BEGIN { printf "%.17g", 10^a / (8 * atan2(1, 1)) }')
fhz_hi=$(awk -v a=$TO 'BEGIN { printf "%.17g", 10^a / (8 * atan2(1, 1)) }')
perdec=$(awk -v n=$POINTS -v a=$FROM -v b=$TO 'BEGIN { printf "%d", n / (b - a) }')
tstep=$(awk -v x=$XSCALE -v s=$SAMPS 'BEGIN { printf "%.17g", x / s }')
tstop=$(awk -v x=$XSCALE -v c=$COLS 'BEGIN { printf "%.17g", x * c }')
cat >> "$work/ladder.cir" <<EOF
.options acct
.control
tran $tstep $tstop
ac dec $perdec $fhz_lo $fhz_hi
rusage all
.endc
.end
EOF
stat() { awk -F'= *' -v k="$1" '$1 ~ "^"k" *$" { print $2; exit }' "$work/ngspice.out"; }
ng_tran=""; ng_ac=""
for ((r = 0; r < RUNS; r++)); do  # the fastest of RUNS runs, as for veltocli
  ngspice -b "$work/ladder.cir" > "$work/ngspice.out" 2>&1 || true   # batch mode exits 1 without .print lines
  t=$(stat "Transient analysis time"); a=$(stat "AC analysis time")
  ng_tpts=$(stat "Transient timepoints")
  ng_apts=$(grep 'No. of Data Rows' "$work/ngspice.out" | tail -1 | awk '{ print $NF }')
  [ -n "$t" ] && [ -n "$ng_tpts" ] && [ -n "$a" ] && [ -n "$ng_apts" ] ||
    { cat "$work/ngspice.out" >&2; echo "ngspice printed no analysis times" >&2; exit 3; }
  ng_tran=$(least "$t" "$ng_tran"); ng_ac=$(least "$a" "$ng_ac")
done

awk -v vtran="$vtran" -v vac="$vac" -v cols=$COLS -v samps=$SAMPS -v points=$POINTS \
    -v ngt="$ng_tran" -v ngtp="$ng_tpts" -v nga="$ng_ac" -v ngap="$ng_apts" 'BEGIN {
  subs = cols * samps
  printf "RC ladder, %d sections\n", 50
  printf "transient: veltocli %d sub-steps in %.3f s = %.2f us each; ngspice %d time points in %.3f s = %.2f us each; ratio %.3f\n",
    subs, vtran, 1e6 * vtran / subs, ngtp, ngt, 1e6 * ngt / ngtp, (vtran / subs) / (ngt / ngtp)
  printf "frequency: veltocli %d points in %.3f s = %.2f us each; ngspice %d points in %.3f s = %.2f us each; ratio %.3f\n",
    points, vac, 1e6 * vac / points, ngap, nga, 1e6 * nga / ngap, (vac / points) / (nga / ngap)
  printf "(ratio < 1: veltocli is cheaper per point)\n"
}'
