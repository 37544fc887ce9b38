#pragma once
#include <QLineEdit>

// A number-only box: only the digits 0 to 9 get in, whether typed, pasted or dropped;
// every other character is dropped.
class DigitsEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DigitsEdit(QWidget* parent = nullptr);

private:
    void dropNonDigits(const QString& text);
};
