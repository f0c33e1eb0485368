#!/usr/bin/env bash
# brelix-info.exe under Wine gives the same --json figures as the Linux
# build's brelix-info, over every track of the demo library (ID3v2 with
# pictures, ID3v1, APE, Lyrics3, Xing/Info/LAME, CBR and VBR). Skipped (77)
# when the Linux build is not there.
#   same_figures_as_linux.sh LINUX_DIST WINDOWS_BRELIX_INFO WINE_RUN
set -euo pipefail
linux=$1 windows=$2 wine_run=$3
[ -x "$linux/brelix-info" ] && [ -x "$linux/make-demo-library" ] || { echo "no Linux build in $linux"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$linux/make-demo-library" "$work" >/dev/null
cd "$work/tracks"
tracks=(*.mp3)
"$linux/brelix-info" --json "${tracks[@]}" >"$work/linux.json"
"$wine_run" "$windows" --json "${tracks[@]}" >"$work/windows.json" </dev/null
if ! cmp -s "$work/linux.json" "$work/windows.json"; then
  diff "$work/linux.json" "$work/windows.json" | head -20
  exit 1
fi
echo "${#tracks[@]} tracks: the same figures"
