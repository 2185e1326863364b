// The readings file reader on any bytes, and against the program's own writer. Reading never
// fails, and every reading it gives has a real date, finite values and texts of printable
// UTF-8. A file of any content to which the writer appends a reading derived from the input
// reads back with the readings it had and that reading after them, as the writer stored it;
// a new file holds the header and that reading alone.

#include "core/Nelm.h"
#include "core/Reading.h"
#include "core/ReadingsFile.h"
#include "core/Versioninfo.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/ReadingAccessors.h"
#include "fuzz/TempFolder.h"
#include "history/ReadingsFileReader.h"
#include "platform/Exception.h"
#include "platform/NumberFormat.h"
#include "platform/Text.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool BreaksARecord(char32_t cp) {
    return cp == InvalidCodePoint || cp < 0x20 || cp == ',' || (cp >= 0x7F && cp <= 0x9F);
}

bool IsPrintableUtf8(const std::string& text) {
    std::size_t length = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += length)
        if (BreaksARecord(DecodeUtf8(text, pos, length)))
            return false;
    return true;
}

// What the file keeps of a received text: a character that would break the record or that
// ISO-8859-1 cannot hold becomes "?".
std::string Kept(const std::string& received) {
    std::string kept;
    std::size_t length = 0;
    for (std::size_t pos = 0; pos < received.size(); pos += length) {
        const char32_t cp = DecodeUtf8(received, pos, length);
        if (BreaksARecord(cp) || cp > 0xFF)
            kept += '?';
        else
            kept.append(received, pos, length);
    }
    return kept;
}

