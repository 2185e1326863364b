// The skyglow writer's check of an existing night file. The input is read twice:
//
// - as the content of this night's file, for a station of fixed settings: a file whose
//   header is the station's own (the meter's readout lines aside) gets the record appended,
//   on a line of its own; any other file is left byte for byte as it was and the reading
//   goes to "<name>_2.dat", a new file of the station's header and the record.
// - as the settings of a station (texts, site, cover offset, device type, the meter's
//   replies) whose writer starts a night in an empty folder: the header it writes is read
//   back as its own, so a second writer appends to the same file.

#include "fuzz/FuzzCheck.h"
#include "fuzz/TempFolder.h"
#include "platform/IniFile.h"
#include "sharing/SkyglowFormat.h"
#include "sharing/SkyglowWriter.h"
#include "tests/sharing/ExampleStation.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* Calibration = "c,00000019.96m,0000199.361s, 019.0C,00000008.71m, 020.3C";

TSkyglowSettings StationSettings(const std::string& folder) {
    TSkyglowSettings s = ExampleStationSettings(folder);
    s.TimeZone = "Europe/Dublin";
    return s;
}

TSharedReading StationReading() {
    TSharedReading r;
    r.LocalTime = EncodeDateTime(2026, 12, 9, 22, 0, 9, 0);
    r.UniversalTime = EncodeDateTime(2026, 12, 9, 21, 0, 9, 0);
    r.UnitInfoReply = "i,00000004,00000003,00000076,00005533";
    r.ReadingReply = "r, 19.54m,0000000006Hz,0000075771c,0000000.164s, 005.3C";
    r.Magnitude = 19.54;
    r.Temperature = 5.3;
    r.Counts = 75771;
    r.Frequency = 6.098;
    r.SerialNumber = "5533";
    r.FirmwareVersion = "4-3-76";
    return r;
}

// A folder emptied for each input.
std::string EmptyFolder(const std::string& name) {
    const std::string folder = FuzzFolder() + "/" + name;
    static const bool removedAtExit = [] {
        std::atexit([] {
            std::filesystem::remove_all(FuzzFolder() + "/station");
            std::filesystem::remove_all(FuzzFolder() + "/fuzzed");
        });
        return true;
    }();
    (void)removedAtExit;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    return folder;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::vector<std::string> Header(const TSkyglowSettings& settings, const TSite& site,
                                const std::string& deviceType, const TSharedReading& reading,
                                const std::string& calibration) {
    TSkyglowHeaderInfo info;
    info.Settings = settings;
    info.Site = site;
    info.DeviceType = deviceType;
    info.TimeZone = settings.TimeZone.empty() ? LocalTimeZoneName() : settings.TimeZone;
    info.SerialNumber = reading.SerialNumber;
    info.FirmwareVersion = reading.FirmwareVersion;
    info.UnitInfoReply = reading.UnitInfoReply;
    info.ReadingReply = reading.ReadingReply;
    info.CalibrationReply = calibration;
    return SkyglowHeaderLines(info);
}

// The header is the station's own, the meter's readout lines aside.
bool IsOwnHeader(const std::vector<std::string>& found, const std::vector<std::string>& own) {
    if (found.size() != own.size())
        return false;
    for (std::size_t i = 0; i < found.size(); ++i)
        if (!IsReadoutLine(i) && found[i] != own[i])
            return false;
    return true;
}

void CheckHeaderLines(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        FUZZ_CHECK(lines[i].find('\n') == std::string::npos);
        FUZZ_CHECK(lines[i] != "# END OF HEADER" || i + 1 == lines.size());
        size += lines[i].size() + 1;
    }
    FUZZ_CHECK(size <= 64 * 1024);
}

