#include "journal/entryprice.h"

#include "db/sqltext.h"
#include "ui/numbertext.h"

namespace EntryPrice {

double finalPrice(double basePrice, bool dayOff, int shift)
{
    double price = basePrice;
    if (dayOff)
        price *= 2.0;
    if (shift == 3)
        price *= 1.2;
    else if (shift == 4)
        price *= 1.5;
    return SqlText::round4(price);
}

QString shown(double value)
{
    // The statement text already has the right rounding and no exponent; only the
    // separator differs on screen. No group separators: the boxes hold bare numbers.
    QString text = SqlText::price(value);
    text.replace(u'.', NumberText::russian().decimalPoint());
    return text;
}

}
