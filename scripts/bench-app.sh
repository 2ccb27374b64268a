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
#              Each start ends when the server reports the last window
#              viewable, seen by a client that waits on the server's events;
#              a polling tool would add its own wait and the cost of its looks,
#              which grows with the number of windows on the screen. Shown
#              beside: a bare Qt program showing five windows, the floor of a
#              start that shows what the program shows.
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

# The same with five windows, named as the program's panel and display windows.
cat > "$WORK/bare5.cpp" <<'EOT'
#include <QApplication>
#include <QWidget>
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget w[5];
    const char* names[5] = {"  Ostrel 4", "a", "c", "d", "f"};
    for (int i = 0; i < 5; ++i) {
        w[i].setWindowTitle(names[i]);
        w[i].resize(300, 300);
        w[i].move(50 + 100 * i, 180);
        w[i].show();
    }
    return app.exec();
}
EOT
c++ -std=c++17 -fPIC -O2 "$WORK/bare5.cpp" -o "$WORK/bare5" $(pkg-config --cflags --libs Qt6Widgets)

# shown [--class] NAME: says "ready" once it watches, then prints the wall
# time in milliseconds at which a window of that name (or class) is viewable.
# It learns of new windows, maps and titles from the server's events; a
# window manager's frame that is mapped makes the client inside viewable.
cat > "$WORK/shown.cpp" <<'EOT'
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <ctime>
static Display* d;
static bool byClass;
static const char* want;
static Atom netName, utf8;
static long long Now() {
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}
static int Ignore(Display*, XErrorEvent*) { return 0; }  // windows go away meanwhile
static bool Named(Window w) {
    bool ok = false;
    if (byClass) {
        XClassHint h;
        if (!XGetClassHint(d, w, &h)) return false;
        ok = (h.res_class && !strcmp(h.res_class, want)) || (h.res_name && !strcmp(h.res_name, want));
        if (h.res_name) XFree(h.res_name);
        if (h.res_class) XFree(h.res_class);
        return ok;
    }
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* p = nullptr;
    if (XGetWindowProperty(d, w, netName, 0, 256, False, utf8, &type, &format, &n, &after, &p) ==
            Success && p) {
        ok = !strcmp(reinterpret_cast<char*>(p), want);
        XFree(p);
        if (ok) return true;
    }
    char* name = nullptr;
    if (XFetchName(d, w, &name) && name) {
        ok = !strcmp(name, want);
        XFree(name);
    }
    return ok;
}
static bool Shown(Window w) {
    XWindowAttributes a;
    return Named(w) && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}
static void Watch(Window w) {
    XSelectInput(d, w, StructureNotifyMask | SubstructureNotifyMask | PropertyChangeMask);
}
// `w` or a window up to `depth` levels below it is shown; watches them all.
static bool Scan(Window w, int depth) {
    Window root, parent, *kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, w, &root, &parent, &kids, &n)) return false;
    bool found = false;
    for (unsigned i = 0; i < n && !found; ++i) {
        Watch(kids[i]);
        found = Shown(kids[i]) || (depth > 1 && Scan(kids[i], depth - 1));
    }
    if (kids) XFree(kids);
    return found;
}
int main(int argc, char** argv) {
    int i = 1;
    if (argc > 1 && !strcmp(argv[1], "--class")) byClass = true, ++i;
    if (i >= argc || !(d = XOpenDisplay(nullptr))) return 2;
    want = argv[i];
    alarm(30);  // a window that never comes ends the wait with no figure
    XSetErrorHandler(Ignore);
    netName = XInternAtom(d, "_NET_WM_NAME", False);
    utf8 = XInternAtom(d, "UTF8_STRING", False);
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    XSync(d, False);
    std::printf("ready\n");
    std::fflush(stdout);
    bool found = Scan(DefaultRootWindow(d), 4);
    while (!found) {
        XEvent e;
        XNextEvent(d, &e);
        Window w = 0;
        if (e.type == CreateNotify) w = e.xcreatewindow.window, Watch(w);
        else if (e.type == ReparentNotify) w = e.xreparent.window, Watch(w);
        else if (e.type == MapNotify) w = e.xmap.window;
        else if (e.type == PropertyNotify) w = e.xproperty.window;
        else continue;
        found = Shown(w) || Scan(w, 3);
    }
    std::printf("%lld\n", Now());
    return 0;
}
EOT
c++ -std=c++17 -O2 "$WORK/shown.cpp" -o "$WORK/shown" $(pkg-config --cflags --libs x11)

