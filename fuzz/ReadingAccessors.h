#pragma once

#include "fuzz/FuzzCheck.h"
#include "platform/NumberConversion.h"
#include "tests/support/StoredLink.h"

#include <cmath>
#include <string>

// Puts the reply through every accessor: a text field is a piece of the reply, a number
// field is a plain decimal that fits its six columns, and both hold the same for the same
// reply.
inline void CheckAccessors(const std::string& reply) {
    TStoredLink link;
    link.ReadingReply = reply;
    link.UnitInfoReply = reply;
    for (const std::string& field : {link.GetProtocolVersion(), link.GetModelNumber(),
                                     link.GetFeatureVersion(), link.GetSerialNumber()})
        FUZZ_CHECK(reply.find(field) != std::string::npos);
    for (double (TDmSQMBase::*get)() const :
         {&TDmSQMBase::GetMagnitude, &TDmSQMBase::GetTemperature}) {
        double value = 0;
        try {
            value = (link.*get)();
        } catch (const EConvertError&) {
            continue;
        }
        // Six columns: at most six digits.
        FUZZ_CHECK(std::isfinite(value) && std::fabs(value) <= 999999.0);
        FUZZ_CHECK((link.*get)() == value);
    }
}
