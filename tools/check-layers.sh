#!/bin/bash
# Fails when a source file includes a header of a layer above its own.
# Each folder may include its own headers and those of the folders listed
# for it; the host, on top, may include everything.
set -euo pipefail
root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

declare -A allowed=(
  [base]="base"
  [engine]="base engine"
  [files]="base engine files"
  [gfx2d]="base engine files gfx2d"
  [input]="base engine files gfx2d input"
  [scene3d]="base engine files gfx2d scene3d"
  [sound]="base engine sound"
  [net]="base engine files net"
  [system]="base engine files gfx2d input system"
  [bridge]="bridge"
  [image]="image base/vocabulary.h"
  [compiler]="compiler image base/vocabulary.h base/catalogue.h"
  [tools/imagetools]="tools/imagetools image base/vocabulary.h engine/image_rules.h"
  [tools/media]="tools/media"
)

status=0
for layer in "${!allowed[@]}"; do
  [[ -d $root/$layer ]] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"${line#*:}")
    ok=0
    for a in ${allowed[$layer]}; do
      if [[ $target == "$a" || $target == "$a"/* ]]; then ok=1; break; fi
    done
    if (( ! ok )); then
      echo "layers: ${file#"$root"/} includes \"$target\", above its layer ($layer)" >&2
      status=1
    fi
  done < <(grep -rH --include='*.h' --include='*.cpp' --include='*.S' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$root/$layer" || true)
done
exit $status
