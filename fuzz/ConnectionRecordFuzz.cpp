// The connection record's text form. The input is read twice: as a stored text, and as a
// record whose seven fields are the input's pieces between NUL bytes. Either record, written
// in the stored (quoted) and in the unquoted form, reads back field for field as far as the
// form can hold it.
//
// What the form cannot hold, by its layout: Host and ComPort (and, unquoted, Name and Model)
// are written as they are, so an empty one comes back as "(null)", and one holding a blank,
// a control character or a comma, or starting with a double quote, splits or swallows the
// fields after it. Quoted texts read back trimmed and without enclosing quotes. A negative
// Timeout or BaudRate is written as its 32-bit two's complement, which is no 32-bit signed
// number and reads back as the default.

#include "core/Sqmconfig.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool IsBlankOrControl(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

bool IsOneItem(const std::string& text) {
    if (text.starts_with('"'))
        return false;
    for (const char c : text)
        if (IsBlankOrControl(c) || c == ',')
            return false;
    return true;
}

bool HoldsQuoted(const std::string& text) {
    if (!text.empty() && (IsBlankOrControl(text.front()) || IsBlankOrControl(text.back())))
        return false;
    return !(text.size() >= 2 && text.front() == '"' && text.back() == '"');
}

// An unquoted text reads back as written, or as "(null)" when empty. False when it moves
// the fields after it.
bool ReadsBackUnquoted(const std::string& written, const std::string& read) {
    if (written.empty()) {
        FUZZ_CHECK(read == "(null)");
        return true;
    }
    if (!IsOneItem(written))
        return false;
    FUZZ_CHECK(read == written);
    return true;
}

void CheckReadBack(const TSQMConfig& record, bool quote) {
    const TSQMConfig back(record.AsString(quote));
    for (std::string TSQMConfig::*text : {&TSQMConfig::Name, &TSQMConfig::Model}) {
        if (!quote) {
            if (!ReadsBackUnquoted(record.*text, back.*text))
                return;
        } else if (HoldsQuoted(record.*text)) {
            FUZZ_CHECK(back.*text == record.*text);
        }
    }
    if (!ReadsBackUnquoted(record.Host, back.Host))
        return;
    const TSQMConfig defaults;
    FUZZ_CHECK(back.Port == record.Port);
    FUZZ_CHECK(back.Timeout == (record.Timeout >= 0 ? record.Timeout : defaults.Timeout));
    if (!ReadsBackUnquoted(record.ComPort, back.ComPort))
        return;
    FUZZ_CHECK(back.BaudRate == (record.BaudRate >= 0 ? record.BaudRate : defaults.BaudRate));
}

bool IsTrimmed(const std::string& text) {
    return text.empty() || (static_cast<unsigned char>(text.front()) > ' ' &&
                            static_cast<unsigned char>(text.back()) > ' ');
}

// A decimal number, else the first four bytes, else otherwise.
std::int32_t Number(const std::string& piece, std::int32_t otherwise) {
    std::int32_t value = otherwise;
    if (!TryStrToInt(piece, value) && piece.size() >= sizeof value)
        std::memcpy(&value, piece.data(), sizeof value);
    return value;
}

TSQMConfig RecordOfPieces(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> pieces = PiecesBetweenNuls(data, size);
    pieces.resize(7);
    TSQMConfig record;
    record.Name = pieces[0];
    record.Model = pieces[1];
    record.Host = pieces[2];
    record.Port = Number(pieces[3], record.Port);
    record.Timeout = Number(pieces[4], record.Timeout);
    record.ComPort = pieces[5];
    record.BaudRate = Number(pieces[6], record.BaudRate);
    return record;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const TSQMConfig parsed(std::string(reinterpret_cast<const char*>(data), size));
    FUZZ_CHECK(IsTrimmed(parsed.Host) && IsTrimmed(parsed.ComPort));
    for (const TSQMConfig& record : {parsed, RecordOfPieces(data, size)}) {
        CheckReadBack(record, true);
        CheckReadBack(record, false);
    }
    return 0;
}
