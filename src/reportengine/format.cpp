#include "reportengine/format.h"

#include <cmath>
#include <limits>

namespace ReportEngine {
namespace {

const QChar kDecimalComma = QLatin1Char(',');
const QChar kGroupSpace = QChar(0x00a0);

QString groupThousands(const QString& digits)
{
    QString out;
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += kGroupSpace;
        out += digits[i];
    }
    return out;
}

// Digits of a non-negative whole number of units of 10^-decimals, with the comma.
QString fixedFromUnits(quint64 units, int decimals, bool grouped)
{
    QString digits = QString::number(units);
    if (decimals > 0 && digits.size() <= decimals)
        digits = QString(decimals + 1 - digits.size(), QLatin1Char('0')) + digits;
    QString whole = decimals > 0 ? digits.left(digits.size() - decimals) : digits;
    if (grouped)
        whole = groupThousands(whole);
    return decimals > 0 ? whole + kDecimalComma + digits.right(decimals) : whole;
}

}

NumberMask NumberMask::parse(const QString& mask, bool* ok)
{
    NumberMask m;
    bool good = true;
    const QString text = mask.trimmed();
    if (!text.isEmpty()) {
        const int point = int(text.indexOf(QLatin1Char('.')));
        const QString whole = point < 0 ? text : text.left(point);
        const QString fraction = point < 0 ? QString() : text.mid(point + 1);
        for (QChar c : whole)
            good = good && (c == QLatin1Char('#') || c == QLatin1Char('0') || c == QLatin1Char(','));
        for (QChar c : fraction)
            good = good && (c == QLatin1Char('#') || c == QLatin1Char('0'));
        good = good && !whole.isEmpty();
        m.decimals = int(fraction.size());
        m.grouped = whole.contains(QLatin1Char(','));
    }
    if (ok)
        *ok = good;
    return m;
}

QString formatNumber(double value, const NumberMask& mask)
{
    if (!std::isfinite(value))
        return QString();
    if (mask.decimals >= 0) {
        const double scale = std::pow(10.0, mask.decimals);
        const double scaled = std::fabs(value) * scale;
        // Halves that binary fractions store a hair below (2.675) still round up.
        const double units = std::floor(scaled * (1 + 1e-12) + 0.5);
        if (units < 9e18) {
            const QString text = fixedFromUnits(quint64(units), mask.decimals, mask.grouped);
            return value < 0 && units > 0 ? QLatin1Char('-') + text : text;
        }
        QString text = QString::number(value, 'f', mask.decimals);
        text.replace(QLatin1Char('.'), kDecimalComma);
        return text;
    }
    const double magnitude = std::fabs(value);
    if (magnitude < 9e15 && value == std::floor(value)) {
        const QString text = QString::number(qint64(magnitude));
        return value < 0 ? QLatin1Char('-') + text : text;
    }
    const int wholeDigits = magnitude >= 1 ? int(std::floor(std::log10(magnitude))) + 1 : 1;
    QString text = QString::number(value, 'f', std::max(0, 15 - wholeDigits));
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    text.replace(QLatin1Char('.'), kDecimalComma);
    return text;
}

}