# watch_shown [--class] NAME: the watch for one start, ready before it begins.
# shown_ms START: sets SHOWN_MS, the milliseconds from START (now_ms) to the
# window shown.
watch_shown() {
  "$WORK/shown" "$@" > "$WORK/shown.out" & WATCH=$!; PIDS="$PIDS $WATCH"
  for _ in $(seq 1000); do
    grep -q ready "$WORK/shown.out" 2>/dev/null && return 0
    kill -0 $WATCH 2>/dev/null || break
    sleep 0.005
  done
  echo "bench-app: the window watch did not start" >&2; exit 1
}
shown_ms() {
  wait $WATCH || { echo "bench-app: no window shown within 30 s" >&2; exit 1; }
  SHOWN_MS=$(( $(tail -1 "$WORK/shown.out") - $1 ))
}

bare_start_ms() {  # the bare program with one window, or with "5" five
  local start program=bare name=bare
  [ "${1:-}" = 5 ] && program=bare5 name=f
  watch_shown "$name"
  start=$(now_ms)
  "$WORK/$program" >/dev/null 2>&1 & BARE=$!; PIDS="$PIDS $BARE"
  shown_ms "$start"
  echo "$SHOWN_MS"
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
  local start
  watch_shown --class kmag
  start=$(now_ms)
  kmag >/dev/null 2>&1 & KM=$!; PIDS="$PIDS $KM"
  shown_ms "$start"
  KMAG_MS=$SHOWN_MS
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
  local start
  # Window "f" is the last one the panel shows; the others are up by then.
  watch_shown f
  start=$(now_ms)
  start_program
  shown_ms "$start"
  START_MS=$SHOWN_MS
  wait_windows "  Ostrel 4" a c d f
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
  BARE5_MS=$(bare_start_ms 5)
  four_windows
  FLOOR=$(floor_idle)
  add moving "$(ratio "$MOVING" "$XZ300M")"
  add fixed300 "$(ratio "$FIXED300" "$XZ300")"
  add fixed1000 "$(ratio "$FIXED1000" "$XZ1000")"
  add fixed4 "$(ratio "$FIXED4" "$(awk -v x="$XZ300" 'BEGIN{print 4 * x}')")"
  add start "$(ratio "$START_MS" "$BARE_MS")"
  add bare5 "$(ratio "$BARE5_MS" "$BARE_MS")"
  add idle "$(ratio "$IDLE" "$FLOOR")"
  add idle_xzoom "$(ratio "$IDLE" "$XZ300")"
  printf "round %s (load %s):\n" "$round" "$(cut -d' ' -f1-3 /proc/loadavg)"
  printf "  moving %s ms/s (xzoom %s); fixed 300 %s (xzoom %s); fixed 1000 %s (xzoom %s)\n" \
    "$MOVING" "$XZ300M" "$FIXED300" "$XZ300" "$FIXED1000" "$XZ1000"
  printf "  fixed 4 %s ms/s; idle %s (floor %s); start %s ms (bare Qt %s, with 5 windows %s); PSS %s MB\n" \
    "$FIXED4" "$IDLE" "$FLOOR" "$START_MS" "$BARE_MS" "$BARE5_MS" "$PSS"
  if [ $HAVE_KMAG = 1 ]; then
    kmag_round
    add start_kmag "$(ratio "$START_MS" "$KMAG_MS")"
    add bare5_kmag "$(ratio "$BARE5_MS" "$KMAG_MS")"
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
# shellcheck disable=SC2086
printf "%-34s %7s\n" "bare Qt 5 windows / 1 (shown only)" "$(median ${R[bare5]})"
# shellcheck disable=SC2086
[ $HAVE_KMAG = 1 ] && printf "%-34s %7s\n" "bare Qt 5 windows / kmag (shown only)" "$(median ${R[bare5_kmag]})"
exit $((OVER * 2))
