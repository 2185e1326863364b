#pragma once

#include <ostream>
#include <streambuf>

// The syslog priority of a message line, as the journal reads it from a "<N>" prefix.
enum class TPriority { Error = 3, Warning = 4, Info = 6 };

// True when the descriptor is the stream to the journal that the service manager connected:
// $JOURNAL_STREAM holds its "DEVICE:INODE", which must match the descriptor's.
bool IsJournalStream(int fd);

// A stream buffer that passes what is written on to another, beginning each line with
// "<N>", the priority of the line: the one last given with operator<< below, or information.
// A flush at the start of a line ends that priority, so a message written with std::endl
// marks all of its lines and no more.
class TJournalLineBuffer : public std::streambuf {
public:
    explicit TJournalLineBuffer(std::streambuf& target) : Target(target) {}

    void SetPriority(TPriority priority) { Priority = priority; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    bool Put(char c);

    std::streambuf& Target;
    TPriority Priority = TPriority::Info;
    bool AtLineStart = true;
};

// Gives the lines that follow their priority when the stream writes through a
// TJournalLineBuffer; anywhere else it writes nothing.
std::ostream& operator<<(std::ostream& out, TPriority priority);
