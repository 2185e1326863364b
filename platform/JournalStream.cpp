#include "platform/JournalStream.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

bool IsJournalStream(int fd) {
    const char* stream = std::getenv("JOURNAL_STREAM");
    if (!stream)
        return false;
    unsigned long long device = 0;
    unsigned long long inode = 0;
    char rest = 0;
    if (std::sscanf(stream, "%llu:%llu%c", &device, &inode, &rest) != 2)
        return false;
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return false;
    return static_cast<unsigned long long>(status.st_dev) == device &&
           static_cast<unsigned long long>(status.st_ino) == inode;
}

bool TJournalLineBuffer::Put(char c) {
    if (AtLineStart) {
        const char prefix[] = {'<', static_cast<char>('0' + static_cast<int>(Priority)), '>'};
        if (Target.sputn(prefix, sizeof prefix) != sizeof prefix)
            return false;
        AtLineStart = false;
    }
    if (Target.sputc(c) == traits_type::eof())
        return false;
    AtLineStart = c == '\n';
    return true;
}

TJournalLineBuffer::int_type TJournalLineBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    return Put(traits_type::to_char_type(c)) ? c : traits_type::eof();
}

std::streamsize TJournalLineBuffer::xsputn(const char* text, std::streamsize count) {
    std::streamsize done = 0;
    while (done < count && Put(text[done]))
        ++done;
    return done;
}

int TJournalLineBuffer::sync() {
    if (AtLineStart)
        Priority = TPriority::Info;
    return Target.pubsync();
}

std::ostream& operator<<(std::ostream& out, TPriority priority) {
    if (auto* lines = dynamic_cast<TJournalLineBuffer*>(out.rdbuf()))
        lines->SetPriority(priority);
    return out;
}
