#include "GeneralDate.h"

namespace qrn {

QString shortDateText(const QDate &date, const QLocale &locale)
{
    return locale.toString(date, QLocale::ShortFormat);
}

QString longTimeText(const QTime &time, const QLocale &locale)
{
    // The locale's short time with seconds: the general date format's long time is hours,
    // minutes and seconds in the locale's order (H:mm:ss on a Japanese system), without the time
    // zone or the words that the long format of some locales carries.
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("ss"))) {
        const qsizetype minutes = format.lastIndexOf(QLatin1String("mm"));
        if (minutes >= 0)
            format.insert(minutes + 2, QLatin1String(":ss"));
    }
    return locale.toString(time, format);
}

QString generalDateText(const QDateTime &moment, const QLocale &locale)
{
    const QString date = shortDateText(moment.date(), locale);
    // The general format shows whole seconds, so midnight is judged to the second.
    const QTime time = moment.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return date;
    return date + QLatin1Char(' ') + longTimeText(time, locale);
}

} // namespace qrn
