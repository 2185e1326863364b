// nightlux-soak: read cycles through the real meter links against the simulated meter,
// over TCP and over a pseudo-terminal, with faults chosen by a seeded random generator.
// After every cycle it checks that a good reply gave exactly its reading, a fault exactly
// the message of its failure, and that no descriptor, thread or child was left behind.
//
//   nightlux-soak [--cycles N] [--seed S]     (a failure prints the seed that replays it)

#include "meter/Dm_SQMLE.h"
#include "meter/Dm_SQMLUR.h"
#include "platform/NumberConversion.h"
#include "tests/soak/ProcessState.h"
#include "tools/sim/LoopbackSocket.h"
#include "tools/sim/PtyMeter.h"
#include "tools/sim/TcpMeterServer.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

enum class TFault {
    None,
    Silence,
    LateReply,   // later than the time-out
    SlowReply,   // late, but within the time-out
    InPieces,    // one byte at a time
    Garbage,     // noise bytes or lines before each reply
    ShortReply,  // the reply breaks off
    Reports,     // queued interval reports (TCP)
    Dropped,     // the connection is dropped (TCP) or the meter unplugged (serial)
    ResetMidway, // the connection is reset in the middle of a reply (TCP)
    Refused      // the port refuses (TCP) or is held by another program (serial)
};

struct TFaultInfo {
    const char* Name;
    int Weight;
    bool Tcp;
    bool Serial;
};

const std::map<TFault, TFaultInfo> Faults = {
    {TFault::None, {"none", 8, true, true}},
    {TFault::Silence, {"silence", 1, true, true}},
    {TFault::LateReply, {"late reply", 1, true, true}},
    {TFault::SlowReply, {"slow reply", 2, true, true}},
    {TFault::InPieces, {"reply in pieces", 2, true, true}},
    {TFault::Garbage, {"garbage before the reply", 2, true, true}},
    {TFault::ShortReply, {"short reply", 1, true, true}},
    {TFault::Reports, {"queued interval reports", 2, true, false}},
    {TFault::Dropped, {"dropped connection", 2, true, true}},
    {TFault::ResetMidway, {"reset in the middle of a reply", 2, true, false}},
    {TFault::Refused, {"refused connection", 2, true, true}},
};

// Time-outs: short ones for the cycles whose fault is a time-out, generous ones for the
// others, so that a busy machine never turns a good reply into a time-out.
constexpr int TcpQuickMs = 150;
constexpr int TcpGenerousMs = 5000;
const TSerialTimeouts SerialQuick{50ms, 150ms, 250ms};
const TSerialTimeouts SerialGenerous{1000ms, 5000ms, 5000ms};

constexpr long MemoryMarginKb = 128;

bool EndsInTimeOut(TFault fault, bool serial) {
    return fault == TFault::Silence || fault == TFault::LateReply ||
           (fault == TFault::ShortReply && !serial);
}

const std::string SqmPrefix = "Sky Quality Meter communication error: ";
const std::string LeNoReply =
    SqmPrefix + "SQM did not return the requested reading.\nPlease verify that the IP address "
                "and port number are correct; try increasing the time out value.";
const std::string LeNoReading =
    SqmPrefix + "SQM-LE did not return the requested reading.\nPlease try again later.";
const std::string LeRefused =
    SqmPrefix + "Could not connect with SQM-LE.\nPlease verify that the IP address and port "
                "number are correct; the meter may be connected to another user.";
const std::string LurNoReply = SqmPrefix + "SQM-LU/R did not return the requested reading.\n";

// One planned cycle.
struct TPlan {
    bool Serial = false;
    TFault Fault = TFault::None;
    TMeterOptions Meter;
};

struct TOutcome {
    std::string Result;      // "ok <serial> <model> <magnitude> <temperature>" or the message
    std::string Diagnostics; // what the cycle wrote to standard error
};

std::string Reading(const TMeterOptions& m, double magnitude) {
    char text[96];
    std::snprintf(text, sizeof text, "ok %08d %08d %.2f %.1f", m.SerialNumber, m.ModelNumber,
                  magnitude, *m.Temperature);
    return text;
}

// The read cycle as both programs run it: connect, unit information, reading, disconnect.
std::string RunCycle(TDmSQMBase& link) {
    try {
        link.Connect();
        link.ReadUnitInfo();
        link.ReadReading();
        const double magnitude = link.GetMagnitude();
        const double temperature = link.GetTemperature();
        char text[96];
        std::snprintf(text, sizeof text, "ok %s %s %.2f %.1f", link.GetSerialNumber().c_str(),
                      link.GetModelNumber().c_str(), magnitude, temperature);
        link.Disconnect();
        return text;
    } catch (const std::exception& e) {
        link.Disconnect();
        return e.what();
    }
}

class TSoak {
public:
    explicit TSoak(std::uint64_t seed) : Random(seed) {
        for (const auto& [fault, info] : Faults)
            for (int i = 0; i < info.Weight; ++i)
                Pool.push_back(fault);
    }

