#include "tools/sim/SimCommandLine.h"

#include "platform/Exception.h"
#include "platform/NumberConversion.h"

#include <algorithm>
#include <arpa/inet.h>
#include <charconv>
#include <cstdio>
#include <functional>
#include <map>

namespace {

// Reads the value that follows an option.
class TArguments {
public:
    explicit TArguments(const std::vector<std::string>& args) : Args(args) {}
    bool AtEnd() const { return Next >= Args.size(); }
    const std::string& Take() { return Args[Next++]; }

    const std::string& Value(const std::string& option) {
        if (AtEnd())
            throw Exception("Option " + option + " needs a value.");
        return Take();
    }

    long Integer(const std::string& option, long min, long max) {
        const std::string& text = Value(option);
        long value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || value < min || value > max)
            throw Exception("Option " + option + " takes a whole number from " +
                            std::to_string(min) + " to " + std::to_string(max) + ", not '" + text +
                            "'.");
        return value;
    }

    // A decimal number that fits the reply's six-character field.
    double Number(const std::string& option, double min, double max) {
        const std::string& text = Value(option);
        double value = 0;
        try {
            value = StrToFloat(text);
        } catch (const EConvertError& e) {
            throw Exception("Option " + option + ": " + e.what() + ".");
        }
        if (value < min || value > max)
            throw Exception("Option " + option + " takes a number from " + Format(min) + " to " +
                            Format(max) + ", not '" + text + "'.");
        return value;
    }

private:
    static std::string Format(double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }

    const std::vector<std::string>& Args;
    std::size_t Next = 0;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Turns \r, \n, \t, \\ and \xHH (two hexadecimal digits) into the bytes they name; a
// backslash before anything else stands for what follows it.
std::string Unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
            HexDigit(text[i + 2]) >= 0) {
            bytes += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
            continue;
        }
        bytes += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
    }
    return bytes;
}

// "HH:MM", 00:00 to 23:59, as minutes after midnight.
std::chrono::minutes ClockTime(const std::string& option, const std::string& text) {
    int hour = -1, minute = -1;
    const char* end = text.data() + text.size();
    const auto [colon, e1] = std::from_chars(text.data(), end, hour);
    const bool separated =
        e1 == std::errc() && colon - text.data() == 2 && colon != end && *colon == ':';
    const auto [last, e2] = separated ? std::from_chars(colon + 1, end, minute)
                                      : std::from_chars_result{colon, std::errc::invalid_argument};
    if (e2 != std::errc() || last != end || last - colon != 3 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59)
        throw Exception("Option " + option + " takes a clock time HH:MM, not '" + text + "'.");
    return std::chrono::minutes(hour * 60 + minute);
}

// The discovery options, made with their defaults by the first option that needs them.
TUdpDiscoveryOptions& Discovery(TSimCommandLine& line) {
    if (!line.Discovery)
        line.Discovery.emplace();
    return *line.Discovery;
}

std::string Ipv4(const std::string& option, const std::string& text) {
    unsigned char bytes[4];
    if (::inet_pton(AF_INET, text.c_str(), bytes) != 1)
        throw Exception("Option " + option + " takes an IPv4 address, not '" + text + "'.");
    return text;
}

using TOptionHandler = std::function<void(TArguments&, TSimCommandLine&, const std::string&)>;

// The data logger's options, which make the meter a data logger.
TLoggerOptions& Logger(TSimCommandLine& line) {
    return line.Meter.Logger ? *line.Meter.Logger : line.Meter.Logger.emplace();
}

// "3,17,40": slots of the flash.
std::set<std::int64_t> Slots(const std::string& option, const std::string& text) {
    std::set<std::int64_t> slots;
    for (std::size_t begin = 0; begin <= text.size();) {
        const std::size_t comma = std::min(text.find(',', begin), text.size());
        std::int64_t slot = -1;
        const auto [end, error] = std::from_chars(text.data() + begin, text.data() + comma, slot);
        if (error != std::errc() || end != text.data() + comma || slot < 0)
            throw Exception("Option " + option + " takes slot numbers separated by commas, not '" +
                            text + "'.");
        slots.insert(slot);
        begin = comma + 1;
    }
    return slots;
}

