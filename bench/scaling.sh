#!/bin/sh
# Scaling benchmark: listing and rewrite time against entry count (1,000,
# 8,000, 65,000), beside the floor walk and the peers. Options: see
# bench/scaling.py --help.
exec python3 "$(dirname "$0")/scaling.py" "$@"
