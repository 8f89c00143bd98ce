#!/usr/bin/env bash
# Builds one installer package with wixl: stages the files that quillon.wxs names (wixl
# reads sources relative to the .wxs) and runs wixl there.
#   make-msi.sh <x64|x86> <version> <binaries folder> <source tree> <interfaces.wxi> <out.msi>
set -euo pipefail
arch=${1:?arch} version=${2:?version} bin=${3:?binaries} src=${4:?source tree}
interfaces=${5:?interfaces.wxi} out=${6:?output}
stage="$out.stage"
rm -rf "$stage"
mkdir -p "$stage"
cp "$bin/Quillon.DLL" "$bin/QuillonPolicy.exe" "$src/README.md" "$src/docs/ADMINISTRATION.md" \
   "$src/packaging/quillon.wxs" "$stage/"
cp "$interfaces" "$stage/interfaces.wxi"
(cd "$stage" && wixl -a "$arch" -D Arch="$arch" -D Version="$version" -o "$out.tmp" quillon.wxs)
mv "$out.tmp" "$out"
rm -rf "$stage"
