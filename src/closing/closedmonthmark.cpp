#include "closing/closedmonthmark.h"

#include <QLabel>
#include <QWidget>

ClosedMonthMark::ClosedMonthMark(DataModule& dm, QLabel* mark, QList<QWidget*> actions, QObject* parent)
    : QObject(parent), months_(dm), mark_(mark), actions_(std::move(actions))
{
    mark_->setStyleSheet(QStringLiteral("QLabel { color: white; background-color: rgb(128, 0, 0); "
                                        "font-weight: bold; padding: 2px 8px; }"));
    mark_->hide();
}

void ClosedMonthMark::show(const QDate& date, const QStringList& offByRole)
{
    const std::optional<ClosedMonths::Closing> closing = months_.closing(date);
    closed_ = closing.has_value();
    if (closed_) {
        mark_->setText(ClosedMonths::mark(date.year(), date.month()));
        mark_->setToolTip(ClosedMonths::details(*closing));
    }
    mark_->setVisible(closed_);
    for (QWidget* action : actions_)
        action->setEnabled(!closed_ && !offByRole.contains(action->objectName()));
}
