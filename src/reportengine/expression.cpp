#include "reportengine/expression.h"

#include "reportengine/engine.h"
#include "reportengine/format.h"

#include <QDate>
#include <QDateTime>

namespace ReportEngine {

Value Value::ofVariant(const QVariant& v)
{
    if (v.isNull() || !v.isValid())
        return {};
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return ofNumber(v.toDouble());
    case QMetaType::Bool:
        return ofBool(v.toBool());
    case QMetaType::QDate:
        return ofText(v.toDate().toString(QStringLiteral("dd.MM.yyyy")));
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return ofText(dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("dd.MM.yyyy"))
                                               : dt.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
    }
    default:
        return ofText(v.toString());
    }
}

double Value::toNumber() const
{
    switch (type) {
    case Type::Number:
    case Type::Bool:
        return number;
    case Type::Text: {
        QString t = text.trimmed();
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        return t.toDouble();
    }
    case Type::Null:
        break;
    }
    return 0;
}

QString Value::toText() const
{
    switch (type) {
    case Type::Number:
        return formatNumber(number);
    case Type::Text:
        return text;
    case Type::Bool:
        return number != 0 ? QStringLiteral("Да") : QStringLiteral("Нет");
    case Type::Null:
        break;
    }
    return QString();
}

bool Value::isTrue() const
{
    switch (type) {
    case Type::Number:
    case Type::Bool:
        return number != 0;
    case Type::Text:
        return !text.isEmpty();
    case Type::Null:
        break;
    }
    return false;
}

namespace {

bool numeric(const Value& v)
{
    return v.type == Value::Type::Number || v.type == Value::Type::Bool || v.type == Value::Type::Null;
}

// <0, 0, >0; numbers by value, texts by text; an empty value counts as 0 beside a
// number and as '' beside a text.
int compare(const Value& a, const Value& b)
{
    if (a.type == Value::Type::Text || b.type == Value::Type::Text) {
        if (numeric(a) && a.type != Value::Type::Null) {
            bool ok = false;
            const double nb = QString(b.text).replace(QLatin1Char(','), QLatin1Char('.')).trimmed().toDouble(&ok);
            if (ok)
                return a.number < nb ? -1 : a.number > nb ? 1 : 0;
        }
        if (numeric(b) && b.type != Value::Type::Null) {
            bool ok = false;
            const double na = QString(a.text).replace(QLatin1Char(','), QLatin1Char('.')).trimmed().toDouble(&ok);
            if (ok)
                return na < b.number ? -1 : na > b.number ? 1 : 0;
        }
        return a.toText().compare(b.toText());
    }
    const double x = a.toNumber(), y = b.toNumber();
    return x < y ? -1 : x > y ? 1 : 0;
}

}

bool Value::operator==(const Value& other) const
{
    return type == other.type ? (type == Type::Text ? text == other.text : number == other.number)
                              : compare(*this, other) == 0;
}

