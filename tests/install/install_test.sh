#!/usr/bin/env bash
# Installs into a scratch root twice; between the two, the site edits its
# configuration, which the second install must keep.
set -euo pipefail
build=$1
config_dir=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
for f in usr/bin/frigel usr/lib/systemd/system/frigel.service \
         "${config_dir#/}/frigel.conf" "${config_dir#/}/frigel/frigelconfig.xml" \
         "${config_dir#/}/frigel/frigelConstants.xml"; do
  [ -e "$root/$f" ] || { echo "missing after install: /$f"; exit 1; }
done
grep -q '^ExecStart=/usr/bin/frigel$' "$root/usr/lib/systemd/system/frigel.service" ||
  { echo "the unit does not start /usr/bin/frigel"; exit 1; }

echo "SyncTime=60" >"$root${config_dir}/frigel.conf"
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
[ "$(cat "$root${config_dir}/frigel.conf")" = "SyncTime=60" ] ||
  { echo "the second install overwrote the site's frigel.conf"; exit 1; }
echo "install: files in place, site configuration kept"
