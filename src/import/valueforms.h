#pragma once
#include "import/importsteps.h"

#include <QString>

// Turning an old database's values into what the target receives, and the array texts
// that carry many rows of one column in one bound parameter.
namespace ValueForms {

struct Converted {
    QString text;      // a number in plain decimal, or the source text
    bool null = false;
    QString problem;   // why the value cannot travel in its form (empty when it can)
};

// A source value (read as text; isNull for SQL NULL) in the given form: integers and
// floating-point numbers as plain decimals with an empty value as 0, text as it is.
// A number that is not one, or a fraction where a whole number belongs, is a problem,
// never rounded or cut.
Converted convert(ImportSteps::Form form, const QString& value, bool isNull);

// The text of a PostgreSQL array literal, element by element.
class ArrayText {
public:
    void reserve(qsizetype chars) { text_.reserve(chars); }
    void appendNumber(const QString& number);
    void appendText(const QString& text);
    void appendNull();
    QString finish() const { return u'{' + text_ + u'}'; }
    void clear() { text_.clear(); }

private:
    void separate();
    QString text_;
};

}
