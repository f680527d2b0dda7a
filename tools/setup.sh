#!/bin/bash
# Installs what the build and the Wine test bed need on a Debian machine.
# Idempotent: when every package is there it only looks and stays silent.
# Run as root (or with sudo available) the first time.
set -euo pipefail

packages=(
  cmake
  ninja-build
  g++-mingw-w64-i686-posix      # i686-w64-mingw32-g++-posix
  mingw-w64-i686-dev
  libgcrypt-mingw-w64-dev
  wine
  wine32:i386
  libgl1-mesa-dri:i386           # Direct3D 9 under Xvfb renders through Mesa's software GL
  gstreamer1.0-plugins-good:i386 # music playback goes through Wine's GStreamer backend
  gstreamer1.0-plugins-bad:i386  # MIDI: its parser and FluidSynth synthesiser
  timgm6mb-soundfont             # the General MIDI sound font FluidSynth plays MIDI with
  xvfb
  xauth
  googletest                     # sources in /usr/src/googletest, built for the target
  fonts-ipafont-gothic           # stands in for the Japanese system fonts
  fonts-ipafont-mincho
  imagemagick                    # screenshots of the test display
  clang                          # the fuzz targets, built for this machine
  libclang-rt-14-dev             # libFuzzer and the sanitizers' run-time
)

die() { echo "setup: $*" >&2; exit 1; }

installed() {
  local status
  status=$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) || return 1
  [[ $status == "install ok installed" ]]
}

need_i386=0
if [[ $(dpkg --print-architecture 2>/dev/null) == amd64 ]] &&
   ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_i386=1
fi

missing=()
for p in "${packages[@]}"; do
  # A foreign-architecture package cannot be asked about before its
  # architecture is added; count it as missing then.
  if (( need_i386 )) || ! installed "$p"; then
    missing+=("$p")
  fi
done

if (( need_i386 == 0 && ${#missing[@]} == 0 )); then
  exit 0
fi

as_root=()
if (( EUID != 0 )); then
  command -v sudo >/dev/null || die "missing packages (${missing[*]}); run this script as root"
  as_root=(sudo)
fi

log=$(mktemp /tmp/qrt-setup.XXXXXX)
trap 'rm -f "$log"' EXIT
run() {
  if ! "${as_root[@]}" "$@" >>"$log" 2>&1; then
    cat "$log" >&2
    die "failed: $*"
  fi
}

if (( need_i386 )); then
  run dpkg --add-architecture i386
fi

export DEBIAN_FRONTEND=noninteractive
run apt-get update
# Recommends stay on: Wine's recommended libraries (Mesa, GStreamer, ALSA
# plugins) are what Direct3D and sound need at run time.
run apt-get install -y "${missing[@]}"

for p in "${missing[@]}"; do
  installed "$p" || die "package $p did not install"
done
command -v i686-w64-mingw32-g++-posix >/dev/null || die "i686-w64-mingw32-g++-posix not found after install"
