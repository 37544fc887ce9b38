#pragma once
#include <QDate>
#include <QString>

// Values written into statement texts. These formats never follow the user's locale.
namespace SqlText {

// DD.MM.YYYY, as the server reads it with to_date(…, 'DD.MM.YYYY') and day-first literals.
QString date(const QDate& d);

// A price rounded to 4 decimals (ties to even) in general notation with up to 15
// significant digits, no trailing zeros and always a point: 12.5, 0.1234, 1500.
QString price(double value);

// Rounds to 4 decimals, ties to the even digit.
double round4(double value);

}
