#include "headless/LoggerCommand.h"

#include "core/Sqmmodelnames.h"
#include "datalogger/LoggerDownload.h"
#include "headless/HeadlessReader.h"
#include "headless/StopSignals.h"
#include "meter/DataLogger.h"
#include "meter/Dm_SQMLUR.h"
#include "platform/IniFile.h"
#include "platform/NumberFormat.h"
#include "sharing/SharingSettings.h"

#include <cmath>
#include <ostream>

namespace {

constexpr int LoggerModelIndex = 3; // "LU-DL (USB)" in ModelNames()

using TAction = TLoggerRequest::TAction;

// A run's exchanges with the meter, once it is connected.
class TLoggerRun {
public:
    TLoggerRun(const THeadlessOptions& options, const TIniFile& ini, TDmSQMLUR& link,
               std::ostream& out, std::ostream& err, TStopWaiter& waiter, bool progressLine)
        : Options(options), Request(*options.Logger), Ini(ini), Link(link),
          Logger(link.GetSerial()), Out(out), Err(err), Waiter(waiter), ProgressLine(progressLine),
          Clock(Request.LocalClock ? TLoggerClock::Local : TLoggerClock::Utc) {}

    int Run() {
        Link.ReadUnitInfo();
        Feature = std::atoi(Link.GetFeatureVersion().c_str());
        switch (Request.Action) {
        case TAction::Status:
            return Status();
        case TAction::Download:
            return Download() ? 0 : 1;
        case TAction::SetClock:
            return SetClock();
        case TAction::SetPeriod:
            PrintSettings(Request.PeriodInMinutes
                              ? Logger.SetPeriodMinutes(Request.Period.count() / 60)
                              : Logger.SetPeriodSeconds(Request.Period.count()));
            return 0;
        case TAction::SetThreshold:
            PrintSettings(Logger.SetThreshold(Request.Threshold));
            return 0;
        case TAction::SetMode:
            PrintMode(Logger.SetMode(Request.Mode));
            return 0;
        case TAction::Erase:
            return Erase();
        }
        return 1;
    }

private:
    void Line(const std::string& name, const std::string& value) {
        Out << name << ": " << value << "\n";
    }

    void PrintSettings(const TLoggerSettings& s) {
        Line("Logging period", std::to_string(s.PeriodSeconds) + " s, " +
                                   std::to_string(s.PeriodMinutes) + " min (stored " +
                                   std::to_string(s.StoredPeriodSeconds) + " s, " +
                                   std::to_string(s.StoredPeriodMinutes) + " min)");
        Line("Threshold", FormatFixed(s.Threshold, 2) + " MPSAS");
    }

    void PrintMode(int mode) {
        Line("Logging mode", std::to_string(mode) + " (" + LoggerModeName(mode) + ")");
    }

    // The meter's clock beside the computer's, both to the second.
    void PrintClock(TDateTime meter) {
        const TDateTime computer(std::round(double(LoggerClockNow(Clock)) * 86400.0) / 86400.0);
        const std::string zone = Clock == TLoggerClock::Utc ? "UTC" : "local time";
        Line("Meter clock", LoggerTimeText(meter));
        Line("Computer clock", LoggerTimeText(computer) + " (" + zone + ")");
        const long long difference = std::llround((double(meter) - double(computer)) * 86400.0);
        Line("Clock difference", difference == 0 ? "0 s"
                                 : difference > 0
                                     ? "+" + std::to_string(difference) + " s (meter ahead)"
                                     : std::to_string(difference) + " s (meter behind)");
    }

    int Status() {
        const TLoggerLayout layout = ReadLoggerLayout(Logger, Feature);
        const std::int64_t records =
            layout.Wrapped && layout.Capacity ? *layout.Capacity : layout.Pointer;
        Line("Records", std::to_string(records));
        Line("Capacity", layout.Capacity ? std::to_string(*layout.Capacity) + " records"
                                         : "unknown (feature version before 27)");
        Line("Record pointer",
             std::to_string(layout.Pointer) + (layout.Wrapped ? " (the log has wrapped)" : ""));
        PrintMode(Logger.ReadMode());
        PrintSettings(Logger.ReadSettings());
        const int adc = Logger.ReadBatteryAdc();
        Line("Battery", FormatFixed(BatteryVolts(adc), 2) + " V");
        PrintClock(Logger.ReadClock());
        Line("Serial number", Link.GetSerialNumber());
        Line("Feature version", Link.GetFeatureVersion());
        Out << std::flush;
        return Out ? 0 : 1;
    }

