#pragma once
#include "reportengine/rowsource.h"

#include <QString>
#include <QVector>
#include <memory>

// The expression language of the layouts, compiled once into a tree that is evaluated
// per row: numbers, 'texts' ('' for a quote), field names ("fio", "t_Report.fio"),
// + - * / on numbers (+ joins when either side is a text), = <> > < >= <=, parentheses,
// IF(condition, then, else), STR(number), SUM(expression), PAGENUMBER. Names of
// functions and fields ignore case.
namespace ReportEngine {

struct Value {
    enum class Type : quint8 { Null, Number, Text, Bool };
    Type type = Type::Null;
    double number = 0;
    QString text;

    static Value ofNumber(double n) { Value v; v.type = Type::Number; v.number = n; return v; }
    static Value ofText(const QString& t) { Value v; v.type = Type::Text; v.text = t; return v; }
    static Value ofBool(bool b) { Value v; v.type = Type::Bool; v.number = b ? 1 : 0; return v; }
    static Value ofVariant(const QVariant& v);

    double toNumber() const;
    QString toText() const;     // numbers in their own form, with the decimal comma
    bool isTrue() const;
    bool operator==(const Value& other) const;
};

struct EvalContext {
    const RowSource* rows = nullptr;
    int row = -1;                 // -1: no row (field values are empty)
    int page = 1;
    const double* sums = nullptr; // running totals, by slot
};

class Expr {
public:
    virtual ~Expr() = default;
    virtual Value eval(const EvalContext& ctx) const = 0;
};

// Where each SUM of the compiled expressions collects: the expression summed per row.
struct SumSlots {
    QVector<const Expr*> arguments;   // owned by the expressions that use them
};

// Compiles text; throws LayoutError naming it. Fields are looked up in rows (nullptr:
// any name is taken as a field and reads empty). sums receives a slot per SUM; with
// nullptr SUM is refused.
std::unique_ptr<Expr> compileExpression(const QString& text, const RowSource* rows, SumSlots* sums);

// A plain field reference, without parsing an expression.
std::unique_ptr<Expr> fieldExpression(const QString& name, const QString& context, const RowSource* rows);

}