namespace {

class Constant : public Expr {
public:
    explicit Constant(Value v) : value_(std::move(v)) {}
    Value eval(const EvalContext&) const override { return value_; }
private:
    Value value_;
};

class FieldRef : public Expr {
public:
    explicit FieldRef(int index) : index_(index) {}
    Value eval(const EvalContext& ctx) const override
    {
        if (index_ < 0 || ctx.row < 0 || !ctx.rows)
            return {};
        return Value::ofVariant(ctx.rows->value(ctx.row, index_));
    }
private:
    int index_;
};

class PageNumber : public Expr {
public:
    Value eval(const EvalContext& ctx) const override { return Value::ofNumber(ctx.page); }
};

class Sum : public Expr {
public:
    Sum(std::unique_ptr<Expr> argument, int slot) : argument_(std::move(argument)), slot_(slot) {}
    Value eval(const EvalContext& ctx) const override { return Value::ofNumber(ctx.sums ? ctx.sums[slot_] : 0); }
    const Expr* argument() const { return argument_.get(); }
private:
    std::unique_ptr<Expr> argument_;
    int slot_;
};

class If : public Expr {
public:
    If(std::unique_ptr<Expr> c, std::unique_ptr<Expr> t, std::unique_ptr<Expr> e)
        : c_(std::move(c)), t_(std::move(t)), e_(std::move(e)) {}
    Value eval(const EvalContext& ctx) const override { return c_->eval(ctx).isTrue() ? t_->eval(ctx) : e_->eval(ctx); }
private:
    std::unique_ptr<Expr> c_, t_, e_;
};

class Str : public Expr {
public:
    explicit Str(std::unique_ptr<Expr> a) : a_(std::move(a)) {}
    Value eval(const EvalContext& ctx) const override { return Value::ofText(a_->eval(ctx).toText()); }
private:
    std::unique_ptr<Expr> a_;
};

class Negate : public Expr {
public:
    explicit Negate(std::unique_ptr<Expr> a) : a_(std::move(a)) {}
    Value eval(const EvalContext& ctx) const override { return Value::ofNumber(-a_->eval(ctx).toNumber()); }
private:
    std::unique_ptr<Expr> a_;
};

enum class Op { Add, Subtract, Multiply, Divide, Equal, NotEqual, Greater, Less, GreaterEqual, LessEqual };

class Binary : public Expr {
public:
    Binary(Op op, std::unique_ptr<Expr> a, std::unique_ptr<Expr> b) : op_(op), a_(std::move(a)), b_(std::move(b)) {}
    Value eval(const EvalContext& ctx) const override
    {
        const Value x = a_->eval(ctx);
        const Value y = b_->eval(ctx);
        switch (op_) {
        case Op::Add:
            if (x.type == Value::Type::Text || y.type == Value::Type::Text)
                return Value::ofText(x.toText() + y.toText());
            return Value::ofNumber(x.toNumber() + y.toNumber());
        case Op::Subtract: return Value::ofNumber(x.toNumber() - y.toNumber());
        case Op::Multiply: return Value::ofNumber(x.toNumber() * y.toNumber());
        case Op::Divide: {
            const double d = y.toNumber();
            return d == 0 ? Value() : Value::ofNumber(x.toNumber() / d);
        }
        case Op::Equal: return Value::ofBool(compare(x, y) == 0);
        case Op::NotEqual: return Value::ofBool(compare(x, y) != 0);
        case Op::Greater: return Value::ofBool(compare(x, y) > 0);
        case Op::Less: return Value::ofBool(compare(x, y) < 0);
        case Op::GreaterEqual: return Value::ofBool(compare(x, y) >= 0);
        case Op::LessEqual: return Value::ofBool(compare(x, y) <= 0);
        }
        return {};
    }
private:
    Op op_;
    std::unique_ptr<Expr> a_, b_;
};

int resolveField(const QString& name, const QString& context, const RowSource* rows)
{
    if (!rows)
        return -1;
    int index = rows->fieldIndex(name);
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    if (index < 0 && dot >= 0)
        index = rows->fieldIndex(name.mid(dot + 1));
    if (index < 0)
        throw LayoutError(QStringLiteral("Поле «%1» не найдено в данных отчета (выражение «%2»)").arg(name, context));
    return index;
}

struct Token {
    enum Kind { End, Number, Text, Name, Symbol } kind = End;
    QString text;
    double number = 0;
    int pos = 0;
};

class Parser {
public:
    Parser(const QString& source, const RowSource* rows, SumSlots* sums)
        : src_(source), rows_(rows), sums_(sums)
    {
        advance();
    }

    std::unique_ptr<Expr> parseAll()
    {
        if (tok_.kind == Token::End)
            fail(QStringLiteral("пустое выражение"));
        auto e = comparison();
        if (tok_.kind != Token::End)
            fail(QStringLiteral("лишний текст «%1»").arg(src_.mid(tok_.pos)));
        return e;
    }

private:
    [[noreturn]] void fail(const QString& why) const
    {
        throw LayoutError(QStringLiteral("Ошибка в выражении отчета «%1»: %2").arg(src_, why));
    }

    void advance()
    {
        while (pos_ < src_.size() && src_[pos_].isSpace())
            ++pos_;
        tok_ = Token();
        tok_.pos = pos_;
        if (pos_ >= src_.size())
            return;
        const QChar c = src_[pos_];
        if (c.isDigit() || (c == QLatin1Char('.') && pos_ + 1 < src_.size() && src_[pos_ + 1].isDigit())) {
            int end = pos_;
            while (end < src_.size() && (src_[end].isDigit() || src_[end] == QLatin1Char('.')))
                ++end;
            bool ok = false;
            tok_.kind = Token::Number;
            tok_.number = src_.mid(pos_, end - pos_).toDouble(&ok);
            if (!ok)
                fail(QStringLiteral("неверное число «%1»").arg(src_.mid(pos_, end - pos_)));
            pos_ = end;
            return;
        }
        if (c == QLatin1Char('\'')) {
            QString text;
            int p = pos_ + 1;
            for (;;) {
                if (p >= src_.size())
                    fail(QStringLiteral("не закрыта кавычка"));
                if (src_[p] == QLatin1Char('\'')) {
                    if (p + 1 < src_.size() && src_[p + 1] == QLatin1Char('\'')) {
                        text += QLatin1Char('\'');
                        p += 2;
                        continue;
                    }
                    break;
                }
                text += src_[p++];
            }
            tok_.kind = Token::Text;
            tok_.text = text;
            pos_ = p + 1;
            return;
        }
        if (c.isLetter() || c == QLatin1Char('_')) {
            int end = pos_;
            while (end < src_.size() && (src_[end].isLetterOrNumber() || src_[end] == QLatin1Char('_') || src_[end] == QLatin1Char('.')))
                ++end;
            tok_.kind = Token::Name;
            tok_.text = src_.mid(pos_, end - pos_);
            pos_ = end;
            return;
        }
        static const QStringList twoChar = {QStringLiteral("<>"), QStringLiteral(">="), QStringLiteral("<=")};
        for (const QString& s : twoChar)
            if (src_.mid(pos_, 2) == s) {
                tok_.kind = Token::Symbol;
                tok_.text = s;
                pos_ += 2;
                return;
            }
        if (QStringLiteral("+-*/=<>(),").contains(c)) {
            tok_.kind = Token::Symbol;
            tok_.text = c;
            ++pos_;
            return;
        }
        fail(QStringLiteral("непонятный знак «%1»").arg(c));
    }

