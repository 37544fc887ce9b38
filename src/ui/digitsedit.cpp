#include "ui/digitsedit.h"

DigitsEdit::DigitsEdit(QWidget* parent) : QLineEdit(parent)
{
    setInputMethodHints(Qt::ImhDigitsOnly);
    connect(this, &QLineEdit::textEdited, this, &DigitsEdit::dropNonDigits);
}

void DigitsEdit::dropNonDigits(const QString& text)
{
    QString digits;
    int cursor = cursorPosition();
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= u'0' && c <= u'9')
            digits += c;
        else if (i < cursorPosition())
            --cursor;
    }
    if (digits != text) {
        setText(digits);
        setCursorPosition(qMax(0, cursor));
    }
}
