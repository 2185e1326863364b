#include "headless/HeadlessOptions.h"

#include "core/EntryChecks.h"
#include "core/Sqmmodelnames.h"
#include "platform/Text.h"
#include "sharing/SharingSettings.h"

#include <functional>
#include <map>
#include <utility>

namespace {

// The short names of the models, in the order of ModelNames().
const std::vector<std::string> ShortModelNames = {"LE", "LR", "LU", "LU-DL"};

// A whole number from min to max, or EUsageError with message.
int WholeNumber(const std::string& text, int min, int max, const std::string& message) {
    int value = 0;
    if (!EntryToInt(text, value) || value < min || value > max)
        throw EUsageError(message);
    return value;
}

// Walks the arguments, handing out the value of each option.
class TArguments {
public:
    explicit TArguments(const std::vector<std::string>& args) : Args(args) {}

    // The next option name; its value, if given after "=", is kept for Value().
    bool Next(std::string& option) {
        if (Index >= Args.size())
            return false;
        option = Args[Index++];
        Inline.reset();
        const auto equals = option.find('=');
        if (option.starts_with("--") && equals != std::string::npos) {
            Inline = option.substr(equals + 1);
            option.resize(equals);
        }
        return true;
    }

    std::string Value(const std::string& option) {
        if (Inline)
            return *std::exchange(Inline, std::nullopt);
        if (Index >= Args.size())
            throw EUsageError("Option " + option + " needs a value.");
        return Args[Index++];
    }

    // The value after "=", or the next argument unless it is an option.
    std::optional<std::string> OptionalValue() {
        if (Inline)
            return std::exchange(Inline, std::nullopt);
        if (Index < Args.size() && !Args[Index].starts_with("-"))
            return Args[Index++];
        return std::nullopt;
    }

