#pragma once
#include <QDate>

// Today's date for the whole client. Tests fix it to reach weekends, January and so on.
namespace Clock {
QDate today();
void setToday(const QDate& date);   // an invalid date returns to the system clock
}
