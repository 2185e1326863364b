#include "headless/HeadlessReader.h"

#include "core/EntryChecks.h"
#include "core/LinkFactory.h"
#include "core/ReadingDisplay.h"
#include "core/ReadingsFile.h"
#include "core/Sqmconfig.h"
#include "core/Sqmmodelnames.h"
#include "headless/Ephemeris.h"
#include "headless/FindMeters.h"
#include "headless/LoggerCommand.h"
#include "headless/StopSignals.h"
#include "meter/Dm_SQMBase.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/JournalStream.h"
#include "platform/SystemTime.h"
#include "platform/Text.h"
#include "session/ReadingCycle.h"
#include "session/ReadingSession.h"
#include "session/SharingSetup.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// "Option --host does not apply to the model LU (USB); give --model LE."
void RefuseOption(const std::optional<std::string>& given, const std::string& option,
                  int modelIndex, const std::string& models) {
    if (given)
        throw EUsageError("Option " + option + " does not apply to the model " +
                          ModelNames().at(static_cast<std::size_t>(modelIndex)) +
                          "; give --model " + models + ".");
}

// The local time now, as a log line begins: "2026-12-09 23:15:00".
std::string LocalTimeNow() {
    const SYSTEMTIME now = GetLocalTime();
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
}

// The journal's priority of what the user is told.
TPriority PriorityOf(ENoticeSeverity severity) {
    switch (severity) {
    case ENoticeSeverity::Information:
        return TPriority::Info;
    case ENoticeSeverity::Warning:
        return TPriority::Warning;
    case ENoticeSeverity::Error:
        break;
    }
    return TPriority::Error;
}

// nightlux-read --find.
int RunFind(const THeadlessOptions& options, std::ostream& out, std::ostream& err) {
    TFindRequest request;
    request.Targets = options.FindTargets;
    request.Identify = options.Identify;
    if (options.DiscoveryPort)
        request.DiscoveryPort = static_cast<std::uint16_t>(*options.DiscoveryPort);
    try {
        for (const std::string& target : request.Targets)
            TargetHosts(target);
    } catch (const EDiscoveryError& e) {
        throw EUsageError(e.what());
    }
    return FindMeters(request, out, err);
}

// Takes the readings of one run on one link.
class TReader {
public:
    TReader(const THeadlessOptions& options, std::unique_ptr<TDmSQMBase> link,
            std::unique_ptr<TReadingSharing> sharing, std::ostream& out, std::ostream& err)
        : Options(options),
          Session(TReadingSession::EKeep::Nothing, std::move(link), std::move(sharing)), Out(out),
          Err(err) {}

    // Readings at once and then at start + k * period, until the count is reached or a stop
    // is requested; true when every reading was taken and stored.
    bool Run(TStopWaiter& waiter) {
        using TClock = TStopWaiter::TClock;
        const TClock::time_point start = TClock::now();
        bool allTaken = true;
        int taken = 0;
        TClock::rep slot = 0;
        waiter.Started();
        while (!waiter.IsStopRequested()) {
            allTaken = TakeReading(taken == 0) && allTaken;
            ++taken;
            waiter.Progress(Status());
            if (!Options.Period || (Options.Count && taken >= *Options.Count))
                break;
            // The next slot that is still ahead: a reading that overran its period loses the
            // slots it covered rather than shifting every later reading.
            const auto period = std::chrono::duration_cast<TClock::duration>(*Options.Period);
            slot = std::max<TClock::rep>(slot + 1, (TClock::now() - start) / period + 1);
            if (!waiter.WaitUntil(start + slot * period))
                break;
        }
        waiter.Stopping();
        return allTaken;
    }

private:
    // One read cycle, its failure reported as the window would show it: the first reading
    // as Read Now, later ones as the window's ticks. Unlike the window, a failed reading does
    // not end a series.
    bool TakeReading(bool first) {
        const TReadingOutcome outcome =
            Session.Take(first ? TCycleKind::Single : TCycleKind::Tick, Options.FileName);
        Present(outcome.StoreNotice);
        for (const TNotice& notice : outcome.SharingNotices)
            Present(notice);
        if (!outcome.Taken) {
            ReportFailure(outcome.Message);
            return false;
        }
        ReportRecovery();
        LastReading = outcome.Texts[TReadingField::Time].value_or("") + ", " +
                      outcome.Texts[TReadingField::Magnitude].value_or("") + " mag/arcsec\u00B2";
        std::string reading;
        try {
            reading = Options.Csv ? ReadingRecordLine(*outcome.Reading) + "\n"
                                  : ReadingFieldLines(outcome.Texts);
        } catch (const std::exception& e) {
            ReportFailure(first ? NotValidReading : e.what());
            return false;
        }
        return Print(reading) && outcome.Stored;
    }

