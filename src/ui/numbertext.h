#pragma once
#include <QDate>
#include <QLocale>
#include <QString>

// Numbers, money and dates as the windows show them: the Russian way ("1 417,24",
// "05.03.2024") whatever locale the desktop runs. Texts written into statements or
// files never come from here.
namespace NumberText {

// The Russian locale every window formats with.
QLocale russian();
// The same without group separators, for boxes that hold a bare number.
QLocale russianPlain();

// Money with two decimals and thousands grouped: 1417.24 -> "1 417,24".
QString money(double value);
// A whole number with thousands grouped: 1417 -> "1 417".
QString whole(qint64 value);
// Up to 15 significant digits, no exponent for ordinary values, decimal comma, no
// grouping: 12.5 -> "12,5".
QString plain(double value);
// A number with exactly that many decimals, decimal comma, no grouping.
QString fixed(double value, int decimals);
// DD.MM.YYYY.
QString date(const QDate& value);

}
