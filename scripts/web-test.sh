#!/usr/bin/env bash
# make web-test: the web build against the native capture of the same run, in headless Chromium.
#   scripts/web-test.sh PAGE_DIR CAPTURE_PROGRAM
# Captures 3 seconds of intro natively (seed 1, b after 1 s, space after 2 s), then lets web/web_test.py
# drive the page through the same run and through a user's run. The screenshot of the user's run is
# left in PAGE_DIR/web-test-screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."

page=$1
capture=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$capture" "$work/native" --seconds 3 --seed 1 --keys "1:b,2:space" >/dev/null 2>"$work/capture.log" || {
    cat "$work/capture.log" >&2
    exit 1
}
# Debian's Python, where python3-websocket is installed, whatever python3 comes first on PATH.
/usr/bin/python3 web/web_test.py "$page" "$work/native" "$page/web-test-screenshot.png"