    int SetClock() {
        const TDateTime answered = Logger.SetClock(LoggerClockNow(Clock));
        (void)answered;
        PrintClock(Logger.ReadClock());
        Out << std::flush;
        return Out ? 0 : 1;
    }

    // A pending stop signal is looked at every tenth of a second, not for every record.
    bool KeepGoing(std::int64_t done, std::int64_t total) {
        const auto now = TStopWaiter::TClock::now();
        if (now - LastLook >= std::chrono::milliseconds(100) || done == total) {
            LastLook = now;
            if (!Waiter.WaitUntil(now + std::chrono::microseconds(1)) || Waiter.IsStopRequested())
                return false;
            if (ProgressLine)
                Err << "\rDownloading records: " << done << " of " << total << std::flush;
        }
        return true;
    }

    bool Download() {
        TLoggerStore::TSetup setup;
        setup.FileName = *Options.FileName;
        setup.Clock = Clock;
        setup.UnitInfoReply = Link.UnitInfoReply.substr(0, Link.UnitInfoReply.find('\r'));
        setup.Skyglow = ReadSkyglowSettings(Ini);
        if (Options.SkyglowFolder)
            setup.Skyglow.Folder = *Options.SkyglowFolder;
        if (!setup.Skyglow.Folder.empty()) {
            setup.Site = SiteOf(Options, Ini);
            try {
                Link.ReadCalibration();
                setup.CalibrationReply =
                    Link.CalibrationReply.substr(0, Link.CalibrationReply.find('\r'));
            } catch (const ESqm&) {
                // The header carries the placeholder.
            }
        }
        TLoggerStore store(setup);
        const TLoggerLayout layout = ReadLoggerLayout(Logger, Feature);
        const TLoggerDownloadResult result = TLoggerDownload::Run(
            Logger, layout, [&store](const TLoggerRecord& r) { return store.Store(r); },
            [this](std::int64_t done, std::int64_t total) { return KeepGoing(done, total); });
        if (ProgressLine)
            Err << "\n";
        for (const std::string& notice : store.TakeNotices())
            Err << notice << "\n";
        const std::vector<std::string> summary = DownloadSummary(result);
        Out << summary.front() << "\n" << std::flush;
        for (std::size_t i = 1; i < summary.size(); ++i)
            Err << summary[i] << "\n";
        Err << std::flush;
        Downloaded = result;
        return result.IsComplete() && Out;
    }

    int Erase() {
        if (!Download()) {
            Err << "The meter is not erased: not every record was stored." << std::endl;
            return 1;
        }
        // A record logged since the download began would go unstored.
        if (Logger.ReadPointer() != Downloaded.Pointer) {
            Err << "The meter is not erased: it has logged records since the download began. "
                   "Run the erase again."
                << std::endl;
            return 1;
        }
        Logger.StartErase();
        // The meter erases for some seconds; it is asked every tenth of a second.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(5);
        while (Logger.IsBusy()) {
            if (std::chrono::steady_clock::now() > limit) {
                Err << "The meter still says it is erasing after five minutes." << std::endl;
                return 1;
            }
            Waiter.WaitUntil(TStopWaiter::TClock::now() + std::chrono::milliseconds(100));
        }
        const std::int64_t pointer = Logger.ReadPointer();
        Line("Erased", std::to_string(Downloaded.Slots) + " slots");
        Line("Records", std::to_string(pointer));
        Out << std::flush;
        return Out && pointer == 0 ? 0 : 1;
    }

    const THeadlessOptions& Options;
    const TLoggerRequest& Request;
    const TIniFile& Ini;
    TDmSQMLUR& Link;
    TDataLogger Logger;
    std::ostream& Out;
    std::ostream& Err;
    TStopWaiter& Waiter;
    bool ProgressLine;
    TLoggerClock Clock;
    int Feature = 0;
    TStopWaiter::TClock::time_point LastLook{};
    TLoggerDownloadResult Downloaded;
};

} // namespace

int RunLoggerCommand(const THeadlessOptions& options, const TConnectionEntries& connection,
                     const TIniFile& ini, std::ostream& out, std::ostream& err, TStopWaiter& waiter,
                     bool progressLine) {
    if (connection.ModelIndex != LoggerModelIndex) {
        err << "nightlux-read: Option --logger needs the data-logging meter: give --model "
               "LU-DL.\nTry 'nightlux-read --help'."
            << std::endl;
        return 2;
    }
    TDmSQMLUR link;
    link.SetComPort(connection.ComPort);
    try {
        link.Connect();
        return TLoggerRun(options, ini, link, out, err, waiter, progressLine).Run();
    } catch (const std::exception& e) {
        err << e.what() << std::endl;
        return 1;
    }
}
