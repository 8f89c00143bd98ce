#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, skipping those
# already present (a full install takes minutes on a fresh machine). Wine's 32-bit part
# (wine32:i386) is neither needed nor refused: wine-run.sh works with and without it.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev wine wine64
          slapd ldap-utils googletest cmake make)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
if ! "${sudo_cmd[@]}" apt-get update -q ||
   ! "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  echo "install-deps.sh: apt-get could not install: ${missing[*]}." >&2
  echo "Install them by hand (as root: apt-get install ${missing[*]}) and run again." >&2
  exit 1
fi
