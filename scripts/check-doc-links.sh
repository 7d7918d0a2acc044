#!/usr/bin/env bash
# Checks that every relative link and picture in README.md and docs/*.md
# names a file or folder of the repository (anchors after '#' are left
# alone; web addresses are not followed). Prints each broken link with its
# file and line and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
broken=0
for doc in README.md docs/*.md; do
  [ -f "$doc" ] || continue
  base=$(dirname "$doc")
  # Markdown links and pictures: ](target) or ](target "title").
  while IFS=: read -r line target; do
    target=${target%% *}
    target=${target%%#*}
    case "$target" in
      ''|http://*|https://*|mailto:*) continue ;;
    esac
    if [ ! -e "$base/$target" ]; then
      echo "$doc:$line: broken link $target" >&2
      broken=1
    fi
  done < <(grep -no '\]([^)]*)' "$doc" | sed -E 's/^([0-9]+):\]\((.*)\)$/\1:\2/')
done
exit $broken
