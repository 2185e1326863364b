#pragma once

#include "platform/FileDescriptor.h"
#include "tools/sim/MeterReplies.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// A simulated USB meter on a pseudo-terminal: a program opens DevicePath() as it would a
// serial port and gets the meter's replies, with the faults of the options applied.
// Answers on a thread of its own from construction to destruction.
//
// DropConnection unplugs the meter on the first command: the device goes away and the
// pseudo-terminal hangs up. ResetConnection, RefuseSecondClient and QueuedReports belong to
// TCP and have no meaning here.
class TPtyMeter {
public:
    // Throws std::system_error when no pseudo-terminal can be had.
    explicit TPtyMeter(TMeterOptions options = {});
    TPtyMeter(const TPtyMeter&) = delete;
    TPtyMeter& operator=(const TPtyMeter&) = delete;
    ~TPtyMeter();

    // The slave side, such as /dev/pts/3.
    const std::string& DevicePath() const { return Path; }

    // Sends bytes from the meter at once, outside any reply (line noise, stale bytes).
    void Inject(const std::string& bytes);

    // The data-logging meter's flash; nullptr unless the options ask for one. Read it only
    // while no command is being answered.
    const TLoggerFlash* GetLogger() const { return Logger.get(); }

    // Commands recognised so far; a dropping meter counts its command once it is gone.
    int CommandsReceived() const { return Commands.load(); }
    // Waits until at least count commands have been received; false if not within timeout.
    bool WaitForCommands(int count, std::chrono::milliseconds timeout) const;

private:
    void Run();
    void Answer(const std::string& reply);
    // Waits for delay unless the meter is stopped first; false when stopped.
    bool Pause(std::chrono::milliseconds delay) const;
    // Writes all bytes to the master; false when stopped or the device is gone.
    bool WriteAll(const std::string& bytes);
    void Unplug();
    void CountCommand();

    // A logger command from "L" to "x"; false when the meter was unplugged by it.
    bool AnswerLogger(const std::string& command);

    TMeterReplies Replies;
    std::unique_ptr<TLoggerFlash> Logger; // set for a data-logging meter
    std::string LoggerCommand;            // a logger command being received
    TFileDescriptor Master;
    // Held open so the terminal keeps its settings and does not hang up between clients.
    TFileDescriptor Slave;
    TFileDescriptor WakeRead;
    TFileDescriptor WakeWrite;
    std::string Path;
    std::mutex WriteLock;
    std::atomic<int> Commands{0};
    mutable std::mutex CommandLock;
    mutable std::condition_variable CommandCounted;
    std::atomic<bool> Unplugged{false};
    std::thread Worker;
};
