#pragma once

#include "platform/Exception.h"

#include <optional>
#include <string>

class TIniFile;

// A site that is missing a needed part or holds an impossible value; the message says which.
class ESiteError : public Exception {
public:
    using Exception::Exception;
};

// An observing place on the Earth: geodetic latitude in degrees north, longitude in degrees
// east, elevation in metres above sea level (the Sun and Moon take a missing one as sea level).
// The only site type: the settings, the skyglow files, the ephemeris and the chart all use it.
struct TPosition {
    double Latitude = 0.0;
    double Longitude = 0.0;
    std::optional<double> Elevation;
};

struct TSite {
    std::string Name;                  // empty when not given
    std::optional<TPosition> Position; // nullopt when not given
};

// The one range table for a position's parts.
struct TSiteRange {
    const char* What;
    double Lowest;
    double Highest;
    const char* Unit;
};
inline constexpr TSiteRange LatitudeRange{"latitude", -90.0, 90.0, "degrees"};
inline constexpr TSiteRange LongitudeRange{"longitude", -180.0, 180.0, "degrees"};
// Settings saved before allowed up to 9000 m; the bound was widened, never narrowed, so every
// stored site still reads.
inline constexpr TSiteRange ElevationRange{"elevation", -500.0, 10000.0, "metres"};

// Each part finite and inside its range; raises ESiteError naming the value otherwise
// ("The latitude 91 is outside -90 to 90 degrees").
void CheckPosition(const TPosition& position);

// "LAT,LON" or "LAT,LON,ELEV", blanks allowed around the numbers, "." as the decimal point.
// Raises ESiteError for a missing, extra or non-numeric part and for an impossible value.
TPosition ParsePosition(const std::string& text);

// A site name without its outer blanks; raises ESiteError when it is empty or holds a
// control character.
std::string ParseSiteName(const std::string& text);

// The shortest decimal text that reads back as the same double ("52.2533", "80").
std::string ShortestNumber(double value);

// The site kept in section [Site] of the settings (Name, Latitude, Longitude, Elevation);
// empty or missing keys leave the part out. Raises ESiteError, naming the settings file, for
// a saved value that is not a number or not possible, and for a latitude without longitude.
TSite ReadSite(const TIniFile& ini);
// Writes all four keys (empty values for what the site leaves out); checks the position
// first, and raises what TIniFile raises.
void WriteSite(TIniFile& ini, const TSite& site);
