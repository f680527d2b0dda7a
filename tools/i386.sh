# How this machine runs 32-bit x86 programs, for setup.sh and the test bed
# (sourced, not run).
#
#   i386_runs            true when a 32-bit x86 program runs here, natively
#                        or through a binfmt_misc handler
#   i386_handler FILE    prints "<entry> <interpreter>" of the enabled
#                        binfmt_misc handler that the kernel hands FILE to,
#                        and fails when the kernel runs FILE itself

i386_binfmt=/proc/sys/fs/binfmt_misc

# A whole 32-bit program in 96 bytes: one ELF header, one loadable segment
# and `mov ebx, 42; mov eax, 1; int 0x80` (exit 42). Asking the program
# rather than the kernel's name or configuration is what tells: a kernel
# built without IA-32 emulation still says x86_64, and a handler registered
# for i386 files runs them on any kernel.
i386_write_probe() {
  printf '%b' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
    '\x00\x00\x00\x00' \
    '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
    '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
    '\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' >"$1"
  chmod +x "$1"
}

i386_runs() {
  local dir status=0
  # /tmp may be mounted noexec; /dev/shm and /var/tmp are the fallbacks.
  for dir in "${TMPDIR:-/tmp}" /dev/shm /var/tmp; do
    local probe
    probe=$(mktemp "$dir/qrt-i386.XXXXXX" 2>/dev/null) || continue
    i386_write_probe "$probe"
    status=0
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    # 126 from the shell: this folder does not let anything run.
    (( status == 126 )) && [[ $(findmnt -no OPTIONS -T "$dir" 2>/dev/null) == *noexec* ]] && continue
    (( status == 42 ))
    return
  done
  return 1
}

# The first bytes of FILE as hex pairs, from byte `offset`, `count` of them.
i386_bytes() {
  od -An -v -tx1 -j "$2" -N "$3" "$1" 2>/dev/null | tr -d ' \n'
}

i386_handler() {
  local file=$1 entry
  [[ -r $file && -f $i386_binfmt/status ]] || return 1
  [[ $(<"$i386_binfmt/status") == enabled ]] || return 1
  for entry in "$i386_binfmt"/*; do
    [[ ${entry##*/} == register || ${entry##*/} == status ]] && continue
    local state= interpreter= offset=0 magic= mask= key value
    while read -r key value; do
      case $key in
        enabled | disabled) state=$key ;;
        interpreter) interpreter=$value ;;
        offset) offset=$value ;;
        magic) magic=$value ;;
        mask) mask=$value ;;
      esac
    done <"$entry" 2>/dev/null
    # Handlers by file name (extension) leave magic empty: not ours.
    [[ $state == enabled && -n $magic ]] || continue
    local n=$((${#magic} / 2)) have i m
    have=$(i386_bytes "$file" "$offset" "$n")
    (( ${#have} == 2 * n )) || continue
    for ((i = 0; i < n; ++i)); do
      m=0xff
      [[ -n $mask ]] && m=0x${mask:2*i:2}
      (( (0x${have:2*i:2} & m) == (0x${magic:2*i:2} & m) )) || continue 2
    done
    echo "${entry##*/} $interpreter"
    return 0
  done
  return 1
}
