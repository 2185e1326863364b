// The Sun and Moon against a table made once from an independent ephemeris (see the table's
// header and its generator in reference/).

#include "astro/Night.h"
#include "astro/Sky.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace astro;

constexpr double Rad = 3.14159265358979323846 / 180.0;

struct TReferenceRow {
    char Kind = 0;
    std::string Site;
    TPosition Place;
    std::vector<std::string> Fields; // after the site
};

std::vector<TReferenceRow> ReadReference() {
    std::ifstream file(NIGHTLUX_EPHEMERIS_REFERENCE);
    std::vector<TReferenceRow> rows;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream in(line);
        TReferenceRow row;
        double elevation = 0.0;
        in >> row.Kind >> row.Site >> row.Place.Latitude >> row.Place.Longitude >> elevation;
        row.Place.Elevation = elevation;
        for (std::string field; in >> field;)
            row.Fields.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

const std::vector<TReferenceRow>& Reference() {
    static const std::vector<TReferenceRow> rows = ReadReference();
    return rows;
}

// Angle between two directions on the sky, degrees.
double Separation(const THorizontal& a, double altitude, double azimuth) {
    const double c = std::sin(a.Altitude * Rad) * std::sin(altitude * Rad) +
                     std::cos(a.Altitude * Rad) * std::cos(altitude * Rad) *
                         std::cos((a.Azimuth - azimuth) * Rad);
    return std::acos(std::fmin(1.0, c)) / Rad;
}

// The largest error of one kind and where it was.
class TWorst {
public:
    TWorst(const char* name, const char* unit) : Name(name), Unit(unit) {}

    const char* Name;
    const char* Unit;
    double Error = 0.0;
    std::string Where;
    int Count = 0;

    void Add(double error, const std::string& where) {
        ++Count;
        if (std::abs(error) > std::abs(Error))
            Error = error, Where = where;
    }
    void Print() const {
        std::cout << "largest " << Name << " error: " << Error << ' ' << Unit << " (" << Where
                  << "; " << Count << " compared)\n";
        testing::Test::RecordProperty(std::string("largest_") + Name, std::to_string(Error));
    }
};

TEST(EphemerisReference, TableCoversTheCenturiesAndThePolarNights) {
    int positions = 0, nights = 0, markers = 0;
    double first = 1e9, last = 0;
    for (const TReferenceRow& row : Reference()) {
        const double jd = std::stod(row.Fields[0]);
        first = std::fmin(first, jd), last = std::fmax(last, jd);
        positions += row.Kind == 'P';
        nights += row.Kind == 'N';
        for (const std::string& f : row.Fields)
            markers += f == "nodark" || f == "alldark";
    }
    EXPECT_GE(positions, 400);
    EXPECT_GE(nights, 300);
    EXPECT_GE(markers, 100);
    EXPECT_LT(first, 2415020.5 + 3 * 365); // 1903
    EXPECT_GT(last, 2488434.5 - 3 * 365);  // 2098
}

TEST(EphemerisReference, SunAndMoonPositions) {
    TWorst sunAltitude{"Sun altitude", "deg"}, sunDirection{"Sun direction", "deg"};
    TWorst moonAltitude{"Moon altitude", "deg"}, moonDirection{"Moon direction", "deg"};
    TWorst fraction{"Moon illuminated fraction", ""};
    for (const TReferenceRow& row : Reference()) {
        if (row.Kind != 'P')
            continue;
        const TJde at(std::stod(row.Fields[0]));
        const std::string where = row.Site + " JD " + row.Fields[0];
        const THorizontal sun = GetSunHorizontal(at, row.Place);
        const THorizontal moon = GetMoonHorizontal(at, row.Place);
        sunAltitude.Add(sun.Altitude - std::stod(row.Fields[1]), where);
        sunDirection.Add(Separation(sun, std::stod(row.Fields[1]), std::stod(row.Fields[2])),
                         where);
        moonAltitude.Add(moon.Altitude - std::stod(row.Fields[3]), where);
        moonDirection.Add(Separation(moon, std::stod(row.Fields[3]), std::stod(row.Fields[4])),
                          where);
        fraction.Add(GetMoonIlluminatedFraction(at) - std::stod(row.Fields[5]), where);
    }
    for (const TWorst* w : {&sunAltitude, &sunDirection, &moonAltitude, &moonDirection, &fraction})
        w->Print();
    EXPECT_LE(std::abs(sunAltitude.Error), 0.01) << sunAltitude.Where;
    EXPECT_LE(sunDirection.Error, 0.01) << sunDirection.Where;
    EXPECT_LE(std::abs(moonAltitude.Error), 0.3) << moonAltitude.Where;
    EXPECT_LE(moonDirection.Error, 0.3) << moonDirection.Where;
    EXPECT_LE(std::abs(fraction.Error), 0.005) << fraction.Where;
}

std::string Describe(const TJde& t) {
    if (t.IsNoDark())
        return "nodark";
    if (t.IsAllDark())
        return "alldark";
    return std::to_string(t.FJd);
}

TEST(EphemerisReference, NightEvents) {
    const char* const names[] = {
        "sunset",        "civil dusk", "nautical dusk", "astronomical dusk", "astronomical dawn",
        "nautical dawn", "civil dawn", "sunrise"};
    TJde TNightEvents::*const members[] = {
        &TNightEvents::Sunset,           &TNightEvents::CivilDusk,
        &TNightEvents::NauticalDusk,     &TNightEvents::AstronomicalDusk,
        &TNightEvents::AstronomicalDawn, &TNightEvents::NauticalDawn,
        &TNightEvents::CivilDawn,        &TNightEvents::Sunrise};
    TWorst sunEvents{"sunset, sunrise or twilight time", "min"};
    TWorst moonEvents{"moonrise or moonset time", "min"};
    TWorst fraction{"Moon illuminated fraction at midnight", ""};
    int markers = 0;
    for (const TReferenceRow& row : Reference()) {
        if (row.Kind != 'N')
            continue;
        const std::string where = row.Site + " night from JD " + row.Fields[0];
        const TNightEvents night =
            GetNight(row.Place, TJde(std::stod(row.Fields[0])), TJde(std::stod(row.Fields[1])),
                     TJde(std::stod(row.Fields[2])));
        for (int i = 0; i < 8; ++i) {
            const std::string& expected = row.Fields[3 + i];
            const TJde got = night.*members[i];
            if (expected == "skip")
                continue;
            if (expected == "nodark" || expected == "alldark") {
                ++markers;
                EXPECT_EQ(Describe(got), expected) << names[i] << ", " << where;
                continue;
            }
            ASSERT_TRUE(got.IsValid()) << names[i] << " " << Describe(got) << ", " << where;
            sunEvents.Add((got.FJd - std::stod(expected)) * 1440.0,
                          std::string(names[i]) + ", " + where);
        }
        const std::optional<TJde> moon[] = {night.Moonrise, night.Moonset};
        for (int i = 0; i < 2; ++i) {
            const std::string& expected = row.Fields[11 + i];
            const char* name = i == 0 ? "moonrise" : "moonset";
            if (expected == "skip")
                continue;
            if (expected == "none") {
                EXPECT_FALSE(moon[i]) << name << " " << moon[i]->FJd << ", " << where;
                continue;
            }
            ASSERT_TRUE(moon[i]) << name << ", " << where;
            moonEvents.Add((moon[i]->FJd - std::stod(expected)) * 1440.0, name + (", " + where));
        }
        fraction.Add(night.MoonFraction - std::stod(row.Fields[13]), where);
    }
    sunEvents.Print();
    moonEvents.Print();
    fraction.Print();
    std::cout << markers << " polar or twilight markers compared\n";
    EXPECT_LE(std::abs(sunEvents.Error), 1.0) << sunEvents.Where;
    EXPECT_LE(std::abs(moonEvents.Error), 2.0) << moonEvents.Where;
    EXPECT_LE(std::abs(fraction.Error), 0.005) << fraction.Where;
}

} // namespace
