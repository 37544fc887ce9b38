#include "ui/digitsedit.h"

#include "ui/guard.h"
#include "ui/messages.h"
#include "ui/numbertext.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QToolTip>
#include <QValidator>

const QString DigitsEdit::kDigitsOnly = QStringLiteral("Только цифры");
const QString DigitsEdit::kDigitsAndComma = QStringLiteral("Только цифры и запятая");

namespace {

bool allDigits(const QString& text)
{
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// The last guard: whatever way text comes in (an input method, a program's insert), the
// box holds what it takes.
class TakesValidator : public QValidator {
public:
    explicit TakesValidator(DigitsEdit* box) : QValidator(box), box_(box) {}
    State validate(QString& input, int&) const override { return box_->takes(input) ? Acceptable : Invalid; }

private:
    DigitsEdit* box_;
};

// A text as a message quotes it: one line, not endless.
QString quoted(const QString& text)
{
    QString line = text.simplified();
    if (line.size() > 40)
        line = line.left(40) + QStringLiteral("…");
    return QStringLiteral("«%1»").arg(line);
}

}

DigitsEdit::DigitsEdit(QWidget* parent) : QLineEdit(parent)
{
    setInputMethodHints(Qt::ImhDigitsOnly);
    setValidator(new TakesValidator(this));
}

void DigitsEdit::setMaximum(qint64 maximum)
{
    maximum_ = maximum;
}

void DigitsEdit::allowDecimals(int wholeDigits, int decimals)
{
    wholeDigits_ = wholeDigits;
    decimals_ = decimals;
    setInputMethodHints(Qt::ImhFormattedNumbersOnly);
}

bool DigitsEdit::takes(const QString& text) const
{
    if (text.isEmpty())
        return true;
    if (decimals_ == 0) {
        if (!allDigits(text))
            return false;
        bool ok = false;
        const qulonglong value = text.toULongLong(&ok);
        return ok && value <= qulonglong(maximum_);
    }
    const qsizetype comma = text.indexOf(u',');
    QString whole = comma < 0 ? text : text.left(comma);
    const QString fraction = comma < 0 ? QString() : text.mid(comma + 1);
    if (!allDigits(whole) || !allDigits(fraction))
        return false;
    while (whole.size() > 1 && whole.startsWith(u'0'))
        whole.remove(0, 1);
    return whole.size() <= wholeDigits_ && fraction.size() <= decimals_;
}

std::optional<QString> DigitsEdit::pastedNumber(const QString& text) const
{
    // Digits, grouped by blanks as the windows show them or not, and for a decimal box
    // one point or comma.
    static const QRegularExpression number(QStringLiteral(
        "^(?:\\d+|\\d{1,3}(?:[ \\x{00A0}\\x{202F}]\\d{3})+)?(?:[.,](\\d*))?$"));
    const QString trimmed = text.trimmed();
    const QRegularExpressionMatch m = number.match(trimmed);
    if (trimmed.isEmpty() || !m.hasMatch() || trimmed == u"," || trimmed == u".")
        return std::nullopt;
    QString plain = trimmed;
    plain.remove(QRegularExpression(QStringLiteral("[ \\x{00A0}\\x{202F}]")));
    plain.replace(u'.', u',');
    if (decimals_ == 0 && plain.contains(u','))
        return std::nullopt;
    return plain;
}

QString DigitsEdit::tooLargeHint() const
{
    if (decimals_ == 0)
        return QStringLiteral("Не больше %1").arg(NumberText::whole(maximum_));
    return QStringLiteral("Не больше %1 цифр до запятой и %2 после").arg(wholeDigits_).arg(decimals_);
}

void DigitsEdit::hint(const QString& text)
{
    lastHint_ = text;
    QApplication::beep();
    QToolTip::showText(mapToGlobal(QPoint(0, height())), text, this, QRect(), 2000);
}

void DigitsEdit::pasteWhole(const QString& text)
{
    guarded([&] {
        if (text.trimmed().isEmpty())
            return;
        const std::optional<QString> number = pastedNumber(text);
        if (!number) {
            Messages::error(QStringLiteral("Текст %1 не вставлен: в это поле можно вставить только %2. "
                                           "Поле не изменено.")
                                .arg(quoted(text), decimals_ == 0 ? QStringLiteral("целое число, одни цифры")
                                                                  : QStringLiteral("число")),
                            QStringLiteral("Ошибка"));
            return;
        }
        if (!takes(*number)) {
            Messages::error(QStringLiteral("Число %1 не вставлено: в этом поле допустимо не больше %2. "
                                           "Поле не изменено.")
                                .arg(quoted(text),
                                     decimals_ == 0 ? NumberText::whole(maximum_)
                                                    : QStringLiteral("%1 цифр до запятой и %2 после")
                                                          .arg(wholeDigits_).arg(decimals_)),
                            QStringLiteral("Ошибка"));
            return;
        }
        // In place of what the box held, as one step that Ctrl+Z takes back.
        selectAll();
        insert(*number);
    });
}

void DigitsEdit::keyPressEvent(QKeyEvent* e)
{
    if (e->matches(QKeySequence::Paste)) {
        pasteWhole(QApplication::clipboard()->text());
        e->accept();
        return;
    }
    QString typed = e->text();
    const bool command = e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (command || typed.isEmpty() || !typed.at(0).isPrint()) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    e->accept();
    if (decimals_ > 0)
        typed.replace(u'.', u',');
    const bool allowed = decimals_ == 0 ? allDigits(typed)
                                        : allDigits(QString(typed).remove(u','));
    if (!allowed) {
        hint(decimals_ == 0 ? kDigitsOnly : kDigitsAndComma);
        return;
    }
    QString after = text();
    const int at = hasSelectedText() ? selectionStart() : cursorPosition();
    after.replace(at, selectedText().size(), typed);
    if (after.count(u',') > 1) {
        hint(QStringLiteral("Запятая уже есть"));
        return;
    }
    if (!takes(after)) {
        hint(tooLargeHint());
        return;
    }
    insert(typed);
}

void DigitsEdit::contextMenuEvent(QContextMenuEvent* e)
{
    QMenu* menu = createStandardContextMenu();
    for (QAction* action : menu->actions()) {
        if (isPasteItem(action)) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, [this] { pasteWhole(QApplication::clipboard()->text()); });
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

bool DigitsEdit::isPasteItem(const QAction* action)
{
    // Named so from Qt 6.5 on; before, known by the caption Qt gives it.
    return action->objectName() == QLatin1String("edit-paste")
        || (!action->isSeparator() && action->text().startsWith(QLineEdit::tr("&Paste")));
}

void DigitsEdit::dragEnterEvent(QDragEnterEvent* e)
{
    if (!isReadOnly() && e->mimeData()->hasText())
        e->acceptProposedAction();
    else
        e->ignore();
}

void DigitsEdit::dropEvent(QDropEvent* e)
{
    if (isReadOnly() || !e->mimeData()->hasText()) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    pasteWhole(e->mimeData()->text());
}

void DigitsEdit::mouseReleaseEvent(QMouseEvent* e)
{
    // X11 pastes the selection with the middle button.
    QClipboard* clipboard = QApplication::clipboard();
    if (e->button() == Qt::MiddleButton && clipboard->supportsSelection() && !isReadOnly()
        && rect().contains(e->position().toPoint())) {
        pasteWhole(clipboard->text(QClipboard::Selection));
        e->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(e);
}
