#pragma once

#include "platform/DateTime.h"

#include <functional>
#include <string>

class TDmSQMBase;

// The eight values a reading shows, in the order the cycle makes them.
enum class TReadingField { Model, Serial, Protocol, Feature, Magnitude, Nelm, Temperature, Time };
inline constexpr int ReadingFieldCount = 8;

// One reading of the meter: made once by the reading cycle and taken as it is by the readings
// file, the sharing and the chart.
struct TReading {
    TDateTime Time = 0.0;     // the local clock time it was taken
    double Magnitude = 0.0;   // mag/arcsec^2
    double Nelm = 0.0;        // naked-eye limiting magnitude worked out from Magnitude
    double Temperature = 0.0; // degrees Celsius
    std::string ModelNumber;  // the texts of the unit information, as received
    std::string SerialNumber;
    std::string ProtocolVersion;
    std::string FeatureVersion;
    std::string UnitInfoReply; // "ix", without its line end
    std::string ReadingReply;  // "rx", without its line end
};

// Called as each value of a reading is cut from the link's replies.
using TReadingValueMade = std::function<void(TReadingField field, const TReading& reading)>;

// The unit information of the link's last "ix" reply into the reading.
void TakeUnitInfo(const TDmSQMBase& link, TReading& reading, const TReadingValueMade& made = {});

// The values of the link's last "rx" reply, and its reading time, into the reading, in the
// order magnitude, NELM, temperature, time. Raises EConvertError for a field that is not a
// number; the values before it are set (and told) by then.
void TakeReadingValues(const TDmSQMBase& link, TReading& reading,
                       const TReadingValueMade& made = {});

// Both, for a link that holds both replies.
TReading ReadingOf(const TDmSQMBase& link);
