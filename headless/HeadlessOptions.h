#pragma once

#include "astro/Site.h"
#include "platform/Exception.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// What --logger asks of a data-logging meter, with --yes and --logger-clock.
struct TLoggerRequest {
    enum class TAction { Status, Download, SetClock, SetPeriod, SetThreshold, SetMode, Erase };
    TAction Action = TAction::Status;
    std::chrono::seconds Period{0}; // set-period
    bool PeriodInMinutes = false;   // set-period given as "5m"
    double Threshold = 0.0;         // set-threshold, MPSAS
    int Mode = 0;                   // set-mode
    bool Yes = false;               // --yes: erase may go ahead
    bool LocalClock = false;        // --logger-clock local
};

// A command line that nightlux-read cannot run; the message says why.
class EUsageError : public Exception {
public:
    using Exception::Exception;
};

// The command line of nightlux-read. The connection entries are kept as typed: they go
// through the window's entry checks once the saved record has been merged with them.
struct THeadlessOptions {
    bool Help = false;
    std::optional<int> ModelIndex;              // --model, an index of ModelNames()
    std::optional<std::string> Host;            // --host
    std::optional<std::string> Port;            // --port
    std::optional<std::string> Timeout;         // --timeout, seconds
    std::optional<std::string> ComPort;         // --serial
    std::optional<std::chrono::seconds> Period; // --every (minutes) or --every-seconds
    std::optional<int> Count;                   // --count
    std::optional<std::string> FileName;        // --file
    bool Csv = false;                           // --csv
    // Sharing and the site; each overrides the saved setting for one run.
    std::optional<std::string> SkyglowFolder;   // --skyglow
    std::optional<std::string> MqttHost;        // --mqtt HOST[:PORT]
    std::optional<int> MqttPort;                // the port of --mqtt, 1883 when not given
    std::optional<std::string> MqttPrefix;      // --mqtt-prefix
    std::optional<std::string> MqttCredentials; // --mqtt-credentials, a file name
    std::optional<std::string> MqttCaFile;      // --mqtt-ca
    std::optional<TPosition> Position;          // --position
    std::optional<std::string> SiteName;        // --site
    // --logger ACTION [VALUE], for an SQM-LU-DL (headless/LoggerCommand.h).
    std::optional<TLoggerRequest> Logger;
    // --ephemeris, with the local date of the night's evening when given.
    bool Ephemeris = false;
    std::optional<std::chrono::year_month_day> EphemerisDate;
    // --find [ADDRESS|SUBNET]...: look for meters instead of reading one.
    bool Find = false;
    std::vector<std::string> FindTargets;
    bool Identify = false;            // --identify, with --find
    std::optional<int> DiscoveryPort; // --discovery-port, with --find
};

// Reads the arguments (without the program name). Options take their value as the next
// argument or after "=". Raises EUsageError for an unknown option, a missing value, a model,
// period or count out of range, --count without a period, an impossible position, site name,
// broker address or date, and --ephemeris with reading options.
THeadlessOptions ParseHeadlessOptions(const std::vector<std::string>& args);

// The model index of a --model value: LE, LR, LU or LU-DL, or a model list text such as
// "LU (USB)", letter case ignored; nullopt for anything else.
std::optional<int> ModelIndexOf(const std::string& name);

// The text of --help.
std::string HeadlessUsage();
