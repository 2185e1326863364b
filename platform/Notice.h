#pragma once

#include <string>

// Something the user is told by the files, the sharing or the publisher, as a whole
// sentence or message (punctuated where it is raised). The programs decide how to show it.
enum class ENoticeSeverity { Information, Warning, Error };

struct TNotice {
    ENoticeSeverity Severity = ENoticeSeverity::Information;
    std::string Text;

    bool operator==(const TNotice&) const = default;
};
