#!/usr/bin/env bash
# make demo: runs the installer against the demo prefix. The wizard is still being built; until its main window
# exists this says what the demo will do.
set -euo pipefail
build_dir=${1:-build/default}
echo "tarvix-setup demo (build in $build_dir)"
echo "The demo will: make a sandbox Wine prefix with a simulated Delphi 13 under build/demo/,"
echo "pack the sample edition of the library into an installer and run it with WINEPREFIX set to that prefix."
echo "The installer's windows are not built yet; nothing more to run at this stage."
