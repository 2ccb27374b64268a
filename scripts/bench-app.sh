#!/usr/bin/env bash
# CPU cost of the running program against its anchors, measured on a private
# Xvfb with openbox. Each round measures every anchor right beside the figure
# it anchors, so that a machine whose speed drifts moves both alike; the
# verdicts compare the medians of the rounds.
#
#   idle:   four windows in Normal mode, mouse at rest, 30 s, against xzoom
#           refreshing one 300 x 300 window every 100 ms for the same 30 s
#   fixed:  four 300 x 300 windows at magnification 2 in Fixed mode, 30 s,
#           against four times that xzoom figure
#   start:  process start to the panel and four windows shown, against a bare
#           Qt program that shows one window
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

WORK=$(mktemp -d)
cleanup() {
  for p in ${PIDS:-}; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
PIDS=""

DISPLAY_NUM=:$((200 + $$ % 200))
Xvfb $DISPLAY_NUM -screen 0 1280x800x24 -noreset -nolisten tcp >/dev/null 2>&1 & PIDS="$PIDS $!"
export DISPLAY=$DISPLAY_NUM
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
openbox --sm-disable >/dev/null 2>&1 & PIDS="$PIDS $!"
sleep 1

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
cpu_over() {  # pid seconds -> CPU seconds spent over that span
  local a b; a=$(cpu_ns "$1"); sleep "$2"; b=$(cpu_ns "$1")
  awk -v a="$a" -v b="$b" 'BEGIN{printf "%.3f", (b - a) / 1e9}'
}
wait_windows() {  # waits until every title is shown
  for t in "$@"; do
    for _ in $(seq 1000); do
      xdotool search --onlyvisible --name "^$t\$" >/dev/null 2>&1 && break; sleep 0.01
    done
  done
}
now_ms() { date +%s%3N; }

settings() {  # size of the four windows
  mkdir -p "$WORK/cfg"
  cat > "$WORK/cfg/ostrel4.txt" <<EOT
#Window2Position 55,10
#w1Position 50,180
#w2Position 50,500
#w3Position 400,180
#w4Position 400,500
#w1Size $1,$1
#w2Size $1,$1
#w3Size $1,$1
#w4Size $1,$1
#MyMag 2
#MyMag2 2
#MyMag3 2
#MyMag4 2
#ShrinkWindow False
#Crosshairs False
#NumDW 4
EOT
}

# --- anchor for the start: a bare Qt program that shows one window
cat > "$WORK/bare.cpp" <<'EOT'
#include <QApplication>
#include <QWidget>
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget w;
    w.setWindowTitle("bare");
    w.resize(160, 232);
    w.show();
    return app.exec();
}
EOT
c++ -std=c++17 -fPIC -O2 "$WORK/bare.cpp" -o "$WORK/bare" $(pkg-config --cflags --libs Qt6Widgets)

# --- anchor: xzoom, one 300 x 300 window; its "d" key steps the delay to 100 ms
xzoom_cpu() {
  xdotool mousemove 640 400
  xzoom -mag 2 -geometry 300x300+900+400 >/dev/null 2>&1 & XZ=$!; PIDS="$PIDS $XZ"
  sleep 2
  xdotool search --sync --name xzoom key --clearmodifiers d >/dev/null 2>&1 || true
  sleep 1
  cpu_over $XZ "$SECS"
  kill $XZ; wait $XZ 2>/dev/null || true
}

bare_start_ms() {
  local start; start=$(now_ms)
  "$WORK/bare" >/dev/null 2>&1 & BARE=$!; PIDS="$PIDS $BARE"
  wait_windows bare
  echo $(( $(now_ms) - start ))
  kill $BARE; wait $BARE 2>/dev/null || true
}

# The program: its start, then idle (four windows, Normal mode, mouse at
# rest), then fixed (the four windows fixed on points). Sets START_MS, IDLE
# and FIXED.
program_round() {
  settings 300
  xdotool mousemove 640 400
  local start; start=$(now_ms)
  XDG_CONFIG_HOME=$WORK/cfg "$PROGRAM" >/dev/null 2>&1 & APP=$!; PIDS="$PIDS $APP"
  # Window "f" is the last one the panel shows; the others are up by then.
  wait_windows f
  START_MS=$(( $(now_ms) - start ))
  wait_windows "  Ostrel 4" a c d
  sleep 2
  IDLE=$(cpu_over $APP "$SECS")
  for k in a c d f; do xdotool key super+alt+$k; done
  sleep 1
  FIXED=$(cpu_over $APP "$SECS")
  kill -TERM $APP; wait $APP 2>/dev/null || true
}

median() { printf "%s\n" "$@" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
verdict() { awk -v v="$1" -v l="$2" 'BEGIN{print (v <= l) ? "ok" : "OVER"}'; }

XZOOMS=() IDLES=() FIXEDS=() STARTS=() BARES=()
for round in $(seq "$ROUNDS"); do
  XZOOMS+=("$(xzoom_cpu)")
  BARES+=("$(bare_start_ms)")
  program_round
  STARTS+=("$START_MS") IDLES+=("$IDLE") FIXEDS+=("$FIXED")
  printf "round %s: idle %s s, fixed %s s, xzoom %s s; start %s ms, bare Qt %s ms\n" \
    "$round" "$IDLE" "$FIXED" "${XZOOMS[-1]}" "$START_MS" "${BARES[-1]}"
done

XZOOM=$(median "${XZOOMS[@]}")
IDLE=$(median "${IDLES[@]}")
FIXED=$(median "${FIXEDS[@]}")
START_MS=$(median "${STARTS[@]}")
BARE_MS=$(median "${BARES[@]}")
FOUR_XZOOM=$(awk -v x="$XZOOM" 'BEGIN{printf "%.3f", 4 * x}')
THREE_BARE=$((3 * BARE_MS))
echo "medians of $ROUNDS rounds:"
printf "idle  (4 windows, %ss): %8s s CPU   anchor xzoom 1 window: %8s s   %s\n" \
  "$SECS" "$IDLE" "$XZOOM" "$(verdict "$IDLE" "$XZOOM")"
printf "fixed (4 windows, %ss): %8s s CPU   anchor 4 x xzoom:      %8s s   %s\n" \
  "$SECS" "$FIXED" "$FOUR_XZOOM" "$(verdict "$FIXED" "$FOUR_XZOOM")"
printf "start (panel + 4):       %8s ms       anchor 3 x bare Qt:    %8s ms  %s\n" \
  "$START_MS" "$THREE_BARE" "$(verdict "$START_MS" "$THREE_BARE")"