    TPlan Plan() {
        TPlan plan;
        plan.Serial = Pick(3) == 0;
        do
            plan.Fault = Pool[Pick(Pool.size())];
        while (!(plan.Serial ? Faults.at(plan.Fault).Serial : Faults.at(plan.Fault).Tcp));
        TMeterOptions& m = plan.Meter;
        m.Magnitude = static_cast<double>(Pick(2400)) / 100.0;           // 00.00 to 23.99
        m.Temperature = (static_cast<double>(Pick(800)) - 300.0) / 10.0; // -30.0 to 49.9
        m.SerialNumber = static_cast<int>(Pick(100'000'000));
        m.ModelNumber = plan.Serial ? 6 : 3;
        switch (plan.Fault) {
        case TFault::None:
        case TFault::Refused:
            break;
        case TFault::Silence:
            m.Silent = true;
            break;
        case TFault::LateReply:
            m.ReplyDelay = 400ms;
            break;
        case TFault::SlowReply:
            m.ReplyDelay = std::chrono::milliseconds(Pick(40));
            break;
        case TFault::InPieces:
            m.ByteDelay = 2ms;
            m.PieceBytes = 4 + Pick(12);
            break;
        case TFault::Garbage:
            m.Leading = Garbage(plan.Serial);
            break;
        case TFault::ShortReply:
            m.ShortReply = 3 + Pick(30);
            break;
        case TFault::Reports:
            m.QueuedReports = 1 + static_cast<int>(Pick(5));
            break;
        case TFault::Dropped:
            m.DropConnection = true;
            break;
        case TFault::ResetMidway:
            m.ResetConnection = true;
            m.ShortReply = 1 + Pick(30);
            break;
        }
        return plan;
    }

    // Every result the plan may have: a fault's outcome, or the meter's reading.
    std::vector<TOutcome> Expected(const TPlan& plan, std::uint16_t port,
                                   const std::string& device) const {
        const TMeterOptions& m = plan.Meter;
        const std::string good = Reading(m, *m.Magnitude);
        switch (plan.Fault) {
        case TFault::None:
        case TFault::SlowReply:
        case TFault::InPieces:
        case TFault::Garbage:
            return {{good, ""}};
        case TFault::Reports: // a queued report is a reading of the meter's too
            return {{good, ""}, {Reading(m, 17.0), ""}};
        case TFault::Silence:
        case TFault::LateReply:
            return {{plan.Serial ? LurNoReply : LeNoReply, ""}};
        case TFault::ShortReply:
            // A reply cut short is none: the unit information's already.
            return {{plan.Serial ? LurNoReply : LeNoReply, ""}};
        case TFault::Dropped:
            // The link's trace of the failed flush appears only once the kernel has hung the
            // port up, which can come just after the read saw the line drop.
            if (plan.Serial)
                return {{LurNoReply, "COM error 5\n"}, {LurNoReply, ""}};
            return {{"The connection to 127.0.0.1 port " + std::to_string(port) +
                         " was closed by the other side.",
                     ""}};
        case TFault::ResetMidway:
            return {{LeNoReading + "\nSocket error " + std::to_string(ECONNRESET), ""}};
        case TFault::Refused:
            if (plan.Serial)
                return {{SqmPrefix +
                             "Could not connect with SQM-LU/R.\nSerial communication "
                             "error: Failed to open port " +
                             device,
                         ""}};
            return {{LeRefused, ""}};
        }
        return {};
    }

    std::uint64_t Pick(std::uint64_t below) { return Random() % below; }

private:
    // Bytes that hold no reply marker (no comma); over TCP whole lines.
    std::string Garbage(bool serial) {
        std::string bytes;
        const std::size_t length = 1 + Pick(serial ? 80 : 40);
        for (std::size_t i = 0; i < length; ++i) {
            char c = static_cast<char>(Pick(256));
            if (c == ',' || c == '\n' || c == '\r')
                c = '#';
            bytes += c;
        }
        return serial ? bytes : "#" + bytes + "\r\n";
    }

    std::mt19937_64 Random;
    std::vector<TFault> Pool;
};

std::string Quote(const std::string& text) {
    std::string quoted;
    for (char c : text)
        quoted += c == '\n' ? std::string("\\n") : std::string(1, c);
    return quoted;
}

struct TSettings {
    long Cycles = 2000;
    std::uint64_t Seed = std::random_device()();
};

std::optional<TSettings> ParseArgs(int argc, char** argv) {
    TSettings settings;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--cycles")
            settings.Cycles = std::atol(argv[i + 1]);
        else if (option == "--seed")
            settings.Seed = std::strtoull(argv[i + 1], nullptr, 10);
        else
            return std::nullopt;
    }
    if (argc % 2 == 0 || settings.Cycles <= 0)
        return std::nullopt;
    return settings;
}

} // namespace

