#include "platform/SystemTime.h"

#include <atomic>
#include <ctime>

namespace {

SYSTEMTIME SystemLocalTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    SYSTEMTIME st;
    st.wYear = static_cast<std::uint16_t>(local.tm_year + 1900);
    st.wMonth = static_cast<std::uint16_t>(local.tm_mon + 1);
    st.wDayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    st.wDay = static_cast<std::uint16_t>(local.tm_mday);
    st.wHour = static_cast<std::uint16_t>(local.tm_hour);
    st.wMinute = static_cast<std::uint16_t>(local.tm_min);
    st.wSecond = static_cast<std::uint16_t>(local.tm_sec > 59 ? 59 : local.tm_sec); // leap second
    st.wMilliseconds = static_cast<std::uint16_t>(ts.tv_nsec / 1'000'000);
    return st;
}

std::atomic<TLocalTimeSource> Source{&SystemLocalTime};

} // namespace

TDateTime SystemTimeToDateTime(const SYSTEMTIME& st) {
    return EncodeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                          st.wMilliseconds);
}

TDateTime Now() {
    return SystemTimeToDateTime(GetLocalTime());
}

SYSTEMTIME GetLocalTime() {
    return Source.load()();
}

TLocalTimeSource SetLocalTimeSource(TLocalTimeSource source) {
    return Source.exchange(source ? source : &SystemLocalTime);
}
