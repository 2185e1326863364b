#!/usr/bin/python3
"""Writes ephemeris.txt, the reference table of the Sun and Moon tests, from PyEphem.

Run once (Debian's python3-ephem 4.1.4); the output is committed:
    tests/astro/reference/make_ephemeris_reference.py > tests/astro/reference/ephemeris.txt

PyEphem is set to airless geometric altitudes (pressure 0). Times are Julian days in
universal time. The instants and dates are drawn from a fixed seed over 1900-2100.

Row layouts (fields separated by blanks):
  P site lat lon elev jd sun_alt sun_az moon_alt moon_az moon_fraction
  N site lat lon elev start midnight end sunset civil_dusk nautical_dusk astro_dusk
    astro_dawn nautical_dawn civil_dawn sunrise moonrise moonset moon_fraction
A night runs from start to end (local mean noon to the next). An evening event is the start of
the dark spell around the Sun's lowest point (its antitransit) and a morning event its end;
'nodark' when the Sun stays above the event's altitude at that point, 'alldark' when the spell
reaches the edge of the night, 'skip' when the Sun passes within 0.05 deg of the altitude there
(too close to call). A Moon event is the first crossing within the night, 'none', or 'skip'
where the Moon grazes the horizon or PyEphem's search does not end.
"""

import math
import random
import signal

import ephem

DUBLIN_JD = 2415020.0  # ephem.Date(0)

SITES = [
    ("Greenwich", 51.4769, 0.0, 46.0),
    ("MaunaKea", 19.8207, -155.4681, 4205.0),
    ("Quito", -0.1807, -78.4678, 2850.0),
    ("Sydney", -33.8688, 151.2093, 58.0),
    ("Tromso", 69.6492, 18.9553, 10.0),
    ("Longyearbyen", 78.2232, 15.6267, 0.0),
    ("McMurdo", -77.8463, 166.6683, 10.0),
    ("Ushuaia", -54.8019, -68.3030, 23.0),
]

SUN_EVENTS = [("-0:50", "sunset", "sunrise"), ("-6", "civil_dusk", "civil_dawn"),
              ("-12", "nautical_dusk", "nautical_dawn"), ("-18", "astro_dusk", "astro_dawn")]

JD_1900 = 2415020.5  # 1900-01-01 00:00
JD_2101 = 2488434.5  # 2101-01-01 00:00


def observer(lat, lon, elev, jd):
    o = ephem.Observer()
    o.lat = str(lat)
    o.lon = str(lon)
    o.elevation = elev
    o.pressure = 0
    o.date = ephem.Date(jd - DUBLIN_JD)
    return o


def jd_of(date):
    return float(date) + DUBLIN_JD


def position_row(name, lat, lon, elev, jd):
    o = observer(lat, lon, elev, jd)
    sun = ephem.Sun(o)
    moon = ephem.Moon(o)
    return "P %s %.4f %.4f %.0f %.6f %.5f %.5f %.5f %.5f %.5f" % (
        name, lat, lon, elev, jd, math.degrees(sun.alt), math.degrees(sun.az),
        math.degrees(moon.alt), math.degrees(moon.az), moon.moon_phase)


def sun_alt(lat, lon, elev, jd):
    o = observer(lat, lon, elev, jd)
    return math.degrees(ephem.Sun(o).alt)


def sun_events(lat, lon, elev, start, end):
    o = observer(lat, lon, elev, start)
    lowest = jd_of(o.next_antitransit(ephem.Sun()))
    low_alt = sun_alt(lat, lon, elev, lowest)
    fields = {}
    for horizon, dusk, dawn in SUN_EVENTS:
        h = ephem.degrees(horizon)
        limit = math.degrees(h)
        if abs(low_alt - limit) < 0.05:
            fields[dusk] = fields[dawn] = "skip"
            continue
        if low_alt > limit:
            fields[dusk] = fields[dawn] = "nodark"
            continue
        for key, search, edge, inside in (
                (dusk, "previous_setting", start, lambda t: t >= start),
                (dawn, "next_rising", end, lambda t: t <= end)):
            o = observer(lat, lon, elev, lowest)
            o.horizon = h
            try:
                t = jd_of(getattr(o, search)(ephem.Sun(), use_center=True))
                ok = inside(t)
            except (ephem.AlwaysUpError, ephem.NeverUpError):
                ok = False
            if ok:
                fields[key] = "%.6f" % t
            elif abs(sun_alt(lat, lon, elev, edge) - limit) < 0.05:
                fields[key] = "skip"
            else:
                fields[key] = "alldark"
    return fields


