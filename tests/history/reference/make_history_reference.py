#!/usr/bin/python3
"""Writes sky.txt, the reference table of the history's dark-reading tests, from PyEphem.

Run once (Debian's python3-ephem 4.1.4); the output is committed:
    tests/history/reference/make_history_reference.py > tests/history/reference/sky.txt

PyEphem is set to airless geometric altitudes (pressure 0). Instants are whole seconds of
Unix time drawn from a fixed seed over the years 2025-2027, sorted, for each site.

Row layout (fields separated by blanks):
  R site lat lon elev unix_seconds sun_alt moon_alt moon_fraction
"""

import math
import random

import ephem

DUBLIN_JD = 2415020.0  # ephem.Date(0)
UNIX_JD = 2440587.5
START = 1735689600  # 2025-01-01 00:00 UTC
END = 1830297600    # 2028-01-01 00:00 UTC

SITES = [
    ("Greenwich", 51.4769, 0.0, 46.0),
    ("Sydney", -33.8688, 151.2093, 58.0),
    ("Tromso", 69.6492, 18.9553, 10.0),
]


def main():
    rng = random.Random(20261210)
    print(__doc__.strip().replace("\n", "\n# ").join(["# ", ""]))
    for name, lat, lon, elev in SITES:
        for seconds in sorted(rng.randrange(START, END) for _ in range(400)):
            o = ephem.Observer()
            o.lat = str(lat)
            o.lon = str(lon)
            o.elevation = elev
            o.pressure = 0
            o.date = ephem.Date(UNIX_JD + seconds / 86400.0 - DUBLIN_JD)
            sun = ephem.Sun(o)
            moon = ephem.Moon(o)
            print("R %s %.4f %.4f %.0f %d %.5f %.5f %.5f" % (
                name, lat, lon, elev, seconds, math.degrees(sun.alt),
                math.degrees(moon.alt), moon.moon_phase))


if __name__ == "__main__":
    main()
