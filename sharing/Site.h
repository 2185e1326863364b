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

// Where the meter stands: degrees north, degrees east, metres above sea level.
struct TPosition {
    double Latitude = 0.0;
    double Longitude = 0.0;
    std::optional<double> Elevation;
};

struct TSite {
    std::string Name;                  // empty when not given
    std::optional<TPosition> Position; // nullopt when not given
};

// Latitude -90..90, longitude -180..180, elevation -500..9000 m, all finite; raises
// ESiteError naming the value otherwise.
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
