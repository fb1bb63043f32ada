#!/usr/bin/env bash
# Checks the generated systemd unit with systemd-analyze, pointing its
# ExecStart at the freshly built daemon (the checker wants the program to
# exist). Skipped (77) where systemd-analyze is not available.
set -euo pipefail
unit=$1
daemon=$2
command -v systemd-analyze >/dev/null || { echo "no systemd-analyze: skipped"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
sed "s|^ExecStart=.*|ExecStart=$daemon|" "$unit" >"$scratch/frigel.service"
systemd-analyze verify "$scratch/frigel.service"
echo "unit verified"