    // False, after saying so, when the output cannot be written (a full disk behind it).
    bool Print(const std::string& reading) {
        if (Printed && !Options.Csv)
            Out << '\n';
        Out << reading << std::flush;
        Printed = true;
        if (Out)
            return true;
        Out.clear();
        Report(TPriority::Error, "Could not write the reading to the standard output.");
        return false;
    }

    // A run of failed readings is one outage: reported when it starts and when its message
    // changes, not on every failed reading.
    void ReportFailure(const std::string& message) {
        if (FailedInARow++ == 0 || message != OutageMessage)
            Report(TPriority::Error, message);
        OutageMessage = message;
    }

    // The end of an outage, once a reading is taken again.
    void ReportRecovery() {
        if (FailedInARow == 0)
            return;
        Report(TPriority::Info, "The meter answers again, after " + std::to_string(FailedInARow) +
                                    (FailedInARow == 1 ? " failed reading." : " failed readings."));
        FailedInARow = 0;
        OutageMessage.clear();
    }

    // What the readings file or the sharing tells, at the priority of its severity.
    void Present(const TNotice& notice) {
        if (!notice.Text.empty())
            Report(PriorityOf(notice.Severity), notice.Text);
    }

    // Continuous readings mark each message with the time, for the night's log.
    void Report(TPriority priority, const std::string& message) {
        Err << priority;
        if (Options.Period)
            Err << LocalTimeNow() << ": ";
        Err << message << std::endl;
    }

    // The run's state in one line: the last reading taken, and the failures since.
    std::string Status() const {
        if (FailedInARow == 0)
            return "Last reading " + LastReading;
        const std::string last =
            LastReading.empty() ? "no reading taken yet" : "last reading " + LastReading;
        const std::string first = OutageMessage.substr(0, OutageMessage.find('\n'));
        return std::to_string(FailedInARow) +
               (FailedInARow == 1 ? " failed reading (" : " failed readings (") + first + "); " +
               last;
    }

    const THeadlessOptions& Options;
    TReadingSession Session;
    std::ostream& Out;
    std::ostream& Err;
    bool Printed = false;
    int FailedInARow = 0;
    std::string OutageMessage;
    std::string LastReading;
};

// The link for the connection, or the window's message for a refused entry.
std::unique_ptr<TDmSQMBase> MakeLink(const TConnectionEntries& connection, std::string& refusal) {
    if (connection.ModelIndex != 0)
        return LinkFactory().Serial(connection.ComPort, connection.BaudRate);
    TEthernetEntries entries;
    refusal = CheckEthernetEntries(connection.Host, connection.Port, connection.Timeout, entries);
    if (!refusal.empty())
        return nullptr;
    return LinkFactory().Ethernet(entries.Host, entries.Port, entries.TimeoutMs);
}

// A site or sharing setting that cannot be used: exit status 2, without the usage hint.
class ESetupError : public Exception {
public:
    using Exception::Exception;
};

