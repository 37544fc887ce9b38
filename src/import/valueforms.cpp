#include "import/valueforms.h"

#include <QLocale>
#include <cmath>

namespace ValueForms {
namespace {

// Drivers write decimals with a point; a comma is what a Russian desktop may have put
// into a text column.
QString decimalText(const QString& value)
{
    QString text = value.trimmed();
    text.replace(u',', u'.');
    return text;
}

Converted wholeNumber(const QString& value)
{
    const QString text = decimalText(value);
    if (text.isEmpty())
        return {QStringLiteral("0")};
    bool ok = false;
    const qlonglong whole = text.toLongLong(&ok);
    if (ok)
        return {QString::number(whole)};
    const double number = QLocale::c().toDouble(text, &ok);
    if (ok && std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 9.0e15)
        return {QString::number(static_cast<qlonglong>(number))};
    if (ok && std::isfinite(number))
        return {{}, false, QStringLiteral("«%1» — не целое число").arg(value)};
    return {{}, false, QStringLiteral("«%1» — не число").arg(value)};
}

Converted floatingNumber(const QString& value)
{
    const QString text = decimalText(value);
    if (text.isEmpty())
        return {QStringLiteral("0")};
    bool ok = false;
    const double number = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(number))
        return {{}, false, QStringLiteral("«%1» — не число").arg(value)};
    return {text};
}

}

Converted convert(ImportSteps::Form form, const QString& value, bool isNull)
{
    switch (form) {
    case ImportSteps::Form::Integer:
        return isNull ? Converted{QStringLiteral("0")} : wholeNumber(value);
    case ImportSteps::Form::Float:
        return isNull ? Converted{QStringLiteral("0")} : floatingNumber(value);
    case ImportSteps::Form::Text:
        break;
    }
    return isNull ? Converted{{}, true} : Converted{value};
}

void ArrayText::separate()
{
    if (!text_.isEmpty())
        text_ += u',';
}

void ArrayText::appendNumber(const QString& number)
{
    separate();
    text_ += number;
}

void ArrayText::appendText(const QString& text)
{
    separate();
    text_ += u'"';
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            text_ += u'\\';
        text_ += c;
    }
    text_ += u'"';
}

void ArrayText::appendNull()
{
    separate();
    text_ += QStringLiteral("NULL");
}

}
