#include "core/Reading.h"

#include "core/Nelm.h"
#include "meter/Dm_SQMBase.h"

namespace {

void Tell(const TReadingValueMade& made, TReadingField field, const TReading& reading) {
    if (made)
        made(field, reading);
}

} // namespace

void TakeUnitInfo(const TDmSQMBase& link, TReading& reading, const TReadingValueMade& made) {
    reading.UnitInfoReply = link.UnitInfoReply;
    reading.ModelNumber = link.GetModelNumber();
    Tell(made, TReadingField::Model, reading);
    reading.SerialNumber = link.GetSerialNumber();
    Tell(made, TReadingField::Serial, reading);
    reading.ProtocolVersion = link.GetProtocolVersion();
    Tell(made, TReadingField::Protocol, reading);
    reading.FeatureVersion = link.GetFeatureVersion();
    Tell(made, TReadingField::Feature, reading);
}

void TakeReadingValues(const TDmSQMBase& link, TReading& reading, const TReadingValueMade& made) {
    reading.ReadingReply = link.ReadingReply;
    reading.Magnitude = link.GetMagnitude();
    Tell(made, TReadingField::Magnitude, reading);
    reading.Nelm = ComputeNelm(reading.Magnitude);
    Tell(made, TReadingField::Nelm, reading);
    reading.Temperature = link.GetTemperature();
    Tell(made, TReadingField::Temperature, reading);
    reading.Time = link.GetReadingTime();
    Tell(made, TReadingField::Time, reading);
}

TReading ReadingOf(const TDmSQMBase& link) {
    TReading reading;
    TakeUnitInfo(link, reading);
    TakeReadingValues(link, reading);
    return reading;
}
