#!/bin/bash
# Installs what the build and the Wine test bed need on a Debian machine.
# Idempotent: when every package is there it only looks and stays silent.
# Run as root (or with sudo available) the first time.
#
# Wine's 32-bit side needs a machine that runs 32-bit x86 programs. Where the
# kernel refuses them (built without IA-32 emulation), this sets up QEMU's
# user-mode emulator for i386 instead: the package from the distribution's
# backports (the release's own QEMU cannot run Wine), binfmt_misc mounted,
# and i386 ELF files registered to the emulator. Everything then runs
# several times slower and gives the same results.
#
#   tools/setup.sh                 what every script runs first
#   tools/setup.sh --emulate       the emulation even where the kernel runs
#                                  32-bit programs itself, to see how the
#                                  project behaves on a slow machine; it is
#                                  machine-wide (every 32-bit program, every
#                                  user's Wine) until a reboot or
#   tools/setup.sh --no-emulate    which turns it off again
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/i386.sh"

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

# The emulator: qemu-user-static is a transitional package there that brings
# the static emulators (qemu-user) and their binfmt.d files.
qemu_packages=(qemu-user-static qemu-user qemu-user-binfmt)
# QEMU 7.2 ignores MAP_FIXED_NOREPLACE, and Wine then fails at once ("failed
# to map the shared user data"); 10.0 runs it.
qemu_least=10
qemu=/usr/bin/qemu-i386
binfmt_entry=qemu-i386
# i386 ELF executables and shared objects (Wine's server is a PIE).
binfmt_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
binfmt_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
backports_list=/etc/apt/sources.list.d/qrt-backports.sources
backports_pin=/etc/apt/preferences.d/qrt-backports

die() { echo "setup: $*" >&2; exit 1; }

mode=auto
case ${1:-} in
  "") ;;
  --emulate) mode=emulate ;;
  --no-emulate) mode=native ;;
  *) die "unknown option $1 (--emulate, --no-emulate)" ;;
esac

installed() {
  local status
  status=$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) || return 1
  [[ $status == "install ok installed" ]]
}

# The major version of a QEMU binary ("qemu-i386 version 10.0.2 (...)").
qemu_major() {
  local words
  words=$("$1" --version 2>/dev/null | head -n1) || return 1
  [[ $words =~ version\ ([0-9]+)\. ]] || return 1
  echo "${BASH_REMATCH[1]}"
}

# Our binfmt entry runs i386 files through a QEMU that can run Wine.
emulation_on() {
  local handler major
  handler=$(i386_probe_handler) || return 1
  major=$(qemu_major "${handler#* }") || return 1
  (( major >= qemu_least ))
}

# "<entry> <interpreter>" of the handler that takes i386 programs, if any.
i386_probe_handler() {
  local probe
  probe=$(mktemp /tmp/qrt-i386.XXXXXX)
  i386_write_probe "$probe"
  i386_handler "$probe" || { rm -f "$probe"; return 1; }
  rm -f "$probe"
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

# Whether 32-bit programs need the emulator: they do not run at all, or a
# handler takes them that cannot run Wine, or a developer asks for it.
emulate=0
case $mode in
  emulate) emulation_on || emulate=1 ;;
  native) ;;
  auto)
    if ! i386_runs; then
      emulate=1
    elif i386_probe_handler >/dev/null && ! emulation_on; then
      emulate=1
    fi
    ;;
esac

if [[ $mode == native ]]; then
  [[ -f $i386_binfmt/$binfmt_entry ]] || exit 0
  [[ $(head -n1 "$i386_binfmt/$binfmt_entry") == enabled ]] || exit 0
  (( EUID == 0 )) || die "turning the emulation off needs root"
  echo 0 >"$i386_binfmt/$binfmt_entry"
  if ! i386_runs; then
    echo 1 >"$i386_binfmt/$binfmt_entry"
    die "this machine runs 32-bit programs only through the emulator: it stays on"
  fi
  echo "setup: 32-bit programs run natively again (binfmt entry $binfmt_entry off)"
  exit 0
fi