// The skyglow folder is made when it is missing, as the window makes the readings folder; one
// that cannot be made or written refuses the run at its start.
void PrepareSkyglowFolder(const std::string& folder) {
    try {
        ForceDirectories(folder);
    } catch (const Exception& e) {
        throw ESetupError("Could not make the skyglow folder: " + std::string(e.what()) + ".");
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw ESetupError("The skyglow folder " + folder +
                          " cannot be written: " + std::strerror(errno) + ".");
}

// A symbolic link the user gives as the readings file is the user's choice: it is resolved
// once, at the start, and its target is written from then on. The readings file never
// follows a link at its name by itself, so one put there later is refused.
std::string ResolvedUserLink(const std::string& fileName) {
    namespace fs = std::filesystem;
    fs::path path = fileName;
    // A chain of links is followed to its end, as open(2) would; a loop is left to the
    // readings file to refuse.
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)) || error)
            return path.string();
        const fs::path target = fs::read_symlink(path, error);
        if (error)
            return path.string();
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return fileName;
}

// The sharing of the run, or none when nothing is shared.
std::unique_ptr<TReadingSharing> SharingOf(const THeadlessOptions& options, const TIniFile& ini,
                                           int modelIndex) {
    try {
        TSharingSetup setup;
        setup.Skyglow = ReadSkyglowSettings(ini);
        setup.Mqtt = ReadMqttSettings(ini);
        ApplySharingOptions(options, setup);
        // The site and the folder matter only to what is shared.
        if (IsSharing(setup)) {
            if (!setup.Skyglow.Folder.empty())
                PrepareSkyglowFolder(setup.Skyglow.Folder);
            setup.Site = SiteOf(options, ini);
        }
        return MakeSharing(std::move(setup), modelIndex);
    } catch (const ESiteError& e) {
        throw ESetupError(std::string(e.what()) + ".");
    } catch (const ESharingSettingsError& e) {
        throw ESetupError(std::string(e.what()) + ".");
    } catch (const EMqttError& e) {
        throw ESetupError(e.what());
    }
}

// The lines of --ephemeris; 2 for a site that is missing or impossible.
int PrintEphemeris(const THeadlessOptions& options, const TIniFile& ini, std::ostream& out) {
    TSite site;
    try {
        site = SiteOf(options, ini);
    } catch (const ESiteError& e) {
        throw ESetupError(std::string(e.what()) + ".");
    }
    if (!site.Position)
        throw ESetupError("No site is known: give --position LAT,LON[,ELEV], or enter the site "
                          "in the Nightlux window (Ctrl+Shift+S).");
    std::string lines;
    try {
        lines = EphemerisReport(*site.Position, site.Name,
                                options.EphemerisDate.value_or(CurrentNight()));
    } catch (const ESiteError& e) {
        throw ESetupError(e.what());
    }
    out << lines << std::flush;
    return out ? 0 : 1;
}

} // namespace

TSite SiteOf(const THeadlessOptions& options, const TIniFile& ini) {
    TSite site;
    try {
        site = ReadSite(ini);
    } catch (const ESiteError&) {
        if (!options.Position)
            throw;
        site.Name = ini.ReadString("Site", "Name", "");
    }
    if (options.Position)
        site.Position = options.Position;
    if (options.SiteName)
        site.Name = *options.SiteName;
    return site;
}

void ApplySharingOptions(const THeadlessOptions& options, TSharingSetup& setup) {
    if (options.SkyglowFolder)
        setup.Skyglow.Folder = *options.SkyglowFolder;
    if (options.MqttHost) {
        setup.Mqtt.Host = *options.MqttHost;
        setup.Mqtt.Port = options.MqttPort.value_or(TMqttSettings::DefaultPort);
    }
    if (options.MqttPrefix)
        setup.Mqtt.TopicPrefix = *options.MqttPrefix;
    if (options.MqttCredentials)
        setup.Mqtt.CredentialsFile = *options.MqttCredentials;
    if (options.MqttCaFile)
        setup.Mqtt.CaFile = *options.MqttCaFile;
}

