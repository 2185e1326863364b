#include "astro/Night.h"

#include "astro/SkyMath.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace astro {

namespace {

constexpr double SearchStep = 10.0 / 1440.0;
constexpr double HorizonRefraction = 34.0 / 60.0; // degrees
constexpr double MoonRadius = 1737.4;             // km

struct TSunEvent {
    double Altitude;
    TJde TNightEvents::*Evening;
    TJde TNightEvents::*Morning;
};

constexpr TSunEvent SunEvents[] = {
    {-50.0 / 60.0, &TNightEvents::Sunset, &TNightEvents::Sunrise},
    {-6.0, &TNightEvents::CivilDusk, &TNightEvents::CivilDawn},
    {-12.0, &TNightEvents::NauticalDusk, &TNightEvents::NauticalDawn},
    {-18.0, &TNightEvents::AstronomicalDusk, &TNightEvents::AstronomicalDawn},
};

double SunAltitude(const TEarthState& state, const TPosition& site) {
    return ToTopocentric(GetSunEquatorial(state), state, site).Horizontal.Altitude;
}

// Altitude of the Moon's upper limb above the apparent horizon.
double MoonLimbAltitude(const TEarthState& state, const TPosition& site) {
    const TTopocentric moon = ToTopocentric(GetMoonEquatorial(state), state, site);
    return moon.Horizontal.Altitude + HorizonRefraction +
           std::asin(MoonRadius / moon.Distance) / Radians;
}

struct TPoint {
    double Jd;
    double Value;
};

// The instant in [a, b] where f crosses level; f(a) and f(b) lie on either side of it.
template <class F>
double Crossing(F f, TPoint a, TPoint b, double level) {
    const bool aboveAtA = a.Value > level;
    for (int i = 0; i < 20; ++i) { // 10 minutes / 2^20: well under a second
        const double mid = (a.Jd + b.Jd) / 2.0;
        const TPoint m{mid, f(mid)};
        if ((m.Value > level) == aboveAtA)
            a = m;
        else
            b = m;
    }
    return (a.Jd + b.Jd) / 2.0;
}

// The lowest point of f in [a, b], by golden section.
template <class F>
TPoint Lowest(F f, double a, double b) {
    const double g = (std::sqrt(5.0) - 1.0) / 2.0;
    double c = b - g * (b - a);
    double d = a + g * (b - a);
    double fc = f(c);
    double fd = f(d);
    while (b - a > 1.0 / 86400.0) {
        if (fc < fd) {
            b = d, d = c, fd = fc;
            c = b - g * (b - a), fc = f(c);
        } else {
            a = c, c = d, fc = fd;
            d = a + g * (b - a), fd = f(d);
        }
    }
    const double mid = (a + b) / 2.0;
    return TPoint{mid, f(mid)};
}

std::vector<double> Grid(double start, double end, double step) {
    std::vector<double> grid;
    const auto n = static_cast<std::size_t>(std::ceil((end - start) / step));
    for (std::size_t i = 0; i < n; ++i)
        grid.push_back(start + static_cast<double>(i) * step);
    grid.push_back(end);
    return grid;
}

void FindSunEvents(TNightEvents& night, const TPosition& site, const std::vector<TPoint>& samples) {
    const auto sun = [&site](double jd) { return SunAltitude(GetEarthState(jd), site); };
    // The lowest point, refined between the neighbours of the lowest sample and kept in order.
    std::vector<TPoint> points = samples;
    const auto k = static_cast<std::size_t>(
        std::min_element(points.begin(), points.end(),
                         [](const TPoint& a, const TPoint& b) { return a.Value < b.Value; }) -
        points.begin());
    const TPoint low =
        Lowest(sun, points[k == 0 ? 0 : k - 1].Jd, points[std::min(k + 1, points.size() - 1)].Jd);
    std::size_t lowest = k;
    if (low.Value < points[k].Value) {
        lowest = low.Jd < points[k].Jd ? k : k + 1;
        points.insert(points.begin() + static_cast<std::ptrdiff_t>(lowest), low);
    }

    for (const TSunEvent& event : SunEvents) {
        const double h = event.Altitude;
        if (points[lowest].Value > h) {
            night.*event.Evening = TJde(TJde::MinValue);
            night.*event.Morning = TJde(TJde::MinValue);
            continue;
        }
        std::size_t i = lowest;
        while (i > 0 && points[i - 1].Value <= h)
            --i;
        night.*event.Evening =
            i == 0 ? TJde(TJde::MaxValue) : TJde(Crossing(sun, points[i - 1], points[i], h));
        std::size_t j = lowest;
        while (j + 1 < points.size() && points[j + 1].Value <= h)
            ++j;
        night.*event.Morning = j + 1 == points.size()
                                   ? TJde(TJde::MaxValue)
                                   : TJde(Crossing(sun, points[j], points[j + 1], h));
    }
}

void FindMoonEvents(TNightEvents& night, const TPosition& site,
                    const std::vector<TPoint>& samples) {
    const auto moon = [&site](double jd) { return MoonLimbAltitude(GetEarthState(jd), site); };
    for (std::size_t i = 0; i + 1 < samples.size(); ++i) {
        const TPoint& a = samples[i];
        const TPoint& b = samples[i + 1];
        if (!night.Moonrise && a.Value <= 0.0 && b.Value > 0.0)
            night.Moonrise = TJde(Crossing(moon, a, b, 0.0));
        if (!night.Moonset && a.Value > 0.0 && b.Value <= 0.0)
            night.Moonset = TJde(Crossing(moon, a, b, 0.0));
    }
}

TJde FromUnixTime(std::int64_t seconds) {
    return TJde(UnixEpochJd + static_cast<double>(seconds) / 86400.0);
}

} // namespace

