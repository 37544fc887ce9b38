#pragma once
#include "closing/closedmonths.h"

#include <QList>
#include <QObject>
#include <QStringList>

class QLabel;
class QWidget;

// A window's view of the closed month it shows: a mark beside the date ("Месяц 03.2024
// закрыт", who closed it in the tooltip) and the actions that would change the month
// switched off; in an open month each action is back as the role allows it.
class ClosedMonthMark : public QObject {
    Q_OBJECT
public:
    ClosedMonthMark(DataModule& dm, QLabel* mark, QList<QWidget*> actions, QObject* parent = nullptr);

    // Reads whether the date's month is closed and shows it; offByRole are the object
    // names of the actions the role may not use at all.
    void show(const QDate& date, const QStringList& offByRole = {});
    bool isClosed() const { return closed_; }

private:
    ClosedMonths months_;
    QLabel* mark_;
    QList<QWidget*> actions_;
    bool closed_ = false;
};
