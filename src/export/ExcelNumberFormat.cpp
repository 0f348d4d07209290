#include "ExcelNumberFormat.h"

#include <QDate>
#include <QLocale>

#include <cmath>

QString ExcelNumberText(double value) {
    if (!std::isfinite(value)) return QString();
    if (value == 0) return QStringLiteral("0");
    QLocale german(QLocale::German, QLocale::Germany);
    german.setNumberOptions(QLocale::OmitGroupSeparator);
    // Whole numbers of sheet size are written out, not in exponent form.
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        return german.toString(qint64(value));
    return german.toString(value, 'g', 15);
}

NumberKind BuiltInNumberFormatKind(int id) {
    switch (id) {
    case 14: // m/d/yyyy, shown as the locale's short date
    case 15:
    case 16:
    case 17:
        return NumberKind::Date;
    case 18:
    case 19:
    case 20:
    case 21:
    case 45: // mm:ss
    case 47: // mm:ss.0
        return NumberKind::Time;
    case 22:
        return NumberKind::DateTime;
    case 46: // [h]:mm:ss
        return NumberKind::Duration;
    default:
        break;
    }
    // The ids Excel reserves for East Asian locales: era and calendar dates, and times.
    if ((id >= 27 && id <= 31) || id == 36 || id == 50 || id == 51 || id == 54 || id == 57 ||
        id == 58)
        return NumberKind::Date;
    if ((id >= 32 && id <= 35) || id == 52 || id == 53 || id == 55 || id == 56)
        return NumberKind::Time;
    return NumberKind::Number;
}

NumberKind NumberFormatKind(QStringView code) {
    bool date = false;
    bool time = false;
    bool month = false;
    bool elapsed = false;
    const auto startsWith = [&](qsizetype at, QStringView word) {
        return code.mid(at).startsWith(word, Qt::CaseInsensitive);
    };
    // Only the first section counts: the others are for negative numbers, zero and text.
    for (qsizetype i = 0; i < code.size() && code[i] != u';'; ++i) {
        const QChar c = code[i];
        if (c == u'"') {
            i = code.indexOf(u'"', i + 1);
            if (i < 0) break;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i; // an escaped literal, a space as wide as, or a fill character
        } else if (c == u'[') {
            const qsizetype end = code.indexOf(u']', i + 1);
            if (end < 0) break;
            // [h], [mm], [ss] count elapsed time; colours, locales and conditions say nothing.
            const QString inside = code.mid(i + 1, end - i - 1).toString().toLower();
            if (!inside.isEmpty() &&
                (inside.count(u'h') == inside.size() || inside.count(u'm') == inside.size() ||
                 inside.count(u's') == inside.size()))
                elapsed = true;
            i = end;
        } else if (startsWith(i, u"AM/PM")) {
            time = true;
            i += 4;
        } else if (startsWith(i, u"A/P")) {
            time = true;
            i += 2;
        } else if (startsWith(i, u"General")) {
            i += 6;
        } else {
            switch (c.toLower().unicode()) {
            case u'y':
            case u'd':
                date = true;
                break;
            case u'h':
            case u's':
                time = true;
                break;
            case u'm':
                month = true;
                break;
            default:
                break;
            }
        }
    }
    if (elapsed) return NumberKind::Duration;
    // "m" is the minute next to hours or seconds, the month otherwise.
    if (month && !time) date = true;
    if (date && time) return NumberKind::DateTime;
    if (date) return NumberKind::Date;
    if (time) return NumberKind::Time;
    return NumberKind::Number;
}

namespace {

// 31.12.9999, the last day Excel shows.
constexpr double kLastSerial1900 = 2958465;
constexpr double kLastSerial1904 = kLastSerial1900 - 1462;

QString TimeText(qint64 seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString DateText(qint64 days, bool date1904) {
    if (date1904) return QDate(1904, 1, 1).addDays(days).toString(QStringLiteral("dd.MM.yyyy"));
    // Excel counts the 29th of February 1900, which never was, and day 0 as the 0th of
    // January; it shows both, so the texts do too.
    if (days == 0) return QStringLiteral("00.01.1900");
    if (days == 60) return QStringLiteral("29.02.1900");
    const QDate base = days < 60 ? QDate(1899, 12, 31) : QDate(1899, 12, 30);
    return base.addDays(days).toString(QStringLiteral("dd.MM.yyyy"));
}

} // namespace

QString FormattedNumberText(double value, NumberKind kind, bool date1904) {
    if (kind == NumberKind::Number || !std::isfinite(value)) return ExcelNumberText(value);
    if (kind == NumberKind::Duration) {
        // Far beyond any race; the bound keeps the seconds within 64 bits.
        if (std::fabs(value) > 1e12) return ExcelNumberText(value);
        const qint64 seconds = std::llround(value * 86400);
        return seconds < 0 ? u'-' + TimeText(-seconds) : TimeText(seconds);
    }
    // Excel shows no date before its first day or after 9999; the number is more use then.
    if (value < 0 || value >= (date1904 ? kLastSerial1904 : kLastSerial1900) + 1)
        return ExcelNumberText(value);
    // Rounded to the second shown, which may well be the next day.
    const qint64 total = std::llround(value * 86400);
    const qint64 days = total / 86400;
    const qint64 seconds = total % 86400;
    switch (kind) {
    case NumberKind::Date:
        return DateText(days, date1904);
    case NumberKind::Time:
        return TimeText(seconds);
    default:
        return DateText(days, date1904) + u' ' + TimeText(seconds);
    }
}
