#!/usr/bin/env bash
# The running program's CPU, start time and memory against its anchors, on a
# private Xvfb (1920 x 1080) with openbox. Each round measures every anchor
# right beside the figure it anchors, so that a machine whose speed drifts
# moves both alike; each verdict judges the median of the per-round ratios.
#
#   moving:    window 1 shown (2 to 4 hidden), 300 x 300 at magnification 2,
#              the mouse moving; against xzoom 300 x 300 at 2 with the mouse
#              moving the same way                               ratio <= 1.5
#   fixed 300: window 1 alone, 300 x 300 at 2, Fixed; against
#              xzoom at the same size and magnification          ratio <= 1.1
#   fixed 1000: the same at 1000 x 1000                          ratio <= 1.1
#   fixed 4:   four 300 x 300 windows at 2, Fixed; against four
#              times xzoom 300 x 300                             ratio <= 0.8
#   start:     process start to the panel and four windows shown; against a
#              bare Qt program showing one window                ratio <= 2.5
#              and, when kmag is installed, its start            ratio <= 0.5
#   memory:    proportional set size five seconds after that start, once
#              the memory of the start's whole-display reads has gone; against
#              kmag's five seconds after its own (when installed) ratio <= 0.8
#   idle:      four windows in Normal mode, mouse at rest; against a bare
#              Qt program with the same timers and pointer reads
#              (the floor)                                       ratio <= 1.2
#              and shown beside xzoom 300 x 300 refreshing every 100 ms.
#
# xzoom refreshes every 100 ms like the display windows (its "d" key steps
# the delay there). Exits 1 when something needed is missing, 2 when a
# verdict is OVER.
#
# Usage: scripts/bench-app.sh [build-dir] [seconds] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
SECS=${2:-30}
ROUNDS=${3:-3}
PROGRAM=$BUILD/bin/ostrel4
[ -x "$PROGRAM" ] || { echo "bench-app: $PROGRAM is not built" >&2; exit 1; }
for tool in Xvfb openbox xdotool xzoom pkg-config; do
  command -v $tool >/dev/null || { echo "bench-app: $tool is missing" >&2; exit 1; }
done
HAVE_KMAG=0
command -v kmag >/dev/null && HAVE_KMAG=1

