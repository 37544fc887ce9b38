#include "core/buildstamp.h"

namespace BuildStamp {
namespace {

QString g_dateText = QStringLiteral("??? ?? ????");
QString g_timeText = QStringLiteral("00:00:00");

QChar at(const QString& t, int i)
{
    return i < t.size() ? t.at(i) : QChar(u'?');
}

int digit(QChar c)
{
    return c.isDigit() ? c.digitValue() : 0;
}

int monthOf(const QString& t)
{
    const QChar c0 = at(t, 0), c1 = at(t, 1), c2 = at(t, 2);
    if (c2 == u'?') return 1;
    switch (c2.unicode()) {
    case 'n': return c1 == u'a' ? 1 : 6;
    case 'b': return 2;
    case 'r': return c0 == u'M' ? 3 : 4;
    case 'y': return 5;
    case 'l': return 7;
    case 'g': return 8;
    case 'p': return 9;
    case 't': return 10;
    case 'v': return 11;
    default: return 12;
    }
}

}

int dateNumber(const QString& t)
{
    const int month = monthOf(t);
    int day = 1;
    if (at(t, 4) != u'?')
        day = (at(t, 4) == u' ' ? 0 : digit(at(t, 4)) * 10) + digit(at(t, 5));
    int year = 1900;
    if (at(t, 7) != u'?')
        year = digit(at(t, 7)) * 1000 + digit(at(t, 8)) * 100 + digit(at(t, 9)) * 10 + digit(at(t, 10));
    return year * 10000 + month * 100 + day;
}

int timeNumber(const QString& t)
{
    return 36000 * digit(at(t, 0)) + 3600 * digit(at(t, 1)) + 600 * digit(at(t, 3))
        + 60 * digit(at(t, 4)) + 10 * digit(at(t, 6)) + digit(at(t, 7));
}

Stamp fromTexts(const QString& dateText, const QString& timeText)
{
    return {dateNumber(dateText), timeNumber(timeText)};
}

void setCompileTexts(const QString& dateText, const QString& timeText)
{
    g_dateText = dateText;
    g_timeText = timeText;
}

Stamp current()
{
    return fromTexts(g_dateText, g_timeText);
}

}