void ApplyOptions(const THeadlessOptions& options, TConnectionEntries& connection) {
    if (options.ModelIndex)
        connection.ModelIndex = *options.ModelIndex;
    if (connection.ModelIndex == 0) {
        RefuseOption(options.ComPort, "--serial", connection.ModelIndex, "LR, LU or LU-DL");
    } else {
        RefuseOption(options.Host, "--host", connection.ModelIndex, "LE");
        RefuseOption(options.Port, "--port", connection.ModelIndex, "LE");
        RefuseOption(options.Timeout, "--timeout", connection.ModelIndex, "LE");
    }
    if (options.Host)
        connection.Host = *options.Host;
    if (options.Port)
        connection.Port = *options.Port;
    if (options.Timeout)
        connection.Timeout = *options.Timeout;
    if (options.ComPort)
        connection.ComPort = *options.ComPort;
}

std::string ReadingFieldLines(const TReadingTexts& texts) {
    std::string lines;
    using enum TReadingField;
    for (const TReadingField field :
         {Magnitude, Nelm, Time, Model, Serial, Protocol, Feature, Temperature})
        lines += ReadingFieldName(field) + ": " + texts[field].value_or("") + "\n";
    return lines;
}

int RunHeadlessReader(const std::vector<std::string>& args, const std::string& settingsFile,
                      std::ostream& out, std::ostream& err, TStopWaiter& waiter) {
    THeadlessOptions options;
    TConnectionEntries connection;
    bool nothingSaved = false;
    std::unique_ptr<TReadingSharing> sharing;
    std::optional<std::string> unreadable;
    try {
        options = ParseHeadlessOptions(args);
        if (options.FileName)
            options.FileName = ResolvedUserLink(*options.FileName);
        if (options.Help) {
            out << HeadlessUsage() << std::flush;
            return out ? 0 : 1;
        }
        if (options.Find)
            return RunFind(options, out, err);
        if (settingsFile.empty())
            throw ESetupError(NoConfigFolderMessage());
        const TIniFile ini(settingsFile);
        if (options.Ephemeris)
            return PrintEphemeris(options, ini, out);
        unreadable = ini.UnreadableReason();
        nothingSaved = ini.ReadString("SQM", "Config-1", "").empty();
        connection = ConnectionEntriesFromRecord(ReadSavedConfig(ini));
        ApplyOptions(options, connection);
        if (options.Logger)
            return RunLoggerCommand(options, connection, ini, out, err, waiter,
                                    &err == &std::cerr && ::isatty(STDERR_FILENO) == 1);
        sharing = SharingOf(options, ini, connection.ModelIndex);
    } catch (const EUsageError& e) {
        err << TPriority::Error << "nightlux-read: " << e.what() << "\nTry 'nightlux-read --help'."
            << std::endl;
        return 2;
    } catch (const ESetupError& e) {
        err << TPriority::Error << "nightlux-read: " << e.what() << std::endl;
        return 2;
    }
    std::string refusal;
    std::unique_ptr<TDmSQMBase> link;
    try {
        link = MakeLink(connection, refusal);
    } catch (const std::exception& e) {
        err << TPriority::Error << e.what() << std::endl;
        return 1;
    }
    if (!link) {
        if (unreadable) {
            err << TPriority::Error << "nightlux-read: Could not read the settings file "
                << settingsFile << ": " << *unreadable << ".\nTry 'nightlux-read --help'."
                << std::endl;
            return 2;
        }
        err << TPriority::Error << refusal << std::endl;
        if (nothingSaved && !options.Host)
            err << TPriority::Error
                << "No meter has been saved yet (the Nightlux window saves the one it reads when "
                   "it closes): give --host HOST for an SQM-LE, or --model LU --serial DEVICE "
                   "for a USB meter.\nTry 'nightlux-read --help'."
                << std::endl;
        return 2;
    }
    const bool allTaken =
        TReader(options, std::move(link), std::move(sharing), out, err).Run(waiter);
    // A continuous run stopped on request has done what was asked; its failed readings are
    // reported already.
    return allTaken || (options.Period && waiter.IsStopRequested()) ? 0 : 1;
}
