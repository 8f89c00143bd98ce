#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the packages and the demo need,
# skipping those already present (a full install takes minutes on a fresh machine).
# The 32-bit component is tested under Wine's 32-bit part (wine32:i386), which needs the
# i386 architecture in dpkg; it is added once.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools libwine-dev
          wine wine64 wine32:i386 wixl msitools slapd ldap-utils googletest cmake make
          python3 chromium)
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
fail() {
  echo "install-deps.sh: $1" >&2
  echo "Do it by hand as root ($2) and run again." >&2
  exit 1
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386 ||
    fail "dpkg could not add the i386 architecture (for wine32:i386)." "dpkg --add-architecture i386"
fi
# A mirror caught mid-sync fails "apt-get update" for a while ("File has unexpected
# size"): try again, then go on with whatever lists arrived; the install says if they lack
# a package.
update_log=$(mktemp)
for attempt in 1 2 3; do
  "${sudo_cmd[@]}" apt-get update -q 2>&1 | tee "$update_log" && ! grep -q '^E:' "$update_log" && break
  echo "install-deps.sh: apt-get update failed (attempt $attempt); trying again." >&2
  sleep $((attempt * 10))
done
# A caching proxy can keep serving an index older than the signed list of indexes, which
# apt then refuses for its size every time; without that one index (the i386 security
# updates, say) the two architectures' versions disagree and wine32 cannot be installed.
# Take such an index as served: a stale list only means older package versions.
grep -oE "Failed to fetch http://[^ ]+/Packages\.xz +File has unexpected size" "$update_log" |
  awk '{print $3}' | while read -r url; do
    list=/var/lib/apt/lists/$(echo "${url#http://}" | sed 's|/|_|g; s|\.xz$||')
    echo "install-deps.sh: taking $url as served (a mirror mid-sync)." >&2
    curl -fsS "$url" | xz -dc | "${sudo_cmd[@]}" tee "$list" >/dev/null || true
  done
rm -f "$update_log"
if ! "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  fail "apt-get could not install: ${missing[*]}." "apt-get update; apt-get install ${missing[*]}"
fi
