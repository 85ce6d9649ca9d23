#!/usr/bin/env python3
"""Regenerates every icon, logo and picture, then the resource list (last, so it
sees the files just written). Needs Python 3 and ImageMagick's `convert`."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_artwork  # noqa: E402
import make_icons  # noqa: E402
import make_logos  # noqa: E402
import make_qrc  # noqa: E402

if __name__ == "__main__":
    make_icons.main()
    make_logos.main()
    make_artwork.main()
    make_qrc.main()
