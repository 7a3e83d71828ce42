#!/usr/bin/env bash
# make demo: makes the demo prefix (a sandbox Wine prefix with a simulated Delphi 13) under build/demo/, packs the
# sample edition of the library onto the built tarvix-setup, and runs that installer with WINEPREFIX set to the
# prefix. With a display the user walks the wizard; without one ($DISPLAY and $WAYLAND_DISPLAY unset)
# tarvix-setup-demo-walk runs the installer's window on the packed installer's payload on Qt's offscreen platform
# and walks it, saves a picture of every page under build/demo/ and prints what was installed where.
set -euo pipefail
build_dir=${1:-build/default}
demo_dir=build/demo
edition="$build_dir/sample-edition"
setup="$build_dir/installer/tarvix-setup"
walk="$build_dir/installer/tarvix-setup-demo-walk"
installer="$demo_dir/tarvix-setup-demo"

for needed in "$setup" "$walk" "$build_dir/tools/tarvix-pack" "$build_dir/tools/tarvix-demo-prefix" \
    "$build_dir/tools/tarvix-sim-dcc32" "$edition/instalar.inf"; do
  if [ ! -e "$needed" ]; then
    echo "demo: $needed is missing; run 'make demo' (or 'make build') first" >&2
    exit 1
  fi
done

echo "== tarvix-setup demo (build in $build_dir)"
mkdir -p "$demo_dir"
"$build_dir/tools/tarvix-demo-prefix" "$demo_dir/prefix" --dcc32 "$build_dir/tools/tarvix-sim-dcc32"
prefix=$(cd "$demo_dir/prefix" && pwd)

echo "== Packing the sample edition onto $setup"
"$build_dir/tools/tarvix-pack" --exe "$setup" --dir "$edition/files" --order "$edition/order.txt" \
  --descriptor "$edition/instalar.inf" --output "$installer"
records=$("$build_dir/tools/tarvix-pack" --list "$installer" | grep -c $'\t' || true)
echo "   $installer carries the sample edition: $records files and its descriptor"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "== No display: the installer's window walks its pages with $walk (offscreen), pictures go to $demo_dir/"
  rm -f "$demo_dir"/[0-9]-*.png "$demo_dir"/mensagem-*.png
  status=0
  WINEPREFIX="$prefix" QT_QPA_PLATFORM=offscreen "$walk" "$installer" "$demo_dir" || status=$?
  echo "== Pictures of the pages:"
  ls -1 "$demo_dir"/*.png 2>/dev/null | sed 's/^/   /' || true
  exit "$status"
else
  echo "== Starting the installer with WINEPREFIX=$prefix"
  WINEPREFIX="$prefix" "$installer"
fi
