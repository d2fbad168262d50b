#!/usr/bin/env bash
# Builds the editor and starts it in a working folder that holds a demo ROM
# image and README.TXT, so File > Open ROM finds something to open at once.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/setup-machine.sh"

cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$top/build" -j"$(nproc)" --target OMBattleAnim ombattleanim-cli

work=${OM_WORKDIR:-$HOME/OMBattleAnim}
mkdir -p "$work"
[ -e "$work/demo.smc" ] || "$top/build/bin/ombattleanim-cli" make-demo-rom "$work/demo.smc"
cp "$top/README.TXT" "$work/README.TXT"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display to show the editor on. Run this command from a desktop session, or under"
  echo "a virtual X server:  xvfb-run -s '-screen 0 1280x800x24' bash tools/run-editor.sh"
  exit 1
fi
cd "$work"
echo "Starting OMBattleAnim in $work with demo.smc"
exec "$top/build/bin/OMBattleAnim" demo.smc
