#!/usr/bin/env bash
# Installs what is missing, builds Ostrel 4 and starts it on the current X display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh default
if [ -z "${DISPLAY:-}" ]; then
  echo "run: no X display (DISPLAY is not set). Start Ostrel 4 from an X11 desktop session," >&2
  echo "     or try it under Xvfb: xvfb-run -s '-screen 0 1280x800x24' scripts/run.sh" >&2
  exit 1
fi
exec build/bin/ostrel4
