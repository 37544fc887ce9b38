#include "ui/listwindow.h"
#include "ui/waitcursor.h"

#include "db/dataset.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>

namespace ListWindow {

void setDirectoryMode(const Buttons& buttons)
{
    buttons.change->setText(QStringLiteral("Изменить"));
    buttons.change->setDefault(false);
    buttons.add->setVisible(true);
    buttons.remove->setVisible(true);
    buttons.add->setDefault(true);
}

void setChooseMode(const Buttons& buttons)
{
    buttons.change->setText(QStringLiteral("Выбрать"));
    buttons.add->setDefault(false);
    buttons.change->setDefault(true);
    buttons.add->setVisible(false);
    buttons.remove->setVisible(false);
}

void reload(Dataset* dataset, int recNo)
{
    WaitCursor wait;
    dataset->close();
    dataset->open();
    if (recNo > 0 && !dataset->isEmpty())
        dataset->setRecNo(recNo);
}

SearchBox::SearchBox(QLineEdit* box, Dataset* dataset, const QString& field, OtherKeys otherKeys,
                     QObject* parent)
    : QObject(parent), box_(box), dataset_(dataset), field_(field), otherKeys_(otherKeys)
{
    box_->installEventFilter(this);
    box_->window()->installEventFilter(this);
    connect(box_, &QLineEdit::textChanged, this, &SearchBox::apply);
}

bool SearchBox::matches(const QString& value, const QString& text)
{
    return value.startsWith(text, Qt::CaseInsensitive);
}

void SearchBox::apply()
{
    const QString text = box_->text();
    if (box_->isHidden() || text.isEmpty()) {
        dataset_->clearFilter();
        return;
    }
    const QString field = field_;
    dataset_->setFilter([field, text](const QSqlRecord& row) {
        return matches(row.value(field).toString(), text);
    });
}

void SearchBox::showEmpty()
{
    box_->show();
    box_->clear();
    apply();
}

void SearchBox::hide()
{
    box_->hide();
    apply();
}

void SearchBox::release()
{
    dataset_->clearFilter();
}

bool SearchBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == box_->window()) {
        if ((event->type() == QEvent::Show || event->type() == QEvent::WindowActivate) && !box_->isHidden())
            box_->setFocus();
        return false;
    }
    if (watched != box_ || event->type() != QEvent::KeyPress)
        return false;

    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Up) {
        dataset_->prior();
        return true;
    }
    if (key->key() == Qt::Key_Down) {
        dataset_->next();
        return true;
    }
    if (otherKeys_ == OtherKeys::Normal)
        return false;

    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    case Qt::Key_Delete:
        return true;
    default:
        break;
    }
    if (key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Cut)
        || key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)
        || key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo))
        return false;
    const QString text = key->text();
    const bool typesSomething = !text.isEmpty() && text.at(0).isPrint();
    return !typesSomething;
}

void ChooserList::setUpList(Dataset* dataset, const Buttons& buttons, SearchBox* search)
{
    dataset_ = dataset;
    buttons_ = buttons;
    search_ = search;
}

void ChooserList::showDirectory()
{
    mode_ = DirectoryMode;
    dataset_->open();
    setDirectoryMode(buttons_);
    search_->apply();
    exec();
    dataset_->close();
}

void ChooserList::showChooser()
{
    mode_ = ChooseMode;
    dataset_->open();
    setChooseMode(buttons_);
    search_->showEmpty();
    exec();
    buttons_.change->setDefault(false);
    search_->hide();
    dataset_->close();
}

}
