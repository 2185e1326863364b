#pragma once

#include "core/Reading.h"
#include "session/ReadingCycle.h"
#include "sharing/ReadingSharing.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TDmSQMBase;

// One reading session of a program: the link to the meter, the sharing of its readings and,
// when asked, the readings it took. Each reading is taken by one TReadingCycle on the link.
class TReadingSession {
public:
    // Whether the session keeps the readings it took (the window charts them; a logger that
    // runs for months does not keep them).
    enum class EKeep { Readings, Nothing };

    // A session without a link yet.
    explicit TReadingSession(EKeep keep);
    TReadingSession(EKeep keep, std::unique_ptr<TDmSQMBase> link,
                    std::unique_ptr<TReadingSharing> sharing = nullptr);
    ~TReadingSession();
    TReadingSession(const TReadingSession&) = delete;
    TReadingSession& operator=(const TReadingSession&) = delete;

    // The link for the readings from now on; nullptr closes the session's link.
    void SetLink(std::unique_ptr<TDmSQMBase> link);
    TDmSQMBase* Link() const { return LinkToMeter.get(); }

    // The sharing of the readings from now on; nullptr shares nothing.
    void SetSharing(std::unique_ptr<TReadingSharing> sharing);
    TReadingSharing* Sharing() const { return ReadingSharing.get(); }

    // One read cycle on the link (which must be set), storing the reading when storeTo names
    // a file and sharing it; a reading taken is kept when the session keeps readings.
    TReadingOutcome Take(TCycleKind kind, const std::optional<std::string>& storeTo,
                         const TReadingCycle::TShowField& show = {});

    // The readings taken, oldest first.
    const std::vector<TReading>& Readings() const { return Taken; }

private:
    EKeep Keep;
    std::unique_ptr<TDmSQMBase> LinkToMeter;
    std::unique_ptr<TReadingSharing> ReadingSharing;
    std::vector<TReading> Taken;
};
