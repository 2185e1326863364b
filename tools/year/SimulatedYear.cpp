#include "tools/year/SimulatedYear.h"

#include "history/SkyTrack.h"
#include "platform/Exception.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

using namespace std::chrono;

constexpr double NaturalSky = 21.8;     // mag/arcsec^2
constexpr double LightPollution = 21.3; // the artificial part alone at the start

double Flux(double magnitude) {
    return std::pow(10.0, -0.4 * magnitude);
}

// Uniform 0..1 and normal numbers from mt19937 alone, the same on every platform.
class TRandom {
public:
    explicit TRandom(std::uint64_t seed) : Engine(seed) {}
    double Uniform() { return double(Engine() >> 11) * (1.0 / 9007199254740992.0); }
    double Normal() {
        const double u = std::max(Uniform(), 1e-12), v = Uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * M_PI * v);
    }

private:
    std::mt19937_64 Engine;
};

std::string Iso(std::int64_t seconds) {
    const sys_days day = floor<days>(sys_seconds(std::chrono::seconds(seconds)));
    const year_month_day date{day};
    const hh_mm_ss clock{sys_seconds(std::chrono::seconds(seconds)) - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.000", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()));
    return text;
}

std::string Header(const TSimulatedYearOptions& o) {
    char position[96];
    std::snprintf(position, sizeof position, "%.4f, %.4f, %.0f", o.Site.Latitude, o.Site.Longitude,
                  o.Site.Elevation.value_or(0.0));
    const char* lines[] = {
        "Definition of the community standard for skyglow observations 1.0",
        "URL: http://www.darksky.org/measurements",
        "Number of header lines: 35",
        "This data is released under the following license: ODbL 1.0",
        "Device type: SQM-LE",
        "Instrument ID: simulated",
        "Data supplier: Nightlux simulated year",
        nullptr, // location
        nullptr, // position
        "Local timezone: as TZ",
        "Time Synchronization: simulated",
        "Moving / Stationary position: STATIONARY",
        "Moving / Fixed look direction: FIXED",
        "Number of channels: 1",
        "Filters per channel: HOYA CM-500",
        "Measurement direction per channel: 0., 0.",
        "Field of view (degrees): 20",
        "Number of fields per line: 6",
        "SQM serial number: 1",
        "SQM firmware version: 4-3-76",
        "SQM cover offset value: 0.00",
        "SQM readout test ix: ",
        "SQM readout test rx: ",
        "SQM readout test cx: ",
        "Comment: a deterministic simulation: real Sun and Moon, made-up clouds",
        "Comment: ",
        "Comment: ",
        "Comment: ",
        "Comment: ",
        "blank line 30",
        "blank line 31",
        "blank line 32",
        "UTC Date & Time, Local Date & Time, Temperature, Counts, Frequency, MSAS",
        "YYYY-MM-DDTHH:mm:ss.fff;YYYY-MM-DDTHH:mm:ss.fff;Celsius;number;Hz;mag/arcsec^2",
        "END OF HEADER",
    };
    std::string text;
    for (std::size_t i = 0; i < std::size(lines); ++i) {
        text += "# ";
        if (i == 7)
            text += "Location name: " + o.SiteName;
        else if (i == 8)
            text += std::string("Position (lat, lon, elev(m)): ") + position;
        else
            text += lines[i];
        text += "\r\n";
    }
    return text;
}

enum class TWeather { Clear, Overcast, Broken };

} // namespace

std::size_t WriteSimulatedYear(const TSimulatedYearOptions& o) {
    std::filesystem::create_directories(o.Folder);
    TSkyTrack sky(o.Site);
    TRandom random(0x4e696768746c7578ULL); // fixed: the same year every time
    const std::string header = Header(o);
    std::size_t written = 0;
    const sys_days first{year{o.Year} / 1 / 1};
    const sys_days stop = o.Days ? first + days{o.Days} : sys_days{year{o.Year + o.Years} / 1 / 1};
    for (sys_days night = first; night < stop; night += days{1}) {
        const year_month_day date{night};
        const double age = double((night - first).count()) / 365.25;
        const double pollution = Flux(LightPollution) * std::pow(10.0, 0.4 * o.TrendPerYear * age);
        const double draw = random.Uniform();
        const TWeather weather = draw < 0.55  ? TWeather::Clear
                                 : draw < 0.8 ? TWeather::Overcast
                                              : TWeather::Broken;
        const std::int64_t start = LocalToUnixTime(int(date.year()), int(unsigned(date.month())),
                                                   int(unsigned(date.day())), 12, 0, 0);
        const year_month_day next{night + days{1}};
        const std::int64_t end = LocalToUnixTime(int(next.year()), int(unsigned(next.month())),
                                                 int(unsigned(next.day())), 12, 0, 0);
        char name[64];
        std::snprintf(name, sizeof name, "%04d%02u%02u_120000_SQM-LE-sim.dat", int(date.year()),
                      unsigned(date.month()), unsigned(date.day()));
        std::string text = header;
        double cloud = 0; // broken cloud's cover now, 0..1, wandering
        for (std::int64_t t = start; t < end; t += o.StepSeconds) {
            const TSkyTrack::TSky at = sky.At(t * 1000);
            double flux = Flux(NaturalSky) + pollution;
            if (at.SunAltitude > -18)
                flux += Flux(std::max(3.0, NaturalSky - 0.75 * (at.SunAltitude + 18)));
            if (at.MoonAltitude > 0)
                flux += Flux(18.0) * at.MoonFraction * std::sin(at.MoonAltitude * M_PI / 180);
            if (weather == TWeather::Overcast) {
                flux += 2.0 * pollution;
            } else if (weather == TWeather::Broken) {
                cloud = std::clamp(cloud + 0.25 * random.Normal(), 0.0, 1.0);
                flux += 3.0 * pollution * cloud;
            }
            const double mpsas = -2.5 * std::log10(flux) + 0.01 * random.Normal();
            const std::int64_t local = t + GetUtcOffsetAt(t);
            char line[160];
            std::snprintf(line, sizeof line, "%s;%s;%.2f;%.3f;%.3f;%.2f\r\n", Iso(t).c_str(),
                          Iso(local).c_str(), 8.0 - 6.0 * std::cos(2 * M_PI * (age - 0.05)), 0.0,
                          std::pow(10.0, (20.0 - mpsas) / 2.5), mpsas);
            text += line;
            ++written;
        }
        const std::string path = o.Folder + "/" + name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out)
            throw Exception("Could not write " + path + ".");
    }
    return written;
}