TNightEvents GetNight(const TPosition& site, const TJde& start, const TJde& midnight,
                      const TJde& end) {
    CheckPosition(site);
    if (!(start.FJd < end.FJd && end.FJd - start.FJd <= 2.0))
        throw Exception("A night must end after it starts and last at most two days.");
    TNightEvents night;
    night.Start = start;
    night.Midnight = midnight;
    night.End = end;

    std::vector<TPoint> sun;
    std::vector<TPoint> moon;
    for (const double jd : Grid(start.FJd, end.FJd, SearchStep)) {
        const TEarthState state = GetEarthState(jd);
        sun.push_back({jd, SunAltitude(state, site)});
        moon.push_back({jd, MoonLimbAltitude(state, site)});
    }
    FindSunEvents(night, site, sun);
    FindMoonEvents(night, site, moon);
    night.MoonFraction = GetMoonIlluminatedFraction(midnight);
    return night;
}

TNightEvents GetLocalNight(const TPosition& site, int year, int month, int day) {
    TJde date;
    date.SetMDY(month, day, year);
    return GetNight(site, FromUnixTime(LocalToUnixTime(year, month, day, 12, 0, 0)),
                    FromUnixTime(LocalToUnixTime(year, month, day + 1, 0, 0, 0)),
                    FromUnixTime(LocalToUnixTime(year, month, day + 1, 12, 0, 0)));
}

std::vector<TAltitudeSample> SampleAltitudes(const TPosition& site, const TJde& start,
                                             const TJde& end, double stepMinutes) {
    CheckPosition(site);
    const double step = stepMinutes / 1440.0;
    if (!(step > 0.0))
        throw Exception("The sampling step must be a positive number of minutes.");
    if (!(end.FJd >= start.FJd && (end.FJd - start.FJd) / step < 100000.0))
        throw Exception("The sampling span must not end before it starts or need more than "
                        "100000 samples.");
    std::vector<TAltitudeSample> samples;
    for (const double jd : Grid(start.FJd, end.FJd, step)) {
        const TEarthState state = GetEarthState(jd);
        samples.push_back(
            {TJde(jd), SunAltitude(state, site),
             ToTopocentric(GetMoonEquatorial(state), state, site).Horizontal.Altitude});
    }
    return samples;
}

TJde UtToLocal(const TJde& ut) {
    if (!ut.IsValid())
        return ut;
    // Clamped (NaN too) so that the seconds fit; the offset far out is the zone's rule there.
    const double days = std::fmax(-2e11, std::fmin(2e11, ut.FJd - UnixEpochJd));
    const auto seconds = static_cast<std::int64_t>(
        std::floor((std::isnan(days) ? 2e11 : days) * 86400.0)); // |.| < 2e16
    return ut + static_cast<double>(GetUtcOffsetAt(seconds)) / 86400.0;
}

TJde LocalToUt(const TJde& local) {
    if (!local.IsValid())
        return local;
    int month, day, year, hour, minute, second;
    local.Get(month, day, year, hour, minute, second);
    return FromUnixTime(LocalToUnixTime(year, month, day, hour, minute, second));
}

} // namespace astro
