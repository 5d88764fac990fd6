#!/usr/bin/env bash
# The whole program with N dumps already in its dumps folder (N = 0, 1,000, 10,000; one in a
# hundred older than seven days, the rest young), against the design floor (design-floor.exe:
# the file work of a run and nothing else) in the same folder, all on a RAM-backed tmpfs under a
# warm Wine (as root). Each round runs, for every N, the program and the floor one after the
# other, the order turning from round to round; the old dumps, which both delete, are made again
# before each run. Prints per N the medians of the wall clock and of the CPU time (the program's
# own and the Wine server's for it), the median of the rounds' ratios to the floor, and each
# program against itself in the empty folder.
#   Usage: bash bench/prune_bench.sh [ROUNDS] [--ablations] [PROGRAM.exe...]   (default 21 rounds)
# --ablations adds the floor's variants, each with one thing the program does beyond the file
# work (see design_floor.cpp), and one with all of them. Each PROGRAM (another build of
# hex-viewer.exe, say) is run and compared as the program is.
set -euo pipefail
rounds=21
[[ ${1:-} =~ ^[0-9]+$ ]] && rounds=$1 && shift
ablations=() extras=()
for argument in "$@"; do
  if [[ $argument == --ablations ]]; then
    ablations=(design-floor-guard design-floor-shell32 design-floor-lookups design-floor-all)
  else
    extras+=("$(realpath "$argument")")
  fi
done
cd "$(dirname "$0")/.."
counts=(0 1000 10000)
bash scripts/build.sh hex-viewer instant-viewer design-floor "${ablations[@]}" >/dev/null
for ablation in "${ablations[@]}"; do extras+=("$PWD/build/windows/$ablation.exe"); done
source scripts/wine-env.sh

work=/tmp/hex-viewer-prune
mkdir -p "$work"
mountpoint -q "$work" || mount -t tmpfs -o size=3g tmpfs "$work"
rm -rf "${work:?}"/*
# A viewer that is still ending holds the folder for a moment.
trap 'cd /; for try in 1 2 3 4 5; do umount "$work" 2>/dev/null && break; sleep 1; done' EXIT
head -c $((1 << 20)) /dev/urandom >"$work/input.bin"
echo "a tiny file" >"$work/tiny.txt"
win_input="$(winepath -w "$work/input.bin")"
win_tiny="$(winepath -w "$work/tiny.txt")"

programs=(hex-viewer design-floor)
mkdir -p "$work/warm"
cp build/windows/hex-viewer.exe build/windows/instant-viewer.exe "$work/warm/"
# One folder per N, with the programs and a dumps folder holding N files named as dumps are;
# the old ones are listed in old.txt, to be made old again before every run.
for n in "${counts[@]}"; do
  app="$work/n$n"
  mkdir -p "$app/dumps"
  cp build/windows/hex-viewer.exe build/windows/design-floor.exe build/windows/instant-viewer.exe "$app/"
  for extra in "${extras[@]}"; do cp "$extra" "$app/"; done
  (
    cd "$app/dumps"
    for ((i = 0; i < n; i++)); do
      name=$(printf '%016x - file%05d.bin.hextxt' $((i * 2654435761)) "$i")
      if ((i % 100 == 99)); then echo "$name" >>../old.txt; else echo "$name"; fi
    done | xargs -r -d '\n' touch
    touch ../old.txt
  )
done
for extra in "${extras[@]}"; do programs+=("$(basename "$extra" .exe)"); done
win_viewer="$(winepath -w "$work/n0/instant-viewer.exe")" # the same name in every folder
warm_viewer="$(winepath -w "$work/warm/instant-viewer.exe")"
make_old() { (cd "$work/n$1/dumps" && xargs -r -d '\n' touch -d '8 days ago' <../old.txt); }
old_left() { (cd "$work/n$1/dumps" && xargs -r -d '\n' ls -d 2>/dev/null <../old.txt | wc -l); }

# As in peers.sh: each run starts right after 2 GiB were written and freed (this machine hands
# idle memory back to its host), and right after a trivial Wine run (Wine ends its desktop
# process when idle; a new one costs about a second) whose viewer has ended, so that no other
# program competes for the two cores.
prefault() { head -c $((2 << 30)) /dev/zero >"$work/prefault"; rm -f "$work/prefault"; }
warm_wine() {
  wine "$work/warm/hex-viewer.exe" "$win_tiny" "$warm_viewer"
  while pgrep -f 'hex-viewer-prune.warm.instant-viewer' >/dev/null; do sleep 0.01; done
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The Wine server of this prefix: its folder is named after the prefix's device and inode.
server_dir="server-$(stat -c %D "$WINEPREFIX")-$(printf %x "$(stat -c %i "$WINEPREFIX")")"
wine_server() {
  local pid
  for pid in $(pgrep wineserver); do
    [[ $(readlink "/proc/$pid/cwd") == */"$server_dir" ]] && echo "$pid" && return
  done
  echo 0
}
# timed SERVER_PID COMMAND...: runs the command; prints its wall-clock seconds, the CPU seconds
# of its process (from wait4) and those the server spent meanwhile (its threads' schedstat).
timed() {
  python3 - "$@" <<'EOF'
import glob, os, sys, time
def server():
    total = 0
    for path in glob.glob(f"/proc/{sys.argv[1]}/task/*/schedstat"):
        try:
            total += int(open(path).read().split()[0])
        except (OSError, ValueError):
            pass
    return total / 1e9
s0, t0 = server(), time.perf_counter()
pid = os.fork()
if pid == 0:
    os.execvp(sys.argv[2], sys.argv[2:])
_, status, usage = os.wait4(pid, 0)
t1, s1 = time.perf_counter(), server()
print(f"{t1 - t0:.4f} {usage.ru_utime + usage.ru_stime:.4f} {s1 - s0:.4f}")
sys.exit(os.waitstatus_to_exitcode(status))
EOF
}

