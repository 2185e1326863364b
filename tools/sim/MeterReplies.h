#pragma once

#include "tools/sim/LoggerFlash.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// How the simulated meter behaves. The defaults give a healthy SQM-LE-like meter.
struct TMeterOptions {
    // Content of the replies. Unset magnitude and temperature drift through the night.
    std::optional<double> Magnitude;
    std::optional<double> Temperature;
    // Replays a night quickly: the first reading is taken at NightStart and each next one
    // NightStep later, the values following the night's curve (tools/sim/NightCurve.h).
    std::optional<std::chrono::minutes> NightStep;
    std::chrono::minutes NightStart{18 * 60};
    int ProtocolVersion = 4;
    int ModelNumber = 3;
    int FeatureVersion = 76;
    int SerialNumber = 5533;

    // Faults in what is sent.
    bool EmptyLine = false;     // answer with nothing but the line end
    bool NoCR = false;          // end lines with LF alone
    bool NonNumeric = false;    // the magnitude field reads "19,53"
    std::size_t ShortReply = 0; // when non-zero, send only this many bytes of each reply
    std::string Leading;        // bytes sent before each reply (line noise, a report)
    std::string Surplus;        // bytes sent after each reply
    std::size_t LongLine = 0;   // when non-zero, pad each reply line to this many bytes
    // Line noise inside each reply: from byte NoiseAt on (0-based, line end included),
    // NoiseReplaces bytes give way to Noise; equal sizes change bytes, other sizes lose or
    // gain some.
    std::size_t NoiseAt = 0;
    std::size_t NoiseReplaces = 0;
    std::string Noise;

    // Faults in when and whether it is sent (the transports apply these).
    bool Silent = false;                     // never answer
    std::chrono::milliseconds ReplyDelay{0}; // wait before answering (a late reply)
    std::chrono::milliseconds ByteDelay{0};  // wait between bytes (a slow, trickling answer)
    std::size_t PieceBytes = 1;              // with ByteDelay: bytes sent at a time
    bool DropConnection = false;             // close the connection on receiving a command
    bool ResetConnection = false;   // TCP: reset the connection on receiving a command (with
                                    // ShortReply: once that much of the reply has gone)
    bool RefuseSecondClient = true; // one client at a time, as the real meter
    int QueuedReports = 0;          // interval reports delivered as soon as a client connects

    // Set: a data-logging meter (SQM-LU-DL) that also answers the "L" commands (on a
    // pseudo-terminal).
    std::optional<TLoggerOptions> Logger;
};

// The replies of one simulated meter, in the real meter's fixed-column layouts.
class TMeterReplies {
public:
    explicit TMeterReplies(TMeterOptions options = {});

    // The bytes to send for a received two-letter command, faults of content applied;
    // empty for an unknown command.
    std::string Answer(std::string_view command);

    // One line of each reply without its line end.
    std::string ReadingLine(double magnitude, double temperature) const;
    std::string UnitInfoLine() const;
    std::string CalibrationLine() const;
    // An interval report as a meter set to push them sends it (magnitude 17.00), line end
    // included.
    std::string IntervalReport() const;

    const TMeterOptions& Options() const { return Opts; }
    int ReadingsTaken() const { return Readings; }

private:
    std::string Finish(std::string line) const;

    TMeterOptions Opts;
    int Readings = 0;
};
