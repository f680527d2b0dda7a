# Shared by start, stop and wine-run (sourced, not run).
#
# One bed per build tree: its state lives in <build>/winebed/:
#   prefix/   the 32-bit Wine prefix (C: is prefix/drive_c)
#   state     display and process ids of the running bed, how it runs
#             32-bit code and its pace (shell assignments)
#   *.log     output of Xvfb, the wineserver and prefix creation

winebed_tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
winebed_repo=$(cd "$winebed_tools/../.." && pwd)
source "$winebed_repo/tools/i386.sh"

# The bed of the build tree we are in: QRT_WINEBED when set (CTest sets it),
# else the build tree above the current folder, else <repo>/build.
winebed_dir() {
  if [[ -n ${1:-} ]]; then echo "$1"; return; fi
  if [[ -n ${QRT_WINEBED:-} ]]; then echo "$QRT_WINEBED"; return; fi
  local d=$PWD
  while [[ $d != / ]]; do
    if [[ -f $d/CMakeCache.txt ]]; then echo "$d/winebed"; return; fi
    d=$(dirname "$d")
  done
  echo "$winebed_repo/build/winebed"
}

winebed_env() {
  local bed=$1
  export WINEPREFIX=$bed/prefix
  export WINEARCH=win32
  export WINEDEBUG=${QRT_WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${QRT_WINEDLLOVERRIDES:-mscoree,mshtml=}
  export ALSA_CONFIG_PATH=$winebed_tools/alsa-null.conf
  unset WINELOADER WINESERVER
}

# True when pid is alive and runs the named program (guards against a
# recycled id after a reboot or a long pause).
winebed_pid_is() {
  local pid=$1 name=$2 cmd
  [[ $pid =~ ^[0-9]+$ ]] || return 1
  cmd=$(tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline") || return 1
  [[ $cmd == *"$name"* ]]
}

# How Wine's 32-bit side runs here: "native", or "emulated <binfmt entry>
# <emulator>" when the kernel hands Wine's own programs to a binfmt_misc
# handler (QEMU). What happens decides, not how the machine was set up.
winebed_i386() {
  local server dir file handler
  server=$(command -v wineserver 2>/dev/null) && dir=$(dirname "$(readlink -f "$server")")
  for file in "${dir:-/usr/lib/wine}/wine" "${dir:-/usr/lib/wine}/wineserver32" "${dir:-/usr/lib/wine}/wineserver"; do
    [[ -f $file ]] || continue
    if handler=$(i386_handler "$file"); then
      echo "emulated $handler"
      return
    fi
  done
  echo native
}

# Loads <bed>/state into display, xvfb_pid, wineserver_pid, i386 (native or
# emulated) and pace (how many times slower than native the bed runs).
winebed_load() {
  display= xvfb_pid= wineserver_pid= i386=native pace=1
  [[ -f $1/state ]] || return 1
  # shellcheck disable=SC1091
  source "$1/state"
}

winebed_running() {
  winebed_load "$1" &&
    winebed_pid_is "$xvfb_pid" Xvfb &&
    winebed_pid_is "$wineserver_pid" wineserver
}