int main(int argc, char** argv) {
    const auto settings = ParseArgs(argc, argv);
    if (!settings) {
        std::cerr << "Usage: nightlux-soak [--cycles N] [--seed S]\n";
        return 2;
    }
    std::cout << "Soak: " << settings->Cycles << " cycles, seed " << settings->Seed << std::endl;
    TSoak soak(settings->Seed);
    TTcpMeterServer meter;
    TDmSQMLE tcpLink;
    tcpLink.Host = "127.0.0.1";

    const TProcessState start = TProcessState::Read();
    TProcessState warm = start;
    std::map<std::string, long> mix;
    const auto began = std::chrono::steady_clock::now();
    for (long cycle = 1; cycle <= settings->Cycles; ++cycle) {
        const TPlan plan = soak.Plan();
        ++mix[std::string(plan.Serial ? "serial: " : "tcp: ") + Faults.at(plan.Fault).Name];
        TOutcome outcome;
        std::vector<TOutcome> expected;
        if (plan.Serial) {
            TPtyMeter pty(plan.Meter);
            TDmSQMLUR link;
            link.SetComPort(pty.DevicePath());
            link.SetTimeouts(EndsInTimeOut(plan.Fault, true) || plan.Fault == TFault::ShortReply
                                 ? SerialQuick
                                 : SerialGenerous);
            std::optional<TSerialComm> holder;
            if (plan.Fault == TFault::Refused) {
                holder.emplace();
                holder->PortName = pty.DevicePath();
                holder->BaudRate = 115200;
                holder->Connect();
            }
            TCapturedStderr diagnostics;
            outcome.Result = RunCycle(link);
            outcome.Diagnostics = diagnostics.Take();
            expected = soak.Expected(plan, 0, pty.DevicePath());
        } else {
            std::optional<TRefusedPort> refused;
            if (plan.Fault == TFault::Refused)
                refused.emplace();
            meter.SetOptions(plan.Meter);
            tcpLink.Port = refused ? refused->GetPort() : meter.GetPort();
            tcpLink.Timeout = EndsInTimeOut(plan.Fault, false) ? TcpQuickMs : TcpGenerousMs;
            outcome.Result = RunCycle(tcpLink);
            expected = soak.Expected(plan, static_cast<std::uint16_t>(tcpLink.Port), "");
            // The meter listens again once it has seen the client go.
            if (!meter.WaitUntil([](const auto& c) { return c.OpenConnections == 0; }, 10s)) {
                outcome.Result += " (and the meter kept the connection)";
            }
            meter.ForgetReceived();
        }

        // A joined thread can stay listed for a moment while the kernel finishes it.
        TProcessState now = TProcessState::Read();
        for (const auto until = std::chrono::steady_clock::now() + 2s;
             (now.Threads != start.Threads || now.Descriptors != start.Descriptors) &&
             std::chrono::steady_clock::now() < until;
             now = TProcessState::Read())
            std::this_thread::sleep_for(1ms);
        std::string broken;
        bool matches = false;
        for (const TOutcome& e : expected)
            matches =
                matches || (e.Result == outcome.Result && e.Diagnostics == outcome.Diagnostics);
        if (!matches)
            broken = "got \"" + Quote(outcome.Result) + "\" (diagnostics \"" +
                     Quote(outcome.Diagnostics) + "\"), expected \"" +
                     Quote(expected.front().Result) + "\"";
        else if (now.Descriptors != start.Descriptors || now.Threads != start.Threads ||
                 now.Children)
            broken = "left behind: " + now.Describe() + "; at the start " + start.Describe();
        if (!broken.empty()) {
            std::cout << "FAILED at cycle " << cycle << " (" << (plan.Serial ? "serial" : "tcp")
                      << ", " << Faults.at(plan.Fault).Name << "): " << broken
                      << "\nReplay with: nightlux-soak --seed " << settings->Seed << " --cycles "
                      << cycle << std::endl;
            return 1;
        }
        if (cycle == std::min(settings->Cycles, 1000L))
            warm = now;
        if (cycle % 10000 == 0)
            std::cout << "  " << cycle << " cycles: " << now.Describe() << std::endl;
    }
    const TProcessState end = TProcessState::Read();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::cout << "Fault mix:\n";
    for (const auto& [name, count] : mix)
        std::cout << "  " << name << ": " << count << "\n";
    std::cout << "At the start: " << start.Describe() << "\nAfter 1000 cycles: " << warm.Describe()
              << "\nAt the end:   " << end.Describe() << std::endl;
    // After the first thousand cycles have warmed the allocator, memory stays where it is;
    // the margin is for the allocator's own bookkeeping, not for anything a cycle keeps.
    if (end.ResidentKb > warm.ResidentKb + MemoryMarginKb) {
        std::cout << "FAILED: resident memory grew by " << end.ResidentKb - warm.ResidentKb
                  << " kB after the first 1000 cycles (seed " << settings->Seed << ")" << std::endl;
        return 1;
    }
    std::cout << settings->Cycles << " cycles in " << seconds << " s, all invariants held (seed "
              << settings->Seed << ")" << std::endl;
    return 0;
}
