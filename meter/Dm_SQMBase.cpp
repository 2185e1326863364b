#include "meter/Dm_SQMBase.h"

#include "platform/NumberConversion.h"

namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Byte offset of the character with 0-based index n, or the text's size if it has fewer.
std::size_t OffsetOfCharacter(const std::string& text, int n) {
    std::size_t pos = 0;
    for (int i = 0; i < n && pos < text.size(); ++i) {
        ++pos;
        while (pos < text.size() && IsContinuationByte(text[pos]))
            ++pos;
    }
    return pos;
}

} // namespace

ESqm::ESqm(const std::string& text) : Exception("Sky Quality Meter communication error: " + text) {}

std::string CutField(const std::string& reply, int first, int length) {
    if (first < 1 || length <= 0)
        return {};
    const std::size_t begin = OffsetOfCharacter(reply, first - 1);
    const std::size_t end = begin + OffsetOfCharacter(reply.substr(begin), length);
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
