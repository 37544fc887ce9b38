#include "db/sqltext.h"

#include <cmath>

namespace SqlText {

QString date(const QDate& d)
{
    return d.toString(QStringLiteral("dd.MM.yyyy"));
}

double round4(double value)
{
    // Work from the shortest decimal text of the value, so a price typed as 0.00005
    // is a true tie and goes to the even digit, whatever its binary representation.
    const double exact = QString::number(value, 'g', 15).toDouble();
    const double scaled = exact * 10000.0;
    const double floorPart = std::floor(scaled);
    const double frac = scaled - floorPart;
    if (std::fabs(frac - 0.5) < 1e-6) {
        const bool even = std::fmod(floorPart, 2.0) == 0.0;
        return (even ? floorPart : floorPart + 1.0) / 10000.0;
    }
    return std::round(scaled) / 10000.0;
}

QString price(double value)
{
    const double r = round4(value);
    // QString::number is locale-independent: the decimal separator is always a point.
    QString text = QString::number(r, 'g', 15);
    if (text.contains(u'e') || text.contains(u'E')) {
        text = QString::number(r, 'f', 4);
        while (text.contains(u'.') && text.endsWith(u'0')) text.chop(1);
        if (text.endsWith(u'.')) text.chop(1);
    }
    return text;
}

}