class SearchTimeout(Exception):
    pass


def on_alarm(signum, frame):
    raise SearchTimeout()


def moon_grazes(lat, lon, elev, start, end):
    """True where the Moon's upper limb turns within 0.05 deg of the horizon in the night."""
    limb = []
    for i in range(145):
        o = observer(lat, lon, elev, start + (end - start) * i / 144.0)
        moon = ephem.Moon(o)
        limb.append(math.degrees(moon.alt + moon.radius) + 34.0 / 60.0)
    return any(abs(limb[i]) < 0.05 and (limb[i] - limb[i - 1]) * (limb[i + 1] - limb[i]) <= 0
               for i in range(1, len(limb) - 1))


def moon_event(lat, lon, elev, start, end, search):
    if moon_grazes(lat, lon, elev, start, end):
        return "skip"
    o = observer(lat, lon, elev, start)
    o.horizon = "-0:34"
    # PyEphem's search can loop for ever where the Moon grazes the horizon near a pole.
    signal.signal(signal.SIGALRM, on_alarm)
    signal.alarm(10)
    try:
        t = jd_of(getattr(o, search)(ephem.Moon(), use_center=False))
    except (ephem.AlwaysUpError, ephem.NeverUpError):
        return "none"
    except SearchTimeout:
        return "skip"
    finally:
        signal.alarm(0)
    return "%.6f" % t if t <= end else "none"


def night_row(name, lat, lon, elev, day):
    start = day + 0.5 - lon / 360.0  # local mean noon
    end = start + 1.0
    midnight = start + 0.5
    ev = sun_events(lat, lon, elev, start, end)
    o = observer(lat, lon, elev, midnight)
    fraction = ephem.Moon(o).moon_phase
    order = ["sunset", "civil_dusk", "nautical_dusk", "astro_dusk", "astro_dawn",
             "nautical_dawn", "civil_dawn", "sunrise"]
    return "N %s %.4f %.4f %.0f %.6f %.6f %.6f %s %s %s %.5f" % (
        name, lat, lon, elev, start, midnight, end, " ".join(ev[k] for k in order),
        moon_event(lat, lon, elev, start, end, "next_rising"),
        moon_event(lat, lon, elev, start, end, "next_setting"), fraction)


def main():
    rng = random.Random(20240613)
    print("# Reference Sun and Moon positions and night events, made once by")
    print("# tests/astro/reference/make_ephemeris_reference.py with PyEphem %s" % ephem.__version__)
    print("# (Debian python3-ephem; VSOP87 and ELP2000 based), pressure 0: geometric altitudes.")
    print("# Topocentric, azimuth from north through east, Julian days in universal time.")
    print("# Sunset and sunrise: the Sun's centre at -0:50; twilight: centre at -6, -12, -18;")
    print("# moonrise and moonset: upper limb at -0:34. Layouts are described in the script.")
    for name, lat, lon, elev in SITES:
        for _ in range(60):
            jd = rng.uniform(JD_1900, JD_2101)
            print(position_row(name, lat, lon, elev, jd))
    for name, lat, lon, elev in SITES:
        days = [math.floor(rng.uniform(JD_1900, JD_2101) - 0.5) + 0.5 for _ in range(22)]
        # Solstices and the edges of polar day and night (the last two: the first and last
        # sunsets around the polar night at Longyearbyen in 2024).
        for year in (1905, 2024, 2095):
            for month, day in ((6, 21), (12, 21), (3, 1), (10, 15), (5, 5), (8, 10), (10, 25),
                               (2, 15)):
                days.append(jd_of(ephem.Date("%d/%d/%d" % (year, month, day))) - 0.0)
        for d in days:
            print(night_row(name, lat, lon, elev, d))


if __name__ == "__main__":
    main()
