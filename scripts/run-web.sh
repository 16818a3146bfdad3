#!/bin/sh
# Builds the web player and serves the sample demo's folder (build-web/sample/) on 127.0.0.1 with
# Python's http.server; open the printed address in a browser: the player, or studio.html, the
# studio of the sample. PORT (default 8000) picks the port.
set -eu
cd "$(dirname "$0")/.."
scripts/build-web.sh
port="${PORT:-8000}"
echo "run-web: open http://127.0.0.1:$port/ (the player) or http://127.0.0.1:$port/studio.html (the studio; Ctrl+C stops the server)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build-web/sample