const std::map<std::string, TOptionHandler>& LoggerHandlers() {
    constexpr long MaxSlot = 99'999'999;
    static const std::map<std::string, TOptionHandler> handlers = {
        {"--logger",
         [](auto& a, auto& c, auto& o) { Logger(c).Records = a.Integer(o, 0, MaxSlot); }},
        {"--logger-capacity",
         [](auto& a, auto& c, auto& o) { Logger(c).Capacity = a.Integer(o, 1, MaxSlot); }},
        {"--logger-wrap", [](auto&, auto& c, auto&) { Logger(c).Wrap = true; }},
        {"--logger-erased",
         [](auto& a, auto& c, auto& o) { Logger(c).ErasedSlots = Slots(o, a.Value(o)); }},
        {"--logger-period",
         [](auto& a, auto& c, auto& o) { Logger(c).PeriodSeconds = a.Integer(o, 1, 86400); }},
        {"--logger-extra-fields", [](auto&, auto& c, auto&) { Logger(c).ExtraFields = true; }},
        {"--logger-uncalibrated", [](auto&, auto& c, auto&) { Logger(c).Uncalibrated = true; }},
        {"--logger-battery-restart",
         [](auto& a, auto& c, auto& o) { Logger(c).BatteryRestart = a.Integer(o, 0, MaxSlot); }},
        {"--logger-clock-offset",
         [](auto& a, auto& c, auto& o) {
             Logger(c).ClockOffsetSeconds = a.Integer(o, -99'999'999, 99'999'999);
         }},
        {"--logger-lost-record",
         [](auto& a, auto& c, auto& o) { Logger(c).LostRecord = a.Integer(o, 0, MaxSlot); }},
        {"--logger-garbled-record",
         [](auto& a, auto& c, auto& o) { Logger(c).GarbledRecord = a.Integer(o, 0, MaxSlot); }},
        {"--logger-garbled-once", [](auto&, auto& c, auto&) { Logger(c).GarbledOnce = true; }},
        {"--logger-unplug-at",
         [](auto& a, auto& c, auto& o) { Logger(c).UnplugAtRecord = a.Integer(o, 0, MaxSlot); }},
    };
    return handlers;
}

