// Writes a deterministic simulated year of readings as skyglow data files.
#include "astro/Site.h"
#include "platform/Exception.h"
#include "tools/year/SimulatedYear.h"

#include <charconv>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* Usage =
    "Usage: nightlux-sim-year --out FOLDER [--year YYYY] [--years N] [--step SECONDS]\n"
    "                         [--position LAT,LON[,ELEV]]\n"
    "Writes simulated readings as skyglow data files, one per night: the real Sun and Moon,\n"
    "clear, overcast and broken-cloud nights, a sky that brightens by 0.1 mag/arcsec^2 a\n"
    "year. The same arguments (and TZ) always give the same files.\n";

int Number(const std::string& option, const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        throw Exception("Option " + option + " takes a whole number from " + std::to_string(low) +
                        " to " + std::to_string(high) + ", not '" + text + "'.");
    return value;
}

} // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    TSimulatedYearOptions options;
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            const auto value = [&]() -> const std::string& {
                if (i + 1 >= args.size())
                    throw Exception("Option " + arg + " needs a value.");
                return args[++i];
            };
            if (arg == "--help" || arg == "-h") {
                std::cout << Usage;
                return 0;
            } else if (arg == "--out") {
                options.Folder = value();
            } else if (arg == "--year") {
                options.Year = Number(arg, value(), 1900, 2100);
            } else if (arg == "--years") {
                options.Years = Number(arg, value(), 1, 20);
            } else if (arg == "--step") {
                options.StepSeconds = Number(arg, value(), 1, 3600);
            } else if (arg == "--position") {
                const TPosition p = ParsePosition(value());
                options.Site = {p.Latitude, p.Longitude, p.Elevation.value_or(0.0)};
            } else {
                throw Exception("Unknown option " + arg + ".");
            }
        }
        if (options.Folder.empty())
            throw Exception("Name the folder to write with --out FOLDER.");
    } catch (const Exception& e) {
        std::cerr << "nightlux-sim-year: " << e.what() << '\n' << Usage;
        return 2;
    }
    try {
        const std::size_t count = WriteSimulatedYear(options);
        std::cout << count << " readings written to " << options.Folder << ".\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "nightlux-sim-year: " << e.what() << '\n';
        return 1;
    }
}
