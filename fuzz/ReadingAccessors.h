#pragma once

#include "fuzz/FuzzCheck.h"
#include "meter/ReplyLayout.h"
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

// What a meter's reply may be, for a line (without its line end) that a link has taken:
// its type's length, and fields that are the layout's digits. The unit information's
// fields are eight digits each; the reading's magnitude and temperature are a sign and
// digits that convert to exactly that value, unless the decimal point's column holds
// something else, which their conversion refuses.
inline void CheckTakenReply(const std::string& line) {
    FUZZ_CHECK(!line.empty() && line.size() == ReplyLayoutLength(line[0]));
    const auto isDigits = [](const std::string& field) {
        return field.size() == 8 && field.find_first_not_of("0123456789") == std::string::npos;
    };
    TStoredLink link;
    link.UnitInfoReply = line;
    link.ReadingReply = line;
    if (line[0] == 'i')
        for (const std::string& field : {link.GetProtocolVersion(), link.GetModelNumber(),
                                         link.GetFeatureVersion(), link.GetSerialNumber()})
            FUZZ_CHECK(isDigits(field));
    if (line[0] != 'r')
        return;
    const auto expect = [&](double (TDmSQMBase::*get)() const, std::size_t at, std::size_t whole,
                            std::size_t decimals) {
        // at: the 0-based sign column, then whole digits, the point and the decimals.
        const std::string field = line.substr(at, 2 + whole + decimals);
        if (field[1 + whole] != '.') {
            bool refused = false;
            try {
                (link.*get)();
            } catch (const EConvertError&) {
                refused = true;
            }
            FUZZ_CHECK(refused);
            return;
        }
        double value = 0;
        for (const char c : field.substr(1))
            if (c != '.')
                value = value * 10 + (c - '0');
        value /= decimals == 2 ? 100.0 : 10.0;
        FUZZ_CHECK((link.*get)() == (field[0] == '-' ? -value : value));
    };
    expect(&TDmSQMBase::GetMagnitude, 2, 2, 2);
    expect(&TDmSQMBase::GetTemperature, 48, 3, 1);
}
