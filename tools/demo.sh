#!/usr/bin/env bash
# make demo: runs the installer against the demo prefix. The wizard is still being built; until its main window
# exists this makes the demo prefix and says what the demo will do with it.
set -euo pipefail
build_dir=${1:-build/default}
echo "tarvix-setup demo (build in $build_dir)"
"$build_dir/tools/tarvix-demo-prefix" build/demo/prefix
echo "The demo will pack the sample edition of the library into an installer and run it with WINEPREFIX set to"
echo "that prefix. The installer's windows are not built yet; nothing more to run at this stage."
