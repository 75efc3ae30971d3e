#!/bin/bash
# Installs what the Windows build and the Wine tests need on Debian 12, as root and unattended.
# Quiet when everything is already there; also makes 32-bit Linux programs (Wine's loader) run.
set -euo pipefail

log=$(mktemp /tmp/sarnivox-install-deps.XXXXXX.log)
trap 'rm -f "$log"' EXIT

fail() {
  echo "install-deps: $*" >&2
  [ -s "$log" ] && tail -n 40 "$log" >&2
  exit 1
}

apt_install() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@" \
    >>"$log" 2>&1 </dev/null || fail "apt-get install $* failed"
}

apt_update() {
  apt-get update >>"$log" 2>&1 </dev/null || fail "apt-get update failed"
}

missing_packages() {
  local p
  for p in "$@"; do
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" = installed ] ||
      printf '%s\n' "$p"
  done
}

[ "$(id -u)" = 0 ] || fail "must run as root"

packages=(
  wine wine32:i386 wine64 xvfb xauth imagemagick
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  cmake g++ googletest libgtest-dev libbenchmark-dev zip python3
  clang libclang-rt-14-dev
)

need_update=""
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

mapfile -t missing < <(missing_packages "${packages[@]}")
if [ "${#missing[@]}" -gt 0 ]; then
  need_update=1
fi
[ -z "$need_update" ] || apt_update
[ "${#missing[@]}" -eq 0 ] || apt_install "${missing[@]}"

# Some kernels (paravirtualised guests among them) run no 32-bit code at all: Wine's 32-bit
# loader then fails with "Exec format error" and has to run under user-mode emulation.
runs_32bit() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }

if ! runs_32bit; then
  # Debian 12's qemu 7.2 cannot give Wine the fixed page it maps at 0x7ffe0000; the backport can.
  qemu_major=$( (qemu-i386 --version 2>/dev/null || true) | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p')
  if [ -z "$qemu_major" ] || [ "$qemu_major" -lt 8 ]; then
    if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
      cat >/etc/apt/sources.list.d/sarnivox-bookworm-backports.sources <<'EOF'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    fi
    apt_update
    apt_install -t bookworm-backports qemu-user
  fi
  interpreter=$(command -v qemu-i386) || fail "qemu-i386 not found after installing qemu-user"
  if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc >>"$log" 2>&1 ||
      fail "cannot mount binfmt_misc"
  fi
  # The kernel only hands i386 ELF files to an interpreter registered for them; F opens it now,
  # so the registration also holds inside other mount namespaces.
  entry=/proc/sys/fs/binfmt_misc/qemu-i386
  if [ -e "$entry" ] && ! grep -qx "interpreter $interpreter" "$entry"; then
    echo -1 >"$entry" || fail "cannot replace the stale qemu-i386 registration"
  fi
  if [ ! -e "$entry" ]; then
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    printf ':qemu-i386:M::%s:%s:%s:F\n' "$magic" "$mask" "$interpreter" \
      >/proc/sys/fs/binfmt_misc/register 2>>"$log" || fail "cannot register qemu-i386"
  fi
  runs_32bit || fail "32-bit programs still do not run, even through $interpreter"
fi
exit 0