if (( need_i386 == 0 && ${#missing[@]} == 0 && emulate == 0 )); then
  exit 0
fi

as_root=()
if (( EUID != 0 )); then
  if (( emulate )); then
    die "this machine runs no 32-bit programs; run this script as root once to set up QEMU's emulator for them"
  fi
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

export DEBIAN_FRONTEND=noninteractive
updated=0

# The address and key of the release's own Debian source, from the deb822
# files or the one-line lists, for its backports suite.
debian_source() {
  local codename=$1 file
  for file in /etc/apt/sources.list.d/*.sources; do
    [[ -f $file ]] || continue
    awk -v want="$codename" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " want " ") && enabled != "no" && uri != "") {
          print uri "\t" key; found = 1; exit
        }
        types = suites = uri = key = enabled = ""
      }
      /^#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[^ \t]/ {
        field = tolower($1); sub(/:$/, "", field)
        value = $0; sub(/^[^:]*:[ \t]*/, "", value)
        if (field == "types") types = value
        else if (field == "suites") suites = value
        else if (field == "uris") { split(value, u, /[ \t]+/); uri = u[1] }
        else if (field == "signed-by" && value ~ /^\//) key = value
        else if (field == "enabled") enabled = tolower(value)
      }
      END { if (!found) flush() }
    ' "$file"
  done | head -n1 | grep . && return 0
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk -v want="$codename" '
      $1 != "deb" { next }
      {
        i = 2; key = ""
        if ($i ~ /^\[/) {
          for (; i <= NF; ++i) {
            if ($i ~ /^\[?signed-by=/) { key = $i; sub(/^\[?signed-by=/, "", key); sub(/\]$/, "", key) }
            if ($i ~ /\]$/) { ++i; break }
          }
        }
        if ($(i + 1) == want) { print $i "\t" key; exit }
      }' | grep .
}

install_qemu() {
  local codename source uri key want
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [[ -n $codename ]] || die "no release code name in /etc/os-release: cannot find its backports"
  source=$(debian_source "$codename") ||
    die "no Debian source for $codename in /etc/apt: cannot add its backports for QEMU"
  uri=${source%%$'\t'*} key=${source#*$'\t'}
  want="# Written by tools/setup.sh: QEMU's i386 emulator for a machine whose kernel
# runs no 32-bit programs. Nothing else comes from here (see $backports_pin).
Types: deb
URIs: $uri
Suites: $codename-backports
Components: main
${key:+Signed-By: $key
}"
  if [[ ! -f $backports_list || $(<"$backports_list") != "${want%$'\n'}" ]]; then
    printf '%s' "$want" >"$backports_list"
  fi
  local pin="# Written by tools/setup.sh: only QEMU's user-mode emulator from backports.
Package: *
Pin: release n=$codename-backports
Pin-Priority: -1

Package: ${qemu_packages[*]}
Pin: release n=$codename-backports
Pin-Priority: 990"
  if [[ ! -f $backports_pin || $(<"$backports_pin") != "$pin" ]]; then
    printf '%s\n' "$pin" >"$backports_pin"
  fi
  run apt-get update
  updated=1
  # Without recommends: qemu-user-binfmt recommends systemd, and the entry
  # is registered here, not by a service manager.
  run apt-get install -y --no-install-recommends "${qemu_packages[@]}"
  local major
  major=$(qemu_major "$qemu") || die "$qemu did not install"
  (( major >= qemu_least )) ||
    die "$qemu is QEMU $major; Wine needs $qemu_least or later (from $codename-backports)"
}

# fresh=1 after QEMU was installed or upgraded: an entry with flag F holds
# the emulator file it was registered with, so it is made anew.
register_emulator() {
  local fresh=$1
  if [[ ! -f $i386_binfmt/register ]]; then
    mount -t binfmt_misc binfmt_misc "$i386_binfmt" >>"$log" 2>&1 ||
      die "cannot mount binfmt_misc on $i386_binfmt (a container without the right, or a kernel without it): this machine cannot run Wine's 32-bit side"
  fi
  [[ $(<"$i386_binfmt/status") == enabled ]] || echo 1 >"$i386_binfmt/status"
  local entry=$i386_binfmt/$binfmt_entry
  if [[ -f $entry ]]; then
    # An entry of that name for another emulator gives way to ours.
    if (( fresh == 0 )) && [[ $(sed -n 's/^interpreter //p' "$entry") == "$qemu" ]]; then
      [[ $(head -n1 "$entry") == enabled ]] || echo 1 >"$entry"
    else
      echo -1 >"$entry"
    fi
  fi
  # F: the kernel opens the emulator now, so it runs in any mount namespace
  # and chroot; the emulator itself runs the program's own interpreter.
  [[ -f $entry ]] ||
    printf ':%s:M::%s:%s:%s:F' "$binfmt_entry" "$binfmt_magic" "$binfmt_mask" "$qemu" >"$i386_binfmt/register" ||
    die "binfmt_misc refused the i386 entry"
}

if (( emulate )); then
  (( EUID == 0 )) || die "setting up the i386 emulator needs root"
  major=$(qemu_major "$qemu" 2>/dev/null) || major=0
  fresh=0
  if (( major < qemu_least )); then
    install_qemu
    fresh=1
  fi
  register_emulator "$fresh"
  i386_runs || die "32-bit programs still do not run with $qemu registered"
  emulation_on || die "32-bit programs run, but not through $qemu"
  if [[ $mode == emulate ]]; then
    echo "setup: every 32-bit program on this machine now runs under $qemu ($(qemu_major "$qemu").x); tools/setup.sh --no-emulate ends it"
  else
    echo "setup: this machine runs no 32-bit programs itself; they run under $qemu (several times slower)"
  fi
fi

if (( need_i386 == 0 && ${#missing[@]} == 0 )); then
  exit 0
fi

if (( need_i386 )); then
  run dpkg --add-architecture i386
fi

(( updated )) && (( need_i386 == 0 )) || run apt-get update
# Recommends stay on: Wine's recommended libraries (Mesa, GStreamer, ALSA
# plugins) are what Direct3D and sound need at run time.
run apt-get install -y "${missing[@]}"

for p in "${missing[@]}"; do
  installed "$p" || die "package $p did not install"
done
command -v i686-w64-mingw32-g++-posix >/dev/null || die "i686-w64-mingw32-g++-posix not found after install"
