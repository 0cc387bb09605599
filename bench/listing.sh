#!/bin/sh
# Listing benchmark: arcpeek against unzip, zipinfo, bsdtar, 7zz and python3's
# zipfile on 65,535-entry archives. Options: see bench/listing.py --help.
exec python3 "$(dirname "$0")/listing.py" "$@"