    void NoValue(const std::string& option) const {
        if (Inline)
            throw EUsageError("Option " + option + " takes no value.");
    }

private:
    const std::vector<std::string>& Args;
    std::size_t Index = 0;
    std::optional<std::string> Inline;
};

// A local date "YYYY-MM-DD" within the years the ephemeris is made for.
std::chrono::year_month_day EphemerisDate(const std::string& text) {
    const std::string message = "The date '" + text +
                                "' is not a date from 1900-01-01 to 2100-12-31 written "
                                "YYYY-MM-DD.";
    const auto digits = [&](std::size_t from, std::size_t count) {
        int value = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                throw EUsageError(message);
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        throw EUsageError(message);
    const std::chrono::year_month_day date{std::chrono::year(digits(0, 4)),
                                           std::chrono::month(unsigned(digits(5, 2))),
                                           std::chrono::day(unsigned(digits(8, 2)))};
    if (!date.ok() || date.year() < std::chrono::year(1900) ||
        date.year() > std::chrono::year(2100))
        throw EUsageError(message);
    return date;
}

// A text option's value, refused when empty.
std::string NonEmpty(TArguments& a, const std::string& option) {
    std::string value = a.Value(option);
    if (value.empty())
        throw EUsageError("Option " + option + " needs a value that is not empty.");
    return value;
}

using THandler = std::function<void(TArguments&, THeadlessOptions&, const std::string&)>;

const std::map<std::string, THandler>& Handlers() {
    using std::chrono::minutes;
    using std::chrono::seconds;
    static const std::map<std::string, THandler> handlers = {
        {"--help",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) {
             a.NoValue(n);
             o.Help = true;
         }},
        {"--model",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) {
             const std::string name = a.Value(n);
             o.ModelIndex = ModelIndexOf(name);
             if (!o.ModelIndex)
                 throw EUsageError("Unknown model '" + name + "': give LE, LR, LU or LU-DL.");
         }},
        {"--host",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) { o.Host = a.Value(n); }},
        {"--port",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) { o.Port = a.Value(n); }},
        {"--timeout",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) { o.Timeout = a.Value(n); }},
        {"--serial",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) { o.ComPort = a.Value(n); }},
        {"--every",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) {
             o.Period = minutes(
                 WholeNumber(a.Value(n), 1, 60, "Minutes must be between 1 and 60 inclusively."));
         }},
        {"--every-seconds",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) {
             o.Period = seconds(WholeNumber(a.Value(n), 1, 3600,
                                            "Seconds must be between 1 and 3600 inclusively."));
         }},
        {"--count",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) {
             o.Count = WholeNumber(a.Value(n), 1, 2147483647,
                                   "Count must be a whole number of at least 1.");
         }},
        {"--file",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) { o.FileName = a.Value(n); }},
        {"--csv",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) {
             a.NoValue(n);
             o.Csv = true;
         }},
        {"--skyglow", [](TArguments& a, THeadlessOptions& o,
                         const std::string& n) { o.SkyglowFolder = NonEmpty(a, n); }},
        {"--mqtt",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) {
             TMqttSettings settings;
             try {
                 ParseMqttAddress(a.Value(n), settings);
             } catch (const ESharingSettingsError& e) {
                 throw EUsageError(std::string(e.what()) + ".");
             }
             o.MqttHost = settings.Host;
             o.MqttPort = settings.Port;
         }},
        {"--mqtt-prefix",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) {
             o.MqttPrefix = NonEmpty(a, n);
             if (o.MqttPrefix->find_first_of("+#") != std::string::npos)
                 throw EUsageError("The topic prefix '" + *o.MqttPrefix +
                                   "' holds a wildcard (+ or #).");
         }},
        {"--mqtt-credentials", [](TArguments& a, THeadlessOptions& o,
                                  const std::string& n) { o.MqttCredentials = NonEmpty(a, n); }},
        {"--mqtt-ca", [](TArguments& a, THeadlessOptions& o,
                         const std::string& n) { o.MqttCaFile = NonEmpty(a, n); }},
        {"--position",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) {
             try {
                 o.Position = ParsePosition(a.Value(n));
             } catch (const ESiteError& e) {
                 throw EUsageError(std::string(e.what()) + ".");
             }
         }},
        {"--site",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) {
             try {
                 o.SiteName = ParseSiteName(a.Value(n));
             } catch (const ESiteError& e) {
                 throw EUsageError(std::string(e.what()) + ".");
             }
         }},
        {"--find",
         [](TArguments& a, THeadlessOptions& o, const std::string&) {
             o.Find = true;
             while (const std::optional<std::string> target = a.OptionalValue())
                 o.FindTargets.push_back(*target);
         }},
        {"--identify",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) {
             a.NoValue(n);
             o.Identify = true;
         }},
        {"--discovery-port",
         [](TArguments& a, THeadlessOptions& o, const std::string& n) {
             o.DiscoveryPort = WholeNumber(a.Value(n), 1, 65535,
                                           "The discovery port must be between 1 and 65535.");
         }},
        {"--ephemeris",
         [](TArguments& a, THeadlessOptions& o, const std::string&) {
             o.Ephemeris = true;
             if (const std::optional<std::string> date = a.OptionalValue())
                 o.EphemerisDate = EphemerisDate(*date);
         }},
    };
    return handlers;
}

} // namespace

std::optional<int> ModelIndexOf(const std::string& name) {
    const std::vector<std::string> listed = ModelNames();
    for (std::size_t i = 0; i < ShortModelNames.size(); ++i)
        if (SameText(name, ShortModelNames[i]) || (i < listed.size() && SameText(name, listed[i])))
            return static_cast<int>(i);
    return std::nullopt;
}

THeadlessOptions ParseHeadlessOptions(const std::vector<std::string>& args) {
    THeadlessOptions options;
    TArguments arguments(args);
    std::string option;
    while (arguments.Next(option)) {
        if (options.Find && !option.starts_with("-")) {
            options.FindTargets.push_back(option); // an address after --find's other options
            continue;
        }
        const std::string name = option == "-h" ? "--help" : option;
        const auto handler = Handlers().find(name);
        if (handler == Handlers().end())
            throw EUsageError("Unknown option '" + option + "'.");
        handler->second(arguments, options, name);
    }
    if (options.Count && !options.Period)
        throw EUsageError("Option --count needs --every.");
    if (options.Ephemeris && (options.Period || options.FileName || options.Csv ||
                              options.SkyglowFolder || options.MqttHost))
        throw EUsageError("Option --ephemeris reads no meter: it takes only --position and "
                          "--site.");
    if ((options.Identify || options.DiscoveryPort) && !options.Find)
        throw EUsageError("Options --identify and --discovery-port belong to --find.");
    if (options.Find && (options.Ephemeris || options.Period || options.FileName || options.Csv ||
                         options.SkyglowFolder || options.MqttHost || options.ModelIndex ||
                         options.Host || options.Port || options.Timeout || options.ComPort))
        throw EUsageError("Option --find reads no meter: it takes only addresses or subnets, "
                          "--identify and --discovery-port.");
    return options;
}

