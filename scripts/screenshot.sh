#!/usr/bin/env bash
# Takes the README's screenshot: TrackFen connected to the changer simulator (demo library),
# in a virtual X display. Writes docs/screenshot.png.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
bash scripts/install-deps.sh
bash scripts/build.sh build-release Release -DTRACKFEN_BUILD_TESTS=OFF
cmake --build build-release --target screengrab >/dev/null

shot="$(mktemp -d)"
trap 'rm -rf "$shot"' EXIT
cp build-release/shell/trackfen "$shot/trackfen"
mkdir -p "$shot/config/MYAPP" "$shot/data"
printf '[Ports]\nCOM1=%s\n' "$shot/changer" >"$shot/config/MYAPP/MYAPP.conf"
# A settled installation: no first-run questions, no online lookups.
printf 'DATA DIR =\r\n%s/data/\r\nCOM No =\r\n 1 \r\nSILENT =\r\n 0 \r\nINIT =\r\n 1 \r\nWEB =\r\n 1 \r\n 0 \r\nProxy set =\r\n 1 \r\n' \
    "$shot" >"$shot/config.KWD"

cat >"$shot/session.sh" <<SESSION
#!/usr/bin/env bash
set -u
"$here/build-release/sim/changer-sim" --library "$here/resources/demo-library.json" \
    --pty-link "$shot/changer" --load-ms 300 </dev/null >/dev/null 2>&1 &
sim=\$!
for _ in \$(seq 1 50); do [ -e "$shot/changer" ] && break; sleep 0.1; done
XDG_CONFIG_HOME="$shot/config" "$shot/trackfen" >/dev/null 2>&1 &
app=\$!
sleep 8
mkdir -p "$here/docs"
"$here/build-release/tools/screengrab" "$here/docs/screenshot.png"
status=\$?
kill \$app \$sim 2>/dev/null
wait 2>/dev/null
exit \$status
SESSION
chmod +x "$shot/session.sh"
xvfb-run -a -s "-screen 0 1024x768x24" "$shot/session.sh"
echo "wrote docs/screenshot.png"
