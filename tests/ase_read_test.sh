#!/usr/bin/env bash
# Runs ase_read_test.py with a Python that has ASE: Debian's python3-ase lives
# in /usr/bin/python3, which another python3 earlier on PATH would hide.
#   ase_read_test.sh TESSALY MODEL_DUMP
for python in /usr/bin/python3 python3; do
  if command -v "$python" >/dev/null && "$python" -c "import ase.io, numpy" 2>/dev/null; then
    exec "$python" "$(dirname "$0")/ase_read_test.py" "$@"
  fi
done
echo "ASE is not installed (Debian: python3-ase): skipped"
exit 77
