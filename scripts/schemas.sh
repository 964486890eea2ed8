#!/usr/bin/env bash
# Puts the published XML schemas of KML 2.2 and GPX 1.1 into DIR (default build/schemas), taken from the Debian
# packages that carry copies of them, so that the tests can validate the exported files. Only the schema files are
# unpacked; the packages are not installed. Without the network (or the packages) the tests that need the schemas
# say so and skip: a failure here is a warning, not an error.
set -uo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build/schemas}
if [[ -s $dir/kml/ogckml22.xsd && -s $dir/gpx/gpx.xsd ]]; then
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fetch() {
    (cd "$work" && apt-get download "$@" >/dev/null 2>&1) ||
        { apt-get update -q >/dev/null 2>&1 && (cd "$work" && apt-get download "$@" >/dev/null 2>&1); }
}
# python3-mapproxy keeps the OGC KML 2.2 schema with the two schemas it imports; pytrainer the GPX 1.1 schema.
if ! fetch python3-mapproxy pytrainer; then
    echo "warning: the KML and GPX schemas could not be fetched; the schema checks will be skipped" >&2
    exit 0
fi
for deb in "$work"/*.deb; do
    dpkg-deb -x "$deb" "$work/x" || exit 0
done
mkdir -p "$dir/kml" "$dir/gpx"
cp "$work"/x/usr/share/python3-mapproxy/test/schemas/kml/2.2.0/{ogckml22.xsd,atom-author-link.xsd,xAL.xsd} "$dir/kml/"
cp "$work"/x/usr/share/pytrainer/schemas/Topografix_gpx11.xsd "$dir/gpx/gpx.xsd"
echo "schemas: KML 2.2 and GPX 1.1 in $dir"