// The value of a number as the writer prints it and the reader converts it.
double AsWritten(const std::string& text) {
    double value = NAN;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::size_t LineCount(std::string_view text) {
    std::size_t lines = 0;
    for (const char c : text)
        lines += c == '\n';
    return lines + (!text.empty() && !text.ends_with('\n'));
}

void CheckContents(const TReadingsFileContents& c, std::string_view text) {
    const std::size_t lines = LineCount(text);
    FUZZ_CHECK(c.Readings.size() + c.DamagedLines.size() <= lines);
    for (std::size_t i = 0; i < c.DamagedLines.size(); ++i)
        FUZZ_CHECK(c.DamagedLines[i] >= 1 && c.DamagedLines[i] <= lines &&
                   (i == 0 || c.DamagedLines[i] > c.DamagedLines[i - 1]));
    FUZZ_CHECK(c.ProducedBy.empty() || text.starts_with("Produced by Nightlux "));
    for (const TNightReading& r : c.Readings) {
        const std::chrono::year_month_day day{std::chrono::floor<std::chrono::days>(r.Time)};
        FUZZ_CHECK(day.ok() && int(day.year()) >= 1 && int(day.year()) <= 9999);
        FUZZ_CHECK(std::isfinite(r.Magnitude) && std::isfinite(r.Nelm) &&
                   std::isfinite(r.Temperature));
        for (const std::string* t :
             {&r.SerialNumber, &r.ProtocolVersion, &r.ModelNumber, &r.FeatureVersion})
            FUZZ_CHECK(IsPrintableUtf8(*t));
    }
}

bool SameReading(const TNightReading& a, const TNightReading& b) {
    return a.Time == b.Time && a.Magnitude == b.Magnitude && a.Nelm == b.Nelm &&
           a.Temperature == b.Temperature && a.SerialNumber == b.SerialNumber &&
           a.ProtocolVersion == b.ProtocolVersion && a.ModelNumber == b.ModelNumber &&
           a.FeatureVersion == b.FeatureVersion;
}

// Six columns of a reading reply: mostly a number, else any bytes.
std::string Columns(FuzzedDataProvider& in) {
    if (!in.ConsumeBool())
        return in.ConsumeBytesAsString(6);
    const int decimals = in.ConsumeIntegralInRange(0, 3);
    const double value = in.ConsumeIntegralInRange(-99999, 999999) / std::pow(10.0, decimals);
    char text[32];
    std::snprintf(text, sizeof text, "%6.*f", decimals, value);
    return std::string(text).substr(0, 6);
}

// The date library counts the days before 15 October 1582 in the Julian calendar, the
// reader in the Gregorian one; a reading is stamped with the clock's time.
TDateTime ReadingTime(FuzzedDataProvider& in) {
    const int day =
        in.ConsumeIntegralInRange(int(EncodeDate(1583, 1, 1)), int(EncodeDate(9999, 12, 31)));
    const double fraction = in.ConsumeIntegralInRange(0, 86'399'999) / 86'400'000.0;
    return day >= 0 ? day + fraction : day - fraction;
}

void MakeLink(FuzzedDataProvider& in, TStoredLink& link) {
    const std::string magnitude = Columns(in);
    const std::string temperature = Columns(in);
    link.ReadingReply =
        "r," + magnitude + "m,0000000012Hz,0000038400c,0000000.083s," + temperature + "C";
    link.UnitInfoReply = "i," + in.ConsumeRandomLengthString(48);
    link.ReadingTime = ReadingTime(in);
}

TNightReading Expected(const TStoredLink& link) {
    const double magnitude = link.GetMagnitude();
    return {LocalTimeOf(link.ReadingTime),
            AsWritten(FormatFixed(magnitude, 2)),
            AsWritten(FormatFixed(ComputeNelm(magnitude), 1)),
            AsWritten(FormatFixed(link.GetTemperature(), 1, 4)),
            Kept(link.GetSerialNumber()),
            Kept(link.GetProtocolVersion()),
            Kept(link.GetModelNumber()),
            Kept(link.GetFeatureVersion())};
}

const TVersionInfo& Version() {
    static const TVersionInfo version;
    return version;
}

// Appends the link's reading to a file that holds text (none when text is null) and checks
// what the reader gives back.
void CheckWriter(const TStoredLink& link, const TReadingsFileContents* before,
                 std::string_view text) {
    const std::string name = FuzzFolder() + "/readings.csv";
    if (before != nullptr)
        WriteFuzzFile(name, text);
    bool converts = true;
    TNightReading expected;
    try {
        expected = Expected(link);
    } catch (const EConvertError&) {
        converts = false;
    }
    try {
        FUZZ_CHECK(SaveReadingToFile(name, ReadingOf(link), Version()) && converts);
    } catch (const EConvertError&) {
        FUZZ_CHECK(!converts);
        if (before != nullptr)
            FUZZ_CHECK(ReadFuzzFile(name) == text);
        else
            FUZZ_CHECK(!FuzzFileExists(name));
        RemoveFuzzFile(name);
        return;
    }
    const std::string written = ReadFuzzFile(name);
    RemoveFuzzFile(name);
    FUZZ_CHECK(written.starts_with(text));
    const TReadingsFileContents after = ParseReadingsText(written);
    std::vector<TNightReading> readings;
    if (before != nullptr) {
        readings = before->Readings;
    } else {
        std::string build;
        Version().GetBuild(build);
        FUZZ_CHECK(after.ProducedBy == build && after.DamagedLines.empty());
    }
    FUZZ_CHECK(after.Readings.size() == readings.size() + 1);
    for (std::size_t i = 0; i < readings.size(); ++i)
        FUZZ_CHECK(SameReading(after.Readings[i], readings[i]));
    FUZZ_CHECK(SameReading(after.Readings.back(), expected));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TReadingsFileContents contents;
    try {
        contents = ParseReadingsText(text);
    } catch (...) {
        FUZZ_CHECK(!"reading the text never fails");
    }
    CheckContents(contents, text);

    FuzzedDataProvider in(data, size);
    TStoredLink link;
    MakeLink(in, link);
    CheckWriter(link, &contents, text);
    CheckWriter(link, nullptr, {});
    return 0;
}
