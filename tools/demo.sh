#!/usr/bin/env bash
# make demo: makes the demo prefix (a sandbox Wine prefix with a simulated Delphi 13) under build/demo/, starts a
# receiver of the installation report on a free loopback port, packs the sample edition of the library onto the
# built tarvix-setup with that receiver as the report's endpoint, runs that installer with WINEPREFIX set to the
# prefix, and prints the report the receiver got. With a display the user walks the wizard; without one ($DISPLAY and $WAYLAND_DISPLAY unset)
# tarvix-setup-demo-walk runs the installer's window on the packed installer's payload on Qt's offscreen platform
# and walks it, saves a picture of every page under build/demo/ and prints what was installed where.
set -euo pipefail
build_dir=${1:-build/default}
demo_dir=build/demo
edition="$build_dir/sample-edition"
setup="$build_dir/installer/tarvix-setup"
walk="$build_dir/installer/tarvix-setup-demo-walk"
installer="$demo_dir/tarvix-setup-demo"
receiver="$build_dir/tools/tarvix-report-receiver"

for needed in "$setup" "$walk" "$build_dir/tools/tarvix-pack" "$build_dir/tools/tarvix-demo-prefix" \
    "$build_dir/tools/tarvix-sim-dcc32" "$receiver" "$edition/instalar.inf"; do
  if [ ! -e "$needed" ]; then
    echo "demo: $needed is missing; run 'make demo' (or 'make build') first" >&2
    exit 1
  fi
done

echo "== tarvix-setup demo (build in $build_dir)"
mkdir -p "$demo_dir"
"$build_dir/tools/tarvix-demo-prefix" "$demo_dir/prefix" --dcc32 "$build_dir/tools/tarvix-sim-dcc32"
prefix=$(cd "$demo_dir/prefix" && pwd)

echo "== Starting a receiver of the installation report on a loopback port"
rm -f "$demo_dir/receiver.port" "$demo_dir/relatorio.txt"
"$receiver" --port-file "$demo_dir/receiver.port" --record "$demo_dir/relatorio.txt" --answer OK &
receiver_pid=$!
trap 'kill "$receiver_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -s "$demo_dir/receiver.port" ] && break
  sleep 0.05
done
report_url="http://127.0.0.1:$(cat "$demo_dir/receiver.port")/tarvix/instalar.php"
echo "   the installer will post its report to $report_url"

echo "== Packing the sample edition onto $setup"
"$build_dir/tools/tarvix-pack" --exe "$setup" --dir "$edition/files" --order "$edition/order.txt" \
  --descriptor "$edition/instalar.inf" --report-url "$report_url" --output "$installer"
records=$("$build_dir/tools/tarvix-pack" --list "$installer" | grep -c $'\t' || true)
echo "   $installer carries the sample edition: $records files and its descriptor"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "== No display: the installer's window walks its pages with $walk (offscreen), pictures go to $demo_dir/"
  rm -f "$demo_dir"/[0-9]-*.png "$demo_dir"/mensagem-*.png
  status=0
  WINEPREFIX="$prefix" QT_QPA_PLATFORM=offscreen "$walk" "$installer" "$demo_dir" || status=$?
  echo "== Pictures of the pages:"
  ls -1 "$demo_dir"/*.png 2>/dev/null | sed 's/^/   /' || true
else
  echo "== Starting the installer with WINEPREFIX=$prefix"
  status=0
  WINEPREFIX="$prefix" "$installer" || status=$?
fi

echo "== The installation report as the receiver got it ($demo_dir/relatorio.txt):"
if [ -s "$demo_dir/relatorio.txt" ]; then
  sed 's/^/   /' "$demo_dir/relatorio.txt"
  echo "== Its fields, decoded:"
  # The body is the one line after the head (the form encoding leaves no line break in it).
  body=$(awk 'seen && length($0) { print; exit } /^\r?$/ { seen = 1 }' "$demo_dir/relatorio.txt" | tr -d '\r')
  IFS='&' read -r -a fields <<<"$body"
  for field in "${fields[@]}"; do
    value=${field#*=}
    value=${value//+/ }
    printf '%s = %b\n' "${field%%=*}" "${value//%/\\x}" | tr -d '\r' | sed 's/^/   /'
  done
else
  echo "   (no report arrived)"
fi
exit "$status"
