#include "ui/menuletters.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

namespace {

QChar firstLetter(const QAction* action)
{
    const QString text = action->text().trimmed();
    return text.isEmpty() ? QChar() : text.at(0).toUpper();
}

// Runs the one item of the menu that starts with the letter typed.
class ItemLetters : public QObject {
public:
    explicit ItemLetters(QMenu* menu) : QObject(menu), menu_(menu) { menu->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != menu_ || event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) || key->text().size() != 1
            || !key->text().at(0).isLetter())
            return false;
        const QChar letter = key->text().at(0).toUpper();
        QAction* match = nullptr;
        for (QAction* item : menu_->actions()) {
            if (item->isSeparator() || !item->isVisible() || !item->isEnabled() || firstLetter(item) != letter)
                continue;
            if (match)
                return true;   // more than one: nothing to choose by
            match = item;
        }
        if (!match)
            return true;
        menu_->hide();
        match->trigger();
        return true;
    }

private:
    QMenu* menu_;
};

}

void addFirstLetterKeys(QMenuBar* menuBar, QWidget* window)
{
    for (QAction* entry : menuBar->actions()) {
        const QChar letter = firstLetter(entry);
        if (letter.isNull())
            continue;
        if (entry->menu())
            new ItemLetters(entry->menu());
        auto* key = new QShortcut(QKeySequence(Qt::ALT | Qt::Key(letter.unicode())), window);
        key->setObjectName(QStringLiteral("AltKey") + letter);
        QObject::connect(key, &QShortcut::activated, menuBar, [menuBar, entry] {
            if (!entry->isVisible() || !entry->isEnabled())
                return;
            QMenu* menu = entry->menu();
            if (!menu) {
                entry->trigger();
                return;
            }
            // Opened from the keyboard, as a mnemonic opens it: on its first item, so that
            // Enter and the arrows go on from there.
            menuBar->setActiveAction(entry);
            for (QAction* item : menu->actions())
                if (!item->isSeparator() && item->isVisible() && item->isEnabled()) {
                    menu->setActiveAction(item);
                    break;
                }
        });
    }
}
