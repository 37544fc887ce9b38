#pragma once
#include <QString>

// The piece price of a journal entry and how prices show in the entry editor.
namespace EntryPrice {

// The final piece price of an operation chosen for an entry: the base price doubled on
// a day off, then raised by 1.2 in shift 3 or by 1.5 in shift 4 ("Переработка"),
// rounded to the 4 decimals it is written with, so that the amount shown is the
// quantity times the price shown and written.
double finalPrice(double basePrice, bool dayOff, int shift);

// A price or an amount as the editor shows it: rounded to 4 decimals, no trailing
// zeros, never in exponent notation, with the decimal comma whatever the locale.
QString shown(double value);

}
