#!/usr/bin/env bash
# Starts one virtual X display (:99 unless DISPLAY names another) if none answers yet.
# Source it: it exports DISPLAY.
export DISPLAY=${GROVANE_DISPLAY:-:99}
if ! xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && ! [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ]; then
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break
    sleep 0.1
  done
fi
