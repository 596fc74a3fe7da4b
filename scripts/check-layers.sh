#!/usr/bin/env bash
# Fails when a source file includes a folder above its own. The layers, lowest
# first: link, then base and sim, then exchange, then front (what both front ends
# share), then panel and cli, then app. A folder may include its own and those of
# lower layers only.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A layer=([link]=1 [base]=2 [sim]=2 [exchange]=3 [front]=4 [panel]=5 [cli]=5 [app]=6)
status=0
for folder in "${!layer[@]}"; do
    [ -d "$folder" ] || continue
    while IFS=: read -r file line included; do
        target=${included%%/*}
        [ "$target" = "$folder" ] && continue
        if [ -z "${layer[$target]:-}" ] || [ "${layer[$target]}" -ge "${layer[$folder]}" ]; then
            echo "$file:$line: $folder/ must not include $included"
            status=1
        fi
    done < <(grep -rnoE '^#include "[a-z]+/[^"]+"' --include='*.h' --include='*.cpp' "$folder" |
             sed -E 's/#include "([^"]+)"/\1/')
done
[ $status -eq 0 ] && echo "Layer check: no folder includes one above its own."
exit $status