    bool isSymbol(const char* s) const { return tok_.kind == Token::Symbol && tok_.text == QLatin1String(s); }

    void expect(const char* s)
    {
        if (!isSymbol(s))
            fail(tok_.kind == Token::End ? QStringLiteral("ожидалось «%1» в конце").arg(QLatin1String(s))
                                         : QStringLiteral("ожидалось «%1» вместо «%2»").arg(QLatin1String(s), src_.mid(tok_.pos)));
        advance();
    }

    std::unique_ptr<Expr> comparison()
    {
        auto left = additive();
        static const std::pair<const char*, Op> ops[] = {{"=", Op::Equal}, {"<>", Op::NotEqual}, {">", Op::Greater},
                                                         {"<", Op::Less}, {">=", Op::GreaterEqual}, {"<=", Op::LessEqual}};
        for (const auto& [s, op] : ops)
            if (isSymbol(s)) {
                advance();
                return std::make_unique<Binary>(op, std::move(left), additive());
            }
        return left;
    }

    std::unique_ptr<Expr> additive()
    {
        auto left = multiplicative();
        while (isSymbol("+") || isSymbol("-")) {
            const Op op = isSymbol("+") ? Op::Add : Op::Subtract;
            advance();
            left = std::make_unique<Binary>(op, std::move(left), multiplicative());
        }
        return left;
    }

    std::unique_ptr<Expr> multiplicative()
    {
        auto left = unary();
        while (isSymbol("*") || isSymbol("/")) {
            const Op op = isSymbol("*") ? Op::Multiply : Op::Divide;
            advance();
            left = std::make_unique<Binary>(op, std::move(left), unary());
        }
        return left;
    }

    std::unique_ptr<Expr> unary()
    {
        if (isSymbol("-")) {
            advance();
            return std::make_unique<Negate>(unary());
        }
        return primary();
    }

    std::unique_ptr<Expr> primary()
    {
        switch (tok_.kind) {
        case Token::Number: {
            auto e = std::make_unique<Constant>(Value::ofNumber(tok_.number));
            advance();
            return e;
        }
        case Token::Text: {
            auto e = std::make_unique<Constant>(Value::ofText(tok_.text));
            advance();
            return e;
        }
        case Token::Name:
            return name();
        case Token::Symbol:
            if (isSymbol("(")) {
                advance();
                auto e = comparison();
                expect(")");
                return e;
            }
            fail(QStringLiteral("неожиданное «%1»").arg(tok_.text));
        case Token::End:
            break;
        }
        fail(QStringLiteral("выражение оборвано"));
    }

    std::unique_ptr<Expr> name()
    {
        const QString word = tok_.text;
        const QString upper = word.toUpper();
        advance();
        if (!isSymbol("(")) {
            if (upper == QLatin1String("PAGENUMBER"))
                return std::make_unique<PageNumber>();
            return std::make_unique<FieldRef>(resolveField(word, src_, rows_));
        }
        advance();
        std::vector<std::unique_ptr<Expr>> args;
        if (!isSymbol(")")) {
            args.push_back(comparison());
            while (isSymbol(",")) {
                advance();
                args.push_back(comparison());
            }
        }
        expect(")");
        auto arity = [&](size_t n) {
            if (args.size() != n)
                fail(QStringLiteral("%1 ждет %2 арг., а дано %3").arg(word).arg(n).arg(args.size()));
        };
        if (upper == QLatin1String("IF")) {
            arity(3);
            return std::make_unique<If>(std::move(args[0]), std::move(args[1]), std::move(args[2]));
        }
        if (upper == QLatin1String("STR")) {
            arity(1);
            return std::make_unique<Str>(std::move(args[0]));
        }
        if (upper == QLatin1String("SUM")) {
            arity(1);
            if (!sums_)
                fail(QStringLiteral("SUM здесь не допускается"));
            const int slot = int(sums_->arguments.size());
            auto sum = std::make_unique<Sum>(std::move(args[0]), slot);
            sums_->arguments.push_back(sum->argument());
            return sum;
        }
        fail(QStringLiteral("неизвестная функция «%1»").arg(word));
    }

    QString src_;
    const RowSource* rows_;
    SumSlots* sums_;
    int pos_ = 0;
    Token tok_;
};

}

std::unique_ptr<Expr> compileExpression(const QString& text, const RowSource* rows, SumSlots* sums)
{
    return Parser(text, rows, sums).parseAll();
}

std::unique_ptr<Expr> fieldExpression(const QString& name, const QString& context, const RowSource* rows)
{
    return std::make_unique<FieldRef>(resolveField(name.trimmed(), context, rows));
}

}
