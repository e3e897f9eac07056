#!/usr/bin/env bash
# Fails when a file includes from a folder that sits above its own in the layout, or when the Qt-free
# core (or the report) includes Qt. The order is the architecture: each folder may use only the folders
# before it, and of the folders after the report only the command uses it.
#   check-layout.sh [ROOT]
set -euo pipefail
ROOT=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$ROOT"

LAYERS=(host dataset toolkit design engine report windows plot package apps)
CORE=(host dataset toolkit design engine)
# Folders that must build without Qt besides the core.
QT_FREE=(report)
# The report is used by the command only: the windows, the plot and the package stay free of it.
REPORT_USERS=(apps)

rank() {
  local i
  for i in "${!LAYERS[@]}"; do [ "${LAYERS[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}

violations=0
for folder in "${LAYERS[@]}"; do
  [ -d "$folder" ] || continue
  own=$(rank "$folder")
  while IFS=: read -r file line text; do
    target=$(sed -E 's/.*#include *"([^/"]+)\/.*/\1/' <<<"$text")
    theirs=$(rank "$target")
    if [ "$theirs" -gt "$own" ]; then
      echo "$file:$line: $folder/ must not include from $target/ (it sits above): $text"
      violations=$((violations + 1))
    fi
  done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$folder" || true)
done

# package/ holds both the core's registration unit and the Qt palette bitmaps; only the unit the core
# compiles is held to the Qt-free rule.
core_files=()
for folder in "${CORE[@]}"; do [ -d "$folder" ] && core_files+=("$folder"); done
core_files+=(package/Smr32reg.h package/Smr32reg.cpp)
for folder in "${QT_FREE[@]}"; do [ -d "$folder" ] && core_files+=("$folder"); done
while IFS= read -r hit; do
  echo "$hit: the Qt-free core must not include Qt"
  violations=$((violations + 1))
done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "${core_files[@]}" 2>/dev/null || true)

for folder in windows plot package; do
  [ -d "$folder" ] || continue
  while IFS= read -r hit; do
    echo "$hit: only ${REPORT_USERS[*]}/ may use the report"
    violations=$((violations + 1))
  done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"report/' "$folder" || true)
done

if [ "$violations" -gt 0 ]; then
  echo "check-layout: $violations include(s) against the layout (order: ${LAYERS[*]})" >&2
  exit 1
fi
echo "check-layout: every include follows the layout (${LAYERS[*]})"
