#include "ui/datetyping.h"

#include "ui/messages.h"

#include <QDateEdit>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

const QString DateTyping::kUnreadable =
    QStringLiteral("Дата «%1» не прочитана. Введите дату в виде ДД.ММ.ГГГГ, например 30.11.2026.");

namespace {

bool isSeparator(QChar c)
{
    return c == u'.' || c == u',' || c == u'/' || c == u'-';
}

// A two-digit year is this century's.
int fullYear(const QString& year)
{
    return year.size() == 2 ? 2000 + year.toInt() : year.toInt();
}

}

DateTyping::Reading DateTyping::read(const QString& typed, bool finished)
{
    const QString text = typed.trimmed();
    const auto dateOf = [](int day, int month, int year) {
        const QDate date(year, month, day);
        return date.isValid() ? Reading{Kind::Whole, date} : Reading{Kind::Unreadable, {}};
    };
    static const QRegularExpression digits(QStringLiteral("^[0-9]*$"));
    if (digits.match(text).hasMatch()) {
        // Day and month in two digits each, then the year: 30112026, or 301126 at the end.
        if (text.size() == 8 || (finished && text.size() == 6))
            return dateOf(text.left(2).toInt(), text.mid(2, 2).toInt(), fullYear(text.mid(4)));
        return text.size() < 8 && !finished ? Reading{Kind::Incomplete, {}} : Reading{Kind::Unreadable, {}};
    }
    // Day, month and year apart: 30.11.2026, 1.3.2026, 30.11.26 at the end.
    static const QRegularExpression parts(QStringLiteral("^([0-9]{1,2})[.,/-]([0-9]{1,2})[.,/-]([0-9]{4}|[0-9]{2})$"));
    const QRegularExpressionMatch m = parts.match(text);
    if (m.hasMatch() && (m.captured(3).size() == 4 || finished))
        return dateOf(m.captured(1).toInt(), m.captured(2).toInt(), fullYear(m.captured(3)));
    static const QRegularExpression beginning(QStringLiteral("^[0-9]{1,2}([.,/-]([0-9]{1,2}([.,/-][0-9]{0,4})?)?)?$"));
    if (!finished && beginning.match(text).hasMatch())
        return {Kind::Incomplete, {}};
    return {Kind::Unreadable, {}};
}

void DateTyping::install(QDateEdit* box)
{
    box->installEventFilter(new DateTyping(box));
}

DateTyping::DateTyping(QDateEdit* box) : QObject(box), box_(box)
{
    // The box's own reading of half-typed text would change its date on the way.
    box->setKeyboardTracking(false);
    // A date picked in the calendar meanwhile ends the typing: what was typed is dropped.
    connect(box, &QDateEdit::dateChanged, this, [this] {
        if (!taking_) {
            typing_ = false;
            typed_.clear();
        }
    });
}

bool DateTyping::eventFilter(QObject* watched, QEvent* e)
{
    if (watched != box_ || refusing_)
        return QObject::eventFilter(watched, e);
    if (e->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
        // A popup or another window taking the focus is not leaving the box.
        if (typing_ && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            show(true, false);
        return false;
    }
    if (e->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(e);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        // The date is taken first; refused, the key goes no further.
        return typing_ && !show(true, true);
    case Qt::Key_Escape:
        if (!typing_)
            return false;
        stop();
        return true;
    case Qt::Key_Backspace:
        if (!typing_)
            typed_ = line()->text();
        typed_.chop(1);
        typing_ = true;
        show(false, true);
        return true;
    case Qt::Key_Delete:
        typed_.clear();
        typing_ = true;
        show(false, true);
        return true;
    default:
        break;
    }
    const QString text = key->text();
    if (text.size() != 1 || !(text[0].isDigit() || isSeparator(text[0])))
        return !text.isEmpty() && text[0].isPrint();   // letters do not go into a date
    if (!typing_)
        typed_.clear();
    typing_ = true;
    typed_ += text;
    show(false, true);
    return true;
}

QLineEdit* DateTyping::line() const
{
    return box_->findChild<QLineEdit*>();
}

void DateTyping::setText(const QString& text)
{
    // The box's own check of its text would mend a day past the month's end (31.02 as
    // 28.02) and show a date that is not the box's.
    QLineEdit* line = this->line();
    const QValidator* check = line->validator();
    line->setValidator(nullptr);
    line->setText(text);
    line->setCursorPosition(int(text.size()));
    line->setValidator(check);
}

bool DateTyping::show(bool finished, bool staying)
{
    setText(typed_);
    const Reading reading = read(typed_, finished);
    if (reading.kind == Kind::Incomplete)
        return true;
    if (reading.kind == Kind::Unreadable) {
        refuse(staying);
        return false;
    }
    typing_ = false;
    typed_.clear();
    taking_ = true;
    box_->setDate(reading.date);
    taking_ = false;
    // The text shows the date even when it was the box's date already.
    setText(box_->date().toString(box_->displayFormat()));
    return true;
}

void DateTyping::refuse(bool staying)
{
    refusing_ = true;
    Messages::error(kUnreadable.arg(typed_), QStringLiteral("Ошибка"));
    refusing_ = false;
    if (!staying) {
        // Left for another box: the box keeps the date it had.
        stop();
        return;
    }
    // The text stays for mending; whatever is typed next starts it afresh.
    typing_ = false;
    box_->setFocus();
    line()->selectAll();
}

void DateTyping::stop()
{
    typing_ = false;
    typed_.clear();
    setText(box_->date().toString(box_->displayFormat()));
}
