#include "core/ReadingDisplay.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

std::string Printf(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// The locale's long time format without its time-zone part: hours, minutes and seconds.
QString LongTimeFormat(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    return format.remove(zone).trimmed();
}

} // namespace

std::string MagnitudeText(double magnitude) {
    return Printf("%.2f", magnitude);
}

std::string NelmText(double nelm) {
    return Printf("%.1f", nelm);
}

std::string TemperatureText(double celsius) {
    return Printf("%.15g", celsius) + " \u00B0C";
}

std::string UnitFieldText(const std::string& field) {
    bool ok = false;
    const int value = QString::fromStdString(field).toInt(&ok, 10);
    return ok ? std::to_string(value) : field;
}

std::string ReadingTimeText(TDateTime time, const QLocale& locale) {
    const TDateTimeFields f = DecodeDateTime(time);
    const QString timeText =
        locale.toString(QTime(f.Hour, f.Minute, f.Second, f.Millisecond), LongTimeFormat(locale));
    if (time < 1.0)
        return timeText.toStdString();
    const QString dateText = locale.toString(QDate(f.Year, f.Month, f.Day), QLocale::ShortFormat);
    if (static_cast<double>(time) == std::floor(static_cast<double>(time)))
        return dateText.toStdString();
    return (dateText + QLatin1Char(' ') + timeText).toStdString();
}
