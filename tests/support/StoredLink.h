#pragma once

#include "meter/Dm_SQMBase.h"

// A meter link with no transport: it only holds the replies a test gives it.
class TStoredLink : public TDmSQMBase {
public:
    void Connect() override {}
    void Disconnect() override {}
    void ReadReading() override {}
    void ReadUnitInfo() override {}
    void ReadCalibration() override {}
};