WORK=$(mktemp -d)
PIDS=""
cleanup() {
  for p in $PIDS; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# Xvfb takes a display number that it has found free and writes it down;
# other servers run on this machine, so no number is guessed.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -noreset -nolisten tcp \
  +extension RANDR +extension MIT-SHM 3>"$WORK/displayfd" >/dev/null 2>&1 &
XVFB=$!
PIDS="$PIDS $XVFB"
for _ in $(seq 100); do
  grep -q '^[0-9][0-9]*$' "$WORK/displayfd" 2>/dev/null && break
  kill -0 $XVFB 2>/dev/null || break
  sleep 0.1
done
grep -q '^[0-9][0-9]*$' "$WORK/displayfd" 2>/dev/null ||
  { echo "bench-app: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -1 "$WORK/displayfd")
xdotool getmouselocation >/dev/null 2>&1 ||
  { echo "bench-app: Xvfb on $DISPLAY does not answer" >&2; exit 1; }
openbox --sm-disable >/dev/null 2>&1 & PIDS="$PIDS $!"
for _ in $(seq 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
export XDG_RUNTIME_DIR=$WORK/run
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

hz=$(getconf CLK_TCK)
# CPU time so far in nanoseconds: the run time of every thread from the
# scheduler's statistics, exact where the clock-tick figure of /proc/PID/stat is
# cut to whole ticks (10 ms, a large part of an idle program's spending). A
# thread that ended is missing from the sum but not from the tick figure, so
# the larger of the two counts.
cpu_ns() {
  local sum=0 ns rest f
  for f in /proc/"$1"/task/*/schedstat; do
    read -r ns rest < "$f" 2>/dev/null && sum=$((sum + ns))
  done
  awk -v s="$sum" -v t="$(awk '{print $14 + $15}' "/proc/$1/stat")" -v hz="$hz" \
    'BEGIN{t = t * 1e9 / hz; printf "%.0f", (s > t) ? s : t}'
}
cpu_over() {  # pid seconds -> CPU milliseconds per second over that span
  local a b; a=$(cpu_ns "$1"); sleep "$2"; b=$(cpu_ns "$1")
  awk -v a="$a" -v b="$b" -v s="$2" 'BEGIN{printf "%.2f", (b - a) / 1e6 / s}'
}
pss_mb() { awk '/^Pss:/ {printf "%.1f", $2 / 1024}' "/proc/$1/smaps_rollup"; }
# Waits until a window of each name (or, with --class, class) is shown.
wait_windows() {
  local how=--name
  if [ "$1" = --class ]; then how=--class; shift; fi
  for t in "$@"; do
    for _ in $(seq 1000); do
      xdotool search --onlyvisible $how "^$t\$" >/dev/null 2>&1 && break
      sleep 0.01
    done
  done
}
now_ms() { date +%s%3N; }
stop() { kill -TERM "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }

# The mouse moves 3 pixels every 50 ms, to and fro, for the given seconds,
# far from every window; in the background.
MOVER=""
move_mouse() {
  local steps=$(( $1 * 20 )) args=() i x
  for ((i = 0; i < steps; i++)); do
    x=$(( 1300 + 3 * ( (i / 100) % 2 == 0 ? i % 100 : 99 - i % 100 ) ))
    args+=(mousemove $x 300 sleep 0.05)
  done
  xdotool "${args[@]}" >/dev/null 2>&1 & MOVER=$!; PIDS="$PIDS $MOVER"
}
stop_mouse() { [ -n "$MOVER" ] && stop "$MOVER"; MOVER=""; }

settings() {  # number of windows shown, size of window 1, size of the others
  mkdir -p "$WORK/cfg"
  cat > "$WORK/cfg/ostrel4.txt" <<EOT
#Window2Position 55,10
#w1Position 50,180
#w2Position 500,180
#w3Position 50,500
#w4Position 500,500
#w1Size $2,$2
#w2Size $3,$3
#w3Size $3,$3
#w4Size $3,$3
#MyMag 2
#MyMag2 2
#MyMag3 2
#MyMag4 2
#ShrinkWindow False
#Crosshairs False
#NumDW $1
EOT
}

# --- anchors for the start and for idle: bare Qt programs
cat > "$WORK/bare.cpp" <<'EOT'
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <X11/Xlib.h>
#include <cstring>
// With "timers": the program's rest, a 50 ms timer and a pointer read on
// every second tick, and nothing else.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget w;
    w.setWindowTitle("bare");
    w.resize(160, 232);
    w.show();
    QTimer timer;
    Display* d = nullptr;
    if (argc > 1 && std::strcmp(argv[1], "timers") == 0) {
        d = XOpenDisplay(nullptr);
        int tick = 0;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (d && ++tick % 2 == 0) {
                Window root, child;
                int rx, ry, wx, wy;
                unsigned mask;
                XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rx, &ry, &wx, &wy, &mask);
            }
        });
        timer.start(50);
    }
    return app.exec();
}
EOT
c++ -std=c++17 -fPIC -O2 "$WORK/bare.cpp" -o "$WORK/bare" $(pkg-config --cflags --libs Qt6Widgets x11)

bare_start_ms() {
  local start; start=$(now_ms)
  "$WORK/bare" >/dev/null 2>&1 & BARE=$!; PIDS="$PIDS $BARE"
  wait_windows bare
  echo $(( $(now_ms) - start ))
  stop $BARE
}

floor_idle() {  # CPU ms/s of the bare program with the timers
  "$WORK/bare" timers >/dev/null 2>&1 & BARE=$!; PIDS="$PIDS $BARE"
  wait_windows bare
  sleep 2
  cpu_over $BARE "$SECS"
  stop $BARE
}

# xzoom of size $1 at magnification 2; with "moving" the mouse moves meanwhile.
xzoom_cpu() {
  xdotool mousemove 1300 300
  xzoom -mag 2 -geometry "$1x$1+880+40" >/dev/null 2>&1 & XZ=$!; PIDS="$PIDS $XZ"
  sleep 2
  xdotool search --sync --name xzoom key --clearmodifiers d >/dev/null 2>&1 || true
  sleep 1
  [ "${2:-}" = moving ] && move_mouse $((SECS + 1))
  cpu_over $XZ "$SECS"
  stop_mouse
  stop $XZ
}

# kmag: its start to its window shown, then its memory five seconds later.
kmag_round() {
  local start; start=$(now_ms)
  kmag >/dev/null 2>&1 & KM=$!; PIDS="$PIDS $KM"
  wait_windows --class kmag
  KMAG_MS=$(( $(now_ms) - start ))
  sleep 5
  KMAG_PSS=$(pss_mb $KM)
  stop $KM
}

start_program() {  # the program with the settings made last; sets APP
  XDG_CONFIG_HOME=$WORK/cfg "$PROGRAM" >/dev/null 2>&1 & APP=$!; PIDS="$PIDS $APP"
}
fix_windows() {  # the hot keys of the given windows, at the mouse position
  for k in "$@"; do xdotool key super+alt+$k; done
  sleep 1
}

# Window 1 alone at 300: the mouse moving, then Fixed. Sets MOVING, FIXED300.
one_window_300() {
  settings 1 300 300
  xdotool mousemove 1300 300
  start_program
  wait_windows "  Ostrel 4" a
  sleep 2
  move_mouse $((SECS + 1))
  MOVING=$(cpu_over $APP "$SECS")
  stop_mouse
  xdotool mousemove 1300 300
  fix_windows a
  FIXED300=$(cpu_over $APP "$SECS")
  stop $APP
}

# Window 1 alone at 1000, Fixed. Sets FIXED1000.
one_window_1000() {
  settings 1 1000 300
  xdotool mousemove 1500 300
  start_program
  wait_windows "  Ostrel 4" a
  sleep 2
  fix_windows a
  FIXED1000=$(cpu_over $APP "$SECS")
  stop $APP
}

# Four windows at 300: the start, the memory after it, idle, then Fixed.
# Sets START_MS, PSS, IDLE, FIXED4.
four_windows() {
  settings 4 300 300
  xdotool mousemove 1300 300
  local start; start=$(now_ms)
  start_program
  # Window "f" is the last one the panel shows; the others are up by then.
  wait_windows f
  START_MS=$(( $(now_ms) - start ))
  wait_windows "  Ostrel 4" a c d
  sleep 5
  PSS=$(pss_mb $APP)
  IDLE=$(cpu_over $APP "$SECS")
  fix_windows a c d f
  FIXED4=$(cpu_over $APP "$SECS")
  stop $APP
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.3f", (b > 0) ? a / b : 999}'; }
median() { printf "%s\n" "$@" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

declare -A R  # load -> per-round ratios, space-separated
add() { R[$1]="${R[$1]:-} $2"; }

for round in $(seq "$ROUNDS"); do
  XZ300M=$(xzoom_cpu 300 moving)
  one_window_300
  XZ300=$(xzoom_cpu 300)
  XZ1000=$(xzoom_cpu 1000)
  one_window_1000
  BARE_MS=$(bare_start_ms)
  four_windows
  FLOOR=$(floor_idle)
  add moving "$(ratio "$MOVING" "$XZ300M")"
  add fixed300 "$(ratio "$FIXED300" "$XZ300")"
  add fixed1000 "$(ratio "$FIXED1000" "$XZ1000")"
  add fixed4 "$(ratio "$FIXED4" "$(awk -v x="$XZ300" 'BEGIN{print 4 * x}')")"
  add start "$(ratio "$START_MS" "$BARE_MS")"
  add idle "$(ratio "$IDLE" "$FLOOR")"
  add idle_xzoom "$(ratio "$IDLE" "$XZ300")"
  printf "round %s (load %s):\n" "$round" "$(cut -d' ' -f1-3 /proc/loadavg)"
  printf "  moving %s ms/s (xzoom %s); fixed 300 %s (xzoom %s); fixed 1000 %s (xzoom %s)\n" \
    "$MOVING" "$XZ300M" "$FIXED300" "$XZ300" "$FIXED1000" "$XZ1000"
  printf "  fixed 4 %s ms/s; idle %s (floor %s); start %s ms (bare Qt %s); PSS %s MB\n" \
    "$FIXED4" "$IDLE" "$FLOOR" "$START_MS" "$BARE_MS" "$PSS"
  if [ $HAVE_KMAG = 1 ]; then
    kmag_round
    add start_kmag "$(ratio "$START_MS" "$KMAG_MS")"
    add pss_kmag "$(ratio "$PSS" "$KMAG_PSS")"
    printf "  kmag start %s ms, PSS %s MB\n" "$KMAG_MS" "$KMAG_PSS"
  fi
done

OVER=0
verdict() {  # name, load, limit, what
  # shellcheck disable=SC2086
  local m; m=$(median ${R[$2]})
  local v; v=$(awk -v m="$m" -v l="$3" 'BEGIN{print (m <= l) ? "ok" : "OVER"}')
  [ "$v" = ok ] || OVER=1
  printf "%-34s %7s  (target <= %s)  %s\n" "$1" "$m" "$3" "$v"
}
echo "medians of $ROUNDS per-round ratios ($SECS s each):"
verdict "moving, 1 of 4 shown / xzoom" moving 1.5
verdict "fixed, 1 window 300 / xzoom" fixed300 1.1
verdict "fixed, 1 window 1000 / xzoom" fixed1000 1.1
verdict "fixed, 4 windows / 4 x xzoom" fixed4 0.8
verdict "start / bare Qt" start 2.5
[ $HAVE_KMAG = 1 ] && verdict "start / kmag" start_kmag 0.5
[ $HAVE_KMAG = 1 ] && verdict "PSS after start / kmag" pss_kmag 0.8
verdict "idle / bare Qt with its timers" idle 1.2
# shellcheck disable=SC2086
printf "%-34s %7s\n" "idle / xzoom (shown only)" "$(median ${R[idle_xzoom]})"
exit $((OVER * 2))
