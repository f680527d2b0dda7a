#!/bin/bash
# Makes a delay-load import library from an ordinary one: the DLL is then
# loaded at the first call into it, not when the program starts, so that a
# machine without it can still start the program and be told what to
# install.
#   delay-import.sh <nm> <dlltool> <import library> <dll name> <output>
set -euo pipefail
nm=$1 dlltool=$2 implib=$3 dll=$4 out=$5
def=$(mktemp)
trap 'rm -f "$def"' EXIT
{
  echo "LIBRARY $dll"
  echo "EXPORTS"
  "$nm" "$implib" | awk '$2 == "T" && $3 ~ /^_/ { sub(/^_/, "", $3); print $3 }' | sort -u
} > "$def"
"$dlltool" -k --input-def "$def" --dllname "$dll" --output-delaylib "$out"
