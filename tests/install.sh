#!/bin/sh
# install.sh BUILD: make install's layout in a fresh prefix, and the installed
# programs answering --version and --help
set -e
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
for f in bin/veltocli share/velto/velto.txt share/velto/examples/rclowpass.vsm \
         share/applications/velto.desktop share/icons/hicolor/64x64/apps/velto.png \
         share/man/man1/velto.1 share/man/man1/veltocli.1; do
    [ -f "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
"$prefix/bin/veltocli" --version | grep -q '^veltocli [0-9]'
"$prefix/bin/veltocli" --help | grep -q '^usage: veltocli'
"$prefix/bin/veltocli" dc "$prefix/share/velto/examples/divider.vsm" | grep -q '^node,3,5$'
if [ -f "$prefix/bin/velto" ]; then
    "$prefix/bin/velto" --version | grep -q '^VELTO [0-9]'
    "$prefix/bin/velto" --help | grep -q '^usage: velto'
fi
echo "install: the layout and the installed programs are as they should be"
