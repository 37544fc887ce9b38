#pragma once
#include "ui/datasetgrid.h"
#include "ui/gridcelldelegate.h"

#include <QColor>
#include <QDate>

// How a day column of a month shows.
enum class DayLook { Workday, Weekend, Missing };

namespace TimesheetColours {
const QColor kWeekend(255, 0, 0);
const QColor kSilver(192, 192, 192);
const QColor kLongDay(192, 220, 192);   // more than 8 hours
const QColor kTotal(225, 228, 255);
}

// The timesheet of one shift: name, days 1..31 and the total, over a timesheet listing.
// Knows the month it shows, for the weekend and missing-day marks of the day columns.
class TimesheetModel : public DatasetModel {
    Q_OBJECT
public:
    enum Role { DayLookRole = Qt::UserRole + 1, HoursRole };
    static constexpr int kFirstDayColumn = 1;
    static constexpr int kTotalColumn = 32;

    explicit TimesheetModel(Dataset* dataset, QObject* parent = nullptr);

    // Marks the day columns for the month of the date: Saturdays and Sundays, and the
    // days past the month's end.
    void setMonth(const QDate& anyDayOfMonth);
    DayLook dayLook(int day) const { return looks_[day - 1]; }
    static DayLook lookOf(const QDate& firstOfMonth, int day);

    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    DayLook looks_[31];
};

// Draws the day cells by their hours: 0 silver (red on a weekend, invisible past the
// month's end), 8 bold, more than 8 bold on green. The name, the total and the selected
// cell are drawn as they are.
class TimesheetCellDelegate : public GridCellDelegate {
public:
    using GridCellDelegate::GridCellDelegate;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
