#pragma once

#include "platform/DateTime.h"
#include "platform/Exception.h"

#include <string>

// A failure that a meter link recognises. The message is the fixed prefix, one blank and
// the text.
class ESqm : public Exception {
public:
    explicit ESqm(const std::string& text);
};

// The abstract meter link: the five operations every model implements, the last reply to
// each command and the fields cut from them.
class TDmSQMBase {
public:
    TDmSQMBase() = default;
    TDmSQMBase(const TDmSQMBase&) = delete;
    TDmSQMBase& operator=(const TDmSQMBase&) = delete;
    virtual ~TDmSQMBase() = default;

    virtual void Connect() = 0;
    virtual void Disconnect() = 0;
    virtual void ReadReading() = 0;
    virtual void ReadUnitInfo() = 0;
    virtual void ReadCalibration() = 0;

    // Sky brightness (columns 3-8) and temperature (49-54) of the reading reply; raise
    // EConvertError when the field is not a plain signed decimal (no exponent).
    double GetMagnitude() const;
    double GetTemperature() const;
    TDateTime GetReadingTime() const { return ReadingTime; }
    // Fields of the unit information reply, as received (leading zeros kept).
    std::string GetProtocolVersion() const;
    std::string GetModelNumber() const;
    std::string GetFeatureVersion() const;
    std::string GetSerialNumber() const;

    std::string ReadingReply;
    TDateTime ReadingTime = 0.0;
    std::string UnitInfoReply;
    std::string CalibrationReply;
    int Timeout = 0; // milliseconds
};

// The text of reply from 1-based character position first on, at most length characters;
// shorter or empty where the text ends earlier. Characters are UTF-8 code points.
std::string CutField(const std::string& reply, int first, int length);
