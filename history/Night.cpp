#include "history/Night.h"

#include "platform/Exception.h"
#include "platform/LocalNight.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

using namespace std::chrono;

TNight::TNight(year_month_day evening) : Evening(evening) {
    if (!evening.ok())
        throw Exception("Not a valid date for a night.");
}

TNight TNight::Of(TLocalTime time) {
    return TNight(NightOfLocalTime(time));
}

TNight TNight::Parse(const std::string& text) {
    const auto fail = [&text] {
        return Exception("'" + text + "' is not a date of the form YYYY-MM-DD.");
    };
    int values[3] = {};
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 3; ++i) {
        const std::size_t width = i == 0 ? 4 : 2;
        if (std::size_t(end - at) < width ||
            !std::all_of(at, at + width, [](char c) { return c >= '0' && c <= '9'; }))
            throw fail();
        std::from_chars(at, at + width, values[i]);
        at += width;
        if (i < 2 && (at == end || *at++ != '-'))
            throw fail();
    }
    const year_month_day evening{year{values[0]}, month(unsigned(values[1])),
                                 day(unsigned(values[2]))};
    if (at != end || values[0] < 1 || !evening.ok())
        throw fail();
    return TNight(evening);
}

TLocalTime TNight::GetStart() const {
    return local_days{Evening} + hours{12};
}

TLocalTime TNight::GetEnd() const {
    return GetStart() + days{1};
}

double TNight::HoursOf(TLocalTime time) const {
    return duration<double, std::ratio<3600>>(time - GetStart()).count();
}

std::string TNight::AsText() const {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", int(Evening.year()),
                  unsigned(Evening.month()), unsigned(Evening.day()));
    return text;
}

std::vector<TNightReading> SelectNight(const std::vector<TNightReading>& readings,
                                       const TNight& night) {
    std::vector<TNightReading> selected;
    std::copy_if(readings.begin(), readings.end(), std::back_inserter(selected),
                 [&night](const TNightReading& r) { return night.Contains(r.Time); });
    std::stable_sort(
        selected.begin(), selected.end(),
        [](const TNightReading& a, const TNightReading& b) { return a.Time < b.Time; });
    return selected;
}

std::vector<TNightReading> MergeReadings(const std::vector<TNightReading>& stored,
                                         const std::vector<TNightReading>& session,
                                         const TNight& night) {
    std::vector<TNightReading> merged = SelectNight(stored, night);
    const auto hundredths = [](double magnitude) { return std::llround(magnitude * 100.0); };
    const std::size_t storedCount = merged.size();
    for (const TNightReading& r : SelectNight(session, night)) {
        const auto first = merged.begin();
        const auto storedEnd = first + std::ptrdiff_t(storedCount);
        const bool held = std::any_of(first, storedEnd, [&](const TNightReading& s) {
            return s.Time == r.Time && hundredths(s.Magnitude) == hundredths(r.Magnitude);
        });
        if (!held)
            merged.push_back(r);
    }
    std::stable_sort(
        merged.begin(), merged.end(),
        [](const TNightReading& a, const TNightReading& b) { return a.Time < b.Time; });
    return merged;
}

std::optional<TNight> LatestNight(const std::vector<TNightReading>& readings) {
    if (readings.empty())
        return std::nullopt;
    const auto latest = std::max_element(
        readings.begin(), readings.end(),
        [](const TNightReading& a, const TNightReading& b) { return a.Time < b.Time; });
    return TNight::Of(latest->Time);
}

std::optional<TNightSummary> SummarizeNight(const std::vector<TNightReading>& readings) {
    if (readings.empty())
        return std::nullopt;
    TNightSummary summary;
    summary.Count = readings.size();
    summary.Darkest = summary.Brightest = readings.front();
    double sum = 0.0;
    for (const TNightReading& r : readings) {
        if (r.Magnitude > summary.Darkest.Magnitude)
            summary.Darkest = r;
        if (r.Magnitude < summary.Brightest.Magnitude)
            summary.Brightest = r;
        sum += r.Magnitude;
    }
    summary.MeanMagnitude = sum / double(readings.size());
    return summary;
}
