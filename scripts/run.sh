#!/usr/bin/env bash
# Builds TrackFen (release) and runs it against the changer simulator loaded with the demo
# library. The demo has its own program folder, data folder and personal settings under
# build-release/demo, so your real settings and titles are never touched.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
bash scripts/install-deps.sh
bash scripts/build.sh build-release Release -DTRACKFEN_BUILD_TESTS=OFF

demo="$here/build-release/demo"
mkdir -p "$demo/config/MYAPP"
# The program folder is the executable's folder: give the demo a copy of its own.
cp -f build-release/shell/trackfen "$demo/trackfen"
cp -f "build-release/shell/trackfen help contents.htm" "$demo/"
# The sample CDDB database for the demo's discs: lookups find them without a network.
rm -rf "$demo/cddb-demo"
cp -r build-release/shell/cddb-demo "$demo/cddb-demo"
# Saved MusicBrainz replies for the demo's disc that the CDDB sample does not know.
rm -rf "$demo/musicbrainz-demo"
cp -r build-release/shell/musicbrainz-demo "$demo/musicbrainz-demo"

link="$demo/changer"
build-release/sim/changer-sim --library resources/demo-library.json --pty-link "$link" \
    </dev/null >"$demo/changer-sim.out" 2>"$demo/changer-sim.err" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
    [ -e "$link" ] && break
    if ! kill -0 "$sim" 2>/dev/null; then
        cat "$demo/changer-sim.err" >&2
        exit 1
    fi
    sleep 0.1
done

# COM 1 of the demo's personal settings is the simulator's line.
export XDG_CONFIG_HOME="$demo/config"
settings="$XDG_CONFIG_HOME/MYAPP/MYAPP.conf"
if [ -f "$settings" ] && grep -q '^COM1=' "$settings"; then
    sed -i "s|^COM1=.*|COM1=$link|" "$settings"
elif [ -f "$settings" ] && grep -q '^\[Ports\]' "$settings"; then
    sed -i "/^\[Ports\]/a COM1=$link" "$settings"
else
    printf '[Ports]\nCOM1=%s\n' "$link" >>"$settings"
fi

# The demo's lookups use the sample database instead of the server (the CDDB options window
# can switch that); the folder is set again at every run in case the tree moved.
if grep -q '^OfflineFolder=' "$settings"; then
    sed -i "s|^OfflineFolder=.*|OfflineFolder=$demo/cddb-demo|" "$settings"
elif grep -q '^\[CDDB\]' "$settings"; then
    sed -i "/^\[CDDB\]/a OfflineFolder=$demo/cddb-demo" "$settings"
else
    printf '\n[CDDB]\nOfflineFolder=%s\nOfflineMode=instead\n' "$demo/cddb-demo" >>"$settings"
fi

# MusicBrainz is asked when CDDB finds nothing, from the saved replies instead of the server.
if grep -q '^SampleFolder=' "$settings"; then
    sed -i "s|^SampleFolder=.*|SampleFolder=$demo/musicbrainz-demo|" "$settings"
elif grep -q '^\[MusicBrainz\]' "$settings"; then
    sed -i "/^\[MusicBrainz\]/a SampleFolder=$demo/musicbrainz-demo" "$settings"
else
    printf '\n[MusicBrainz]\nOrder=cddb-musicbrainz\nSampleFolder=%s\n' "$demo/musicbrainz-demo" \
        >>"$settings"
fi

"$demo/trackfen" "$@"