const std::map<std::string, TOptionHandler>& Handlers() {
    using std::chrono::milliseconds;
    using std::chrono::minutes;
    constexpr long MaxMs = 3'600'000;
    static const std::map<std::string, TOptionHandler> handlers = {
        {"--help", [](auto&, auto& c, auto&) { c.Help = true; }},
        {"-h", [](auto&, auto& c, auto&) { c.Help = true; }},
        {"--tcp", [](auto& a, auto& c, auto& o) { c.TcpPort = int(a.Integer(o, 0, 65535)); }},
        {"--pty", [](auto&, auto& c, auto&) { c.Pty = true; }},
        {"--link", [](auto& a, auto& c, auto& o) { c.LinkPath = a.Value(o); }},
        {"--udp-discovery",
         [](auto& a, auto& c, auto& o) {
             const std::string text = a.Value(o);
             if (!ParseMac(text, Discovery(c).Mac))
                 throw Exception("Option " + o +
                                 " takes a MAC address such as "
                                 "00:80:A3:12:34:56, not '" +
                                 text + "'.");
         }},
        {"--udp-address",
         [](auto& a, auto& c, auto& o) { Discovery(c).BindAddress = Ipv4(o, a.Value(o)); }},
        {"--udp-port", [](auto& a, auto& c,
                          auto& o) { Discovery(c).Port = std::uint16_t(a.Integer(o, 0, 65535)); }},
        {"--udp-from",
         [](auto& a, auto& c, auto& o) { Discovery(c).AnswerFrom = Ipv4(o, a.Value(o)); }},
        {"--udp-delay", [](auto& a, auto& c,
                           auto& o) { Discovery(c).Delay = milliseconds(a.Integer(o, 0, MaxMs)); }},
        {"--silent", [](auto&, auto& c, auto&) { c.Meter.Silent = true; }},
        {"--empty-line", [](auto&, auto& c, auto&) { c.Meter.EmptyLine = true; }},
        {"--no-cr", [](auto&, auto& c, auto&) { c.Meter.NoCR = true; }},
        {"--non-numeric", [](auto&, auto& c, auto&) { c.Meter.NonNumeric = true; }},
        {"--short", [](auto& a, auto& c,
                       auto& o) { c.Meter.ShortReply = std::size_t(a.Integer(o, 1, 1000)); }},
        {"--leading", [](auto& a, auto& c, auto& o) { c.Meter.Leading = Unescape(a.Value(o)); }},
        {"--surplus", [](auto& a, auto& c, auto& o) { c.Meter.Surplus = Unescape(a.Value(o)); }},
        {"--long-line",
         [](auto& a, auto& c, auto& o) {
             c.Meter.LongLine = std::size_t(a.Integer(o, 1, 1'000'000));
         }},
        {"--delay", [](auto& a, auto& c,
                       auto& o) { c.Meter.ReplyDelay = milliseconds(a.Integer(o, 0, MaxMs)); }},
        {"--byte-delay", [](auto& a, auto& c,
                            auto& o) { c.Meter.ByteDelay = milliseconds(a.Integer(o, 0, MaxMs)); }},
        {"--drop", [](auto&, auto& c, auto&) { c.Meter.DropConnection = true; }},
        {"--reset", [](auto&, auto& c, auto&) { c.Meter.ResetConnection = true; }},
        {"--many-clients", [](auto&, auto& c, auto&) { c.Meter.RefuseSecondClient = false; }},
        {"--reports",
         [](auto& a, auto& c, auto& o) { c.Meter.QueuedReports = int(a.Integer(o, 0, 1000)); }},
        {"--magnitude",
         [](auto& a, auto& c, auto& o) { c.Meter.Magnitude = a.Number(o, -99.99, 99.99); }},
        {"--night-step",
         [](auto& a, auto& c, auto& o) { c.Meter.NightStep = minutes(a.Integer(o, 1, 720)); }},
        {"--night-start",
         [](auto& a, auto& c, auto& o) { c.Meter.NightStart = ClockTime(o, a.Value(o)); }},
        {"--temperature",
         [](auto& a, auto& c, auto& o) { c.Meter.Temperature = a.Number(o, -999.9, 999.9); }},
        {"--serial-number",
         [](auto& a, auto& c, auto& o) {
             c.Meter.SerialNumber = int(a.Integer(o, 0, 99'999'999));
         }},
        {"--model",
         [](auto& a, auto& c, auto& o) { c.Meter.ModelNumber = int(a.Integer(o, 0, 99'999'999)); }},
        {"--feature", [](auto& a, auto& c,
                         auto& o) { c.Meter.FeatureVersion = int(a.Integer(o, 0, 99'999'999)); }},
        {"--protocol", [](auto& a, auto& c,
                          auto& o) { c.Meter.ProtocolVersion = int(a.Integer(o, 0, 99'999'999)); }},
    };
    return handlers;
}

} // namespace

TSimCommandLine ParseSimCommandLine(const std::vector<std::string>& args) {
    TSimCommandLine line;
    TArguments arguments(args);
    while (!arguments.AtEnd()) {
        const std::string option = arguments.Take();
        const auto& handlers = Handlers().contains(option) ? Handlers() : LoggerHandlers();
        const auto handler = handlers.find(option);
        if (handler == handlers.end())
            throw Exception("Unknown option '" + option + "'.");
        handler->second(arguments, line, option);
    }
    if (line.Pty && line.TcpPort)
        throw Exception("Options --tcp and --pty cannot be combined; run one simulator each.");
    if (!line.LinkPath.empty() && !line.Pty)
        throw Exception("Option --link names the pseudo-terminal of --pty.");
    if (line.Discovery && std::find(args.begin(), args.end(), "--udp-discovery") == args.end())
        throw Exception("Options --udp-address, --udp-port, --udp-from and --udp-delay need "
                        "--udp-discovery MAC.");
    if (line.Meter.Logger) {
        if (!line.Pty)
            throw Exception("The data logger (--logger) is a USB meter: give --pty.");
        // The data-logging meter reports model 6 unless told otherwise.
        if (std::find(args.begin(), args.end(), "--model") == args.end())
            line.Meter.ModelNumber = 6;
    }
    return line;
}

