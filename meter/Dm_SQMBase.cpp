#include "meter/Dm_SQMBase.h"

#include "platform/NumberConversion.h"
#include "platform/Text.h"

ESqm::ESqm(const std::string& text) : Exception("Sky Quality Meter communication error: " + text) {}

std::string CutField(const std::string& reply, int first, int length) {
    if (first < 1 || length <= 0)
        return {};
    const std::size_t begin = Utf8Offset(reply, static_cast<std::size_t>(first - 1));
    const std::size_t end =
        begin + Utf8Offset(std::string_view(reply).substr(begin), static_cast<std::size_t>(length));
    return reply.substr(begin, end - begin);
}

double TDmSQMBase::GetMagnitude() const {
    return PlainDecimalToFloat(CutField(ReadingReply, 3, 6));
}

double TDmSQMBase::GetTemperature() const {
    return PlainDecimalToFloat(CutField(ReadingReply, 49, 6));
}

std::string TDmSQMBase::GetProtocolVersion() const {
    return CutField(UnitInfoReply, 3, 8);
}

std::string TDmSQMBase::GetModelNumber() const {
    return CutField(UnitInfoReply, 12, 8);
}

std::string TDmSQMBase::GetFeatureVersion() const {
    return CutField(UnitInfoReply, 21, 8);
}

std::string TDmSQMBase::GetSerialNumber() const {
    return CutField(UnitInfoReply, 30, 8);
}