void CheckExistingNightFile(std::string_view content) {
    const std::string folder = EmptyFolder("station");
    const TSkyglowSettings settings = StationSettings(folder);
    const TSite site{"Dark Site", TPosition{52.2533, -8.3605, 80.0}};
    const TSharedReading reading = StationReading();
    const std::string night =
        folder + "/" + SkyglowFileName(reading.LocalTime, "SQM-LE", "Dark Site");
    WriteFuzzFile(night, content);

    const std::vector<std::string> found = ReadSkyglowHeader(night);
    CheckHeaderLines(found);
    const bool own = IsOwnHeader(found, Header(settings, site, "SQM-LE", reading, ""));

    TSkyglowWriter writer(settings, site, "SQM-LE", [] { return std::string(Calibration); });
    const TSkyglowResult result = writer.Write(reading);
    const std::string record = SkyglowRecordLine(reading) + "\r\n";
    FUZZ_CHECK(result.Stored);
    if (own) {
        FUZZ_CHECK(result.FileName == night && result.Notice.Text.empty());
        const bool endsLine = content.empty() || content.ends_with('\n');
        FUZZ_CHECK(ReadFuzzFile(night) == std::string(content) + (endsLine ? "" : "\r\n") + record);
        return;
    }
    FUZZ_CHECK(ReadFuzzFile(night) == content);
    const std::string second = night.substr(0, night.size() - 4) + "_2.dat";
    FUZZ_CHECK(result.FileName == second);
    FUZZ_CHECK(result.Notice.Text.find(night) != std::string::npos);
    FUZZ_CHECK(ReadFuzzFile(second) ==
               Joined(Header(settings, site, "SQM-LE", reading, Calibration)) + record);
}

std::string Text(FuzzedDataProvider& in) {
    return in.ConsumeRandomLengthString(TIniFile::MaxValueLength);
}

void CheckOwnHeaderOfAnyStation(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    TSkyglowSettings settings;
    settings.Folder = EmptyFolder("fuzzed");
    settings.InstrumentId = Text(in);
    settings.DataSupplier = Text(in);
    settings.License = Text(in);
    for (std::string& comment : settings.Comments)
        comment = Text(in);
    settings.TimeSynchronization = Text(in);
    settings.TimeZone = Text(in);
    settings.CoverOffset = in.ConsumeFloatingPointInRange(-5.0, 5.0);
    TSite site;
    site.Name = Text(in);
    if (in.ConsumeBool())
        site.Position = TPosition{in.ConsumeFloatingPointInRange(-90.0, 90.0),
                                  in.ConsumeFloatingPointInRange(-180.0, 180.0),
                                  in.ConsumeFloatingPointInRange(-500.0, 10000.0)};
    const std::string deviceType = in.PickValueInArray({"SQM-LE", "SQM-LR", "SQM-LU", "SQM-LU-DL"});
    TSharedReading reading = StationReading();
    reading.SerialNumber = Text(in);
    reading.FirmwareVersion = Text(in);
    reading.UnitInfoReply = Text(in);
    reading.ReadingReply = Text(in);
    const std::string calibration = Text(in);

    const TSharedReading first = reading;
    std::string written;
    for (int k = 0; k < 2; ++k) {
        TSkyglowWriter writer(settings, site, deviceType, [&calibration] { return calibration; });
        const TSkyglowResult result = writer.Write(reading);
        // A site name too long for a file name, or for the name of the temporary file a
        // new file is written under, is reported reading by reading.
        if (SkyglowFileName(reading.LocalTime, deviceType, site.Name).size() > NAME_MAX - 32 &&
            !result.Stored) {
            FUZZ_CHECK(result.Notice.Text.find("File name too long") != std::string::npos);
            return;
        }
        FUZZ_CHECK(result.Stored && result.Notice.Text.empty());
        FUZZ_CHECK(written.empty() || result.FileName == written);
        written = result.FileName;
        reading.LocalTime = double(reading.LocalTime) + 1.0 / 86400;
    }
    const std::vector<std::string> header = ReadSkyglowHeader(written);
    FUZZ_CHECK(header == Header(settings, site, deviceType, first, calibration));
    // Whatever was given, the header is printable ASCII: letters outside ASCII are
    // transliterated, anything else becomes "?".
    for (const std::string& line : header)
        for (const char c : line)
            FUZZ_CHECK(c >= 0x20 && c < 0x7F);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckExistingNightFile(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckOwnHeaderOfAnyStation(data, size);
    return 0;
}
