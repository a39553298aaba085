"""Writes the RECORD of an installed dist-info folder: every installed file
of the package with its SHA-256 and size, as pip lists and removes them.

    write_record.py SITE_DIR DIST_INFO FILE...

FILE and DIST_INFO are relative to SITE_DIR; RECORD itself is listed
without a hash, as it must be.
"""

import base64
import hashlib
import os
import sys


def main(site, dist_info, files):
    lines = []
    for name in files:
        with open(os.path.join(site, name), "rb") as f:
            data = f.read()
        digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
        lines.append(f"{name},sha256={digest},{len(data)}\n")
    lines.append(f"{dist_info}/RECORD,,\n")
    with open(os.path.join(site, dist_info, "RECORD"), "w", encoding="utf-8") as f:
        f.writelines(lines)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
