#include "ui/numbertext.h"

namespace NumberText {

QLocale russian()
{
    return QLocale(QLocale::Russian, QLocale::Russia);
}

QLocale russianPlain()
{
    QLocale locale = russian();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

QString money(double value)
{
    return russian().toString(value, 'f', 2);
}

QString whole(qint64 value)
{
    return russian().toString(value);
}

QString plain(double value)
{
    return russianPlain().toString(value, 'g', 15);
}

QString fixed(double value, int decimals)
{
    return russianPlain().toString(value, 'f', decimals);
}

QString date(const QDate& value)
{
    return value.toString(QStringLiteral("dd.MM.yyyy"));
}

}
