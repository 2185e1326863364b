#include "session/ReadingSession.h"

#include "meter/Dm_SQMBase.h"
#include "platform/Exception.h"
#include "sharing/ReadingSharing.h"

TReadingSession::TReadingSession(EKeep keep) : Keep(keep) {}

TReadingSession::TReadingSession(EKeep keep, std::unique_ptr<TDmSQMBase> link,
                                 std::unique_ptr<TReadingSharing> sharing)
    : Keep(keep), LinkToMeter(std::move(link)), ReadingSharing(std::move(sharing)) {}

TReadingSession::~TReadingSession() = default;

void TReadingSession::SetLink(std::unique_ptr<TDmSQMBase> link) {
    LinkToMeter = std::move(link);
}

void TReadingSession::SetSharing(std::unique_ptr<TReadingSharing> sharing) {
    ReadingSharing = std::move(sharing);
}

TReadingOutcome TReadingSession::Take(TCycleKind kind, const std::optional<std::string>& storeTo,
                                      const TReadingCycle::TShowField& show) {
    if (!LinkToMeter)
        throw Exception("The reading session has no link to a meter.");
    TReadingOutcome outcome =
        TReadingCycle(*LinkToMeter, ReadingSharing.get()).Run(kind, storeTo, show);
    if (outcome.Taken && outcome.Reading && Keep == EKeep::Readings)
        Taken.push_back(*outcome.Reading);
    return outcome;
}