std::string HeadlessUsage() {
    return R"(Usage: nightlux-read [OPTION]...
Reads a Sky Quality Meter without a window and prints what the window would show.

With no options, reads the meter of the saved settings (the connection that the Nightlux
window stores) once and prints the eight values of the reading, one "name: value" line
each. Options override the saved connection:

  --model MODEL        LE (Ethernet), LR (RS-232), LU (USB) or LU-DL (USB)
  --host HOST          IP address or host name of an SQM-LE
  --port PORT          TCP port of an SQM-LE, 1 to 65535
  --timeout SECONDS    time-out of an SQM-LE, 1 to 30
  --serial DEVICE      serial port of an SQM-LR, SQM-LU or SQM-LU-DL, such as
                       /dev/ttyUSB0 or COM1 (/dev/ttyS0)
  --every MINUTES      read at once and then every MINUTES minutes (1 to 60), until
                       --count readings are taken or SIGINT or SIGTERM ends the run after
                       the reading in progress
  --count N            with --every: stop after N readings
  --file PATH          append each reading to the readings file PATH, in the window's
                       format (two header lines when the file is created)
  --csv                print each reading as one readings-file record line instead
  --skyglow FOLDER     also write each reading to the night's skyglow data file in
                       FOLDER (one file per night, named from the evening's date)
  --mqtt HOST[:PORT]   also publish each reading to the MQTT broker at HOST (port 1883
                       when not given; write an IPv6 address in brackets)
  --mqtt-prefix TOPIC  the topic prefix of the messages (default nightlux/SERIAL)
  --mqtt-credentials FILE
                       the broker's user name and password, as "username=" and
                       "password=" lines in FILE (else NIGHTLUX_MQTT_USERNAME and
                       NIGHTLUX_MQTT_PASSWORD from the environment)
  --mqtt-ca FILE       connect with TLS, checking the broker's certificate against FILE
  --position LAT,LON[,ELEV]
                       the site in degrees north, degrees east and metres, such as
                       52.25,-7.11,30
  --site NAME          the site's name
  --ephemeris [YYYY-MM-DD]
                       print the Sun's and Moon's times for the site and the night that
                       begins at noon of that local date (default: the night in progress,
                       which began at the last local noon), and read no meter
  --find [ADDRESS|SUBNET]...
                       look for meters instead of reading one: SQM-LE meters on the
                       local networks (a broadcast on each network interface, and a
                       query to each ADDRESS, such as 192.168.2.20, and to each host of
                       each SUBNET, such as 192.168.2.0/24), and serial ports on USB;
                       prints one line per device found with the options that read it
  --identify           with --find: ask each meter found for its model and serial
                       number (this takes an SQM-LE's only connection for a moment, and
                       a busy USB port is not asked)
  --discovery-port PORT
                       meant for tests: with --find, the UDP port of the network query
                       (default 30718)
  --every-seconds S    meant for tests: like --every, with the period in seconds
                       (1 to 3600)
  --help               show this text

The sharing and site options override the saved settings (which the Nightlux window's
Sharing dialog keeps) for one run. A skyglow file or broker that fails never stops the
readings or the readings file; the failure is reported once on standard error.

Readings are taken at fixed times from the start (start + k * period); a reading that
fails is reported on standard error and the next one is still taken at its time. Failed
readings in a row are one outage, reported when it starts (again when its message
changes) and when the meter answers again.

Exit status: 0 when every reading was taken (and stored, with --file); 1 when a reading
failed or could not be stored; 2 for a command line, connection entry, site or sharing
setting that cannot be used (and for --ephemeris without a site). With --find: 0 when at
least one meter was found, 1 when none was, 2 for a command line that cannot be used.
)";
}
