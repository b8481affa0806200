#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace qrn {

// A moment in the general date format: the locale's short date, a blank and its long time
// (without a time zone); exactly midnight, 0:00:00 whatever the milliseconds, gives the date alone.
QString generalDateText(const QDateTime &moment, const QLocale &locale);
QString shortDateText(const QDate &date, const QLocale &locale);
QString longTimeText(const QTime &time, const QLocale &locale);

} // namespace qrn
