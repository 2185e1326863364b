#pragma once

#include "core/Reading.h"
#include "platform/Notice.h"

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TDmSQMBase;
class TReadingSharing;

// The name each value goes by in the window and in nightlux-read's output:
// "Reading in Mag/Sq Arcsec", "NELM (Theoretical)", "Time of Reading", "Model",
// "Serial Number", "Protocol Version", "Feature Version", "Temp at Sensor".
std::string ReadingFieldName(TReadingField field);

// The display text of one value of the reading, as the window shows it.
std::string FieldText(TReadingField field, const TReading& reading);

// The display texts of a reading; a field the cycle did not reach is absent.
struct TReadingTexts {
    std::optional<std::string> Fields[ReadingFieldCount];

    const std::optional<std::string>& operator[](TReadingField field) const {
        return Fields[static_cast<int>(field)];
    }
    bool IsComplete() const;
};

// A single reading (Read Now, the first reading of a series) or a later reading of a series.
enum class TCycleKind { Single, Tick };

struct TReadingOutcome {
    TReadingTexts Texts;
    // The reading, once every value of it was made; what was stored, shared and charted.
    std::optional<TReading> Reading;
    // Every text was made (and, when asked, the reading stored or its failure shown).
    bool Taken = false;
    // False when storing was asked and failed.
    bool Stored = true;
    // What the readings file tells the user (why the reading was not stored, or that it may
    // not be on the disk); the program presents it. Empty when there is nothing to tell.
    TNotice StoreNotice;
    // What the user is told of a failed cycle; empty when the reading was taken.
    std::string Message;
    // A failed tick ends the series of the window.
    bool StopsTicks = false;
    // A failure of a single reading that is neither the meter's nor a reply's conversion:
    // the window leaves it to its default handler (Message holds its text).
    std::exception_ptr Unexpected;
    // What the sharing of the reading asks to tell the user; it never fails the reading.
    std::vector<TNotice> SharingNotices;
};

// One read cycle on a link: connect, unit information, reading, the display texts, storing
// the reading when a file is given, and disconnect in every case. Failures come back in the
// outcome: for a single reading a meter error gives its own text and a reply field that is
// not a number "The reading returned from the SQM is not valid."; for a tick every failure
// gives its own text and stops the ticks. With sharing, a reading whose texts are all made
// is shared after it is stored and before the link is disconnected.
class TReadingCycle {
public:
    // Called as each text is made, so a display fills as far as the cycle comes.
    using TShowField = std::function<void(TReadingField field, const std::string& text)>;

    explicit TReadingCycle(TDmSQMBase& link, TReadingSharing* sharing = nullptr)
        : Link(link), Sharing(sharing) {}

    TReadingOutcome Run(TCycleKind kind, const std::optional<std::string>& storeTo,
                        const TShowField& show = {});

private:
    void Take(TReadingOutcome& outcome, const std::optional<std::string>& storeTo,
              const TShowField& show);

    void Share(TReadingOutcome& outcome, const TReading& reading);

    TDmSQMBase& Link;
    TReadingSharing* Sharing;
};
