#pragma once
#include <QString>

// Numbers as the reports print them: the Russian decimal comma, no group separators
// unless a mask asks for them ("#,##0.00"), a hyphen for the minus sign.
namespace ReportEngine {

struct NumberMask {
    int decimals = -1;        // -1: no mask, the number's own form
    bool grouped = false;     // thousands apart by a no-break space

    // "#0.00" -> 2 decimals, "#0.000" -> 3, "#0" -> 0, "" -> no mask. ok is false for
    // a mask of other characters than '#', '0', ',' and '.'.
    static NumberMask parse(const QString& mask, bool* ok = nullptr);
};

// With a mask: rounded half away from zero to its decimals. Without: whole numbers
// without decimals, others in their shortest form of up to 15 significant digits.
QString formatNumber(double value, const NumberMask& mask = {});

}