# run N PROGRAM: one run in N's folder; prints wall, program CPU and server CPU seconds. A run
# that fails is said on standard error and made again, up to three times.
report_bytes=0
run() {
  local n=$1 program=$2 args=("$win_input" "$win_viewer") server try code times
  [[ $program == design-floor* ]] && args+=("$report_bytes")
  for try in 1 2 3; do
    make_old "$n"
    prefault
    warm_wine
    # Others' builds share the two cores: the run and its Wine server go first while it lasts.
    server=$(wine_server)
    renice -n -20 -p "$server" >/dev/null
    code=0
    times=$(timed "$server" nice -n -20 wine "$work/n$n/$program.exe" "${args[@]}") || code=$?
    renice -n 0 -p "$server" >/dev/null
    if ((code == 0)) && (($(old_left "$n") == 0)); then
      echo "$times"
      return
    fi
    echo "$program in n$n: exit code $code, $(old_left "$n") old dumps left (try $try)" >&2
  done
  exit 1
}

run 0 hex-viewer >/dev/null # warms Wine and the page cache; gives the report's size
report_bytes=$(stat -c %s "$work"/n0/dumps/*input.bin.hextxt)
for n in "${counts[@]}"; do run "$n" design-floor >/dev/null; done
echo "input 1 MiB (64 KiB shown: a report of $report_bytes bytes); $rounds rounds;" \
  "load before: $(cut -d' ' -f1-3 /proc/loadavg)"

declare -A wall cpu ratio
for ((round = 1; round <= rounds; round++)); do
  line="round $round (wall s):"
  for n in "${counts[@]}"; do
    order=("${programs[@]:round % ${#programs[@]}}" "${programs[@]:0:round % ${#programs[@]}}")
    declare -A this=()
    for program in "${order[@]}"; do
      result=$(run "$n" "$program")
      read -r seconds own server <<<"$result"
      this[$program]=$seconds
      wall[$n,$program]+=" $seconds"
      cpu[$n,$program]+=" $(echo "$own + $server" | bc)"
    done
    line+=" n=$n"
    for program in "${programs[@]}"; do
      line+=" ${this[$program]}"
      [[ $program == design-floor ]] && continue
      ratio[$n,$program]+=" $(echo "scale=4; ${this[$program]} / ${this[design-floor]}" | bc)"
    done
  done
  echo "$line"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

# shellcheck disable=SC2086 # the lists are words on purpose
for program in "${programs[@]}"; do
  echo "$program:"
  printf '  %-7s %-10s %-10s %-18s %s\n' dumps wall CPU "/ floor (pairs)" "/ empty folder (wall, CPU)"
  base_wall=$(median ${wall[0,$program]}) base_cpu=$(median ${cpu[0,$program]})
  for n in "${counts[@]}"; do
    w=$(median ${wall[$n,$program]}) c=$(median ${cpu[$n,$program]})
    r="-"
    [[ $program != design-floor ]] && r=$(median ${ratio[$n,$program]})
    printf '  %-7s %-10s %-10s %-18s %s\n' "$n" "$w s" "$c s" "$r" \
      "$(echo "scale=3; $w / $base_wall" | bc), $(echo "scale=3; $c / $base_cpu" | bc)"
  done
done