std::string SimUsage() {
    return R"(Usage: nightlux-meter-sim --tcp PORT [options]
       nightlux-meter-sim --pty [--link PATH] [options]
       nightlux-meter-sim --udp-discovery MAC [--udp-address ADDRESS] [--udp-port PORT]

A simulated Sky Quality Meter. It answers "ix", "rx" and "cx" as the real meter does,
with readings that drift through the night, until it is interrupted (Ctrl+C).

  --tcp PORT            act as an SQM-LE listening on 127.0.0.1:PORT (0 = a free port)
  --pty                 act as an SQM-LU on a new pseudo-terminal and print its device;
                        give that device to Nightlux as the serial port
  --link PATH           make PATH a symbolic link to that device while running, for a
                        name that stays the same (an existing link is replaced)
  --udp-discovery MAC   also (or only) answer the network discovery query on UDP as an
                        SQM-LE's network module does, with MAC (such as 00:80:A3:12:34:56)
  --udp-address ADDRESS the address to listen on (default 127.0.0.1; 0.0.0.0 also hears
                        broadcasts, for example inside a network namespace)
  --udp-port PORT       the UDP port (default 30718; 0 = a free port)
  --udp-from ADDRESS    send the answer from ADDRESS, one of this machine's addresses
  --udp-delay MS        answer MS milliseconds late

Faults:
  --silent              never answer
  --empty-line          answer with nothing but the line end
  --no-cr               end lines with LF alone
  --non-numeric         send the sky brightness as "19,53"
  --short N             send only the first N bytes of each reply
  --leading TEXT        send TEXT before each reply (\r, \n, \t, \\, \xHH understood)
  --surplus TEXT        send TEXT after each reply (the same escapes)
  --long-line N         pad each reply line to N bytes
  --delay MS            answer MS milliseconds late
  --byte-delay MS       send the reply one byte every MS milliseconds
  --drop                close the connection on receiving a command (on a
                        pseudo-terminal: unplug the meter, the device goes away)
  --reset               reset the connection on receiving a command (TCP only; with
                        --short, once that much of the reply has gone)
  --reports N           deliver N queued interval reports to each client on connecting
                        (TCP only)
  --many-clients        serve several clients at a time (the real meter refuses a second;
                        TCP only)

Replies:
  --magnitude X         sky brightness in MPSAS (default: drifting)
  --temperature X       sensor temperature in degrees C (default: drifting)
  --night-step MIN      replay a night quickly: each reading is MIN minutes later in a
                        simulated night (dusk, a passing cloud, moonrise, dawn)
  --night-start HH:MM   the clock time of the replay's first reading (default 18:00)
  --protocol N, --model N, --feature N, --serial-number N
                        unit information (default 4, 3, 76, 5533)

Data logger (an SQM-LU-DL, with --pty):
  --logger N            hold N records in the flash, made from the night curve, and
                        answer the logger's "L" commands (model 6 unless --model is given)
  --logger-capacity N   flash capacity in records (default 32768)
  --logger-wrap         past the capacity, overwrite the oldest records from slot 0 on
                        (without it, logging stops when the flash is full)
  --logger-erased LIST  slots (0-based, separated by commas) that read as erased
  --logger-period S     seconds between records (default 300)
  --logger-extra-fields add a snow flag and a linear value to each record
  --logger-uncalibrated readings below zero, written with a leading "-"
  --logger-battery-restart N
                        record N is the first after the battery was connected (flag 0)
  --logger-clock-offset S
                        the meter's clock runs S seconds ahead of UTC (negative: behind)
  --logger-lost-record N
                        never answer the read of slot N
  --logger-garbled-record N
                        send slot N garbled, every time
  --logger-garbled-once with --logger-garbled-record: garbled the first time only
  --logger-unplug-at N  unplug the meter when slot N is read

  -h, --help            show this text
)";
}
