#include "timesheet/timesheetgrid.h"

#include <QStyle>

namespace {

QVector<GridColumn> timesheetColumns()
{
    QVector<GridColumn> columns;
    columns.push_back({QStringLiteral("fio"), QStringLiteral("Фамилия И. О."), 208});
    for (int day = 1; day <= 31; ++day)
        columns.push_back({QStringLiteral("d%1").arg(day), QString::number(day), 20, Qt::AlignCenter});
    columns.push_back({QStringLiteral("summ"), QStringLiteral("Итого"), 47, Qt::AlignCenter});
    return columns;
}

bool isDayColumn(int column)
{
    return column >= TimesheetModel::kFirstDayColumn && column < TimesheetModel::kTotalColumn;
}

}

TimesheetModel::TimesheetModel(Dataset* dataset, QObject* parent)
    : DatasetModel(dataset, timesheetColumns(), parent)
{
    std::fill(std::begin(looks_), std::end(looks_), DayLook::Workday);
}

DayLook TimesheetModel::lookOf(const QDate& firstOfMonth, int day)
{
    if (day > firstOfMonth.daysInMonth())
        return DayLook::Missing;
    const int weekday = firstOfMonth.addDays(day - 1).dayOfWeek();
    return weekday == Qt::Saturday || weekday == Qt::Sunday ? DayLook::Weekend : DayLook::Workday;
}

void TimesheetModel::setMonth(const QDate& anyDayOfMonth)
{
    const QDate first(anyDayOfMonth.year(), anyDayOfMonth.month(), 1);
    for (int day = 1; day <= 31; ++day)
        looks_[day - 1] = lookOf(first, day);
    emit headerDataChanged(Qt::Horizontal, kFirstDayColumn, kTotalColumn - 1);
    if (rowCount() > 0)
        emit dataChanged(index(0, kFirstDayColumn), index(rowCount() - 1, kTotalColumn - 1));
}

QVariant TimesheetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::BackgroundRole && index.column() == kTotalColumn)
        return TimesheetColours::kTotal;
    if (isDayColumn(index.column())) {
        if (role == DayLookRole)
            return int(looks_[index.column() - kFirstDayColumn]);
        if (role == HoursRole)
            return dataset()->valueAt(index.row(), columns()[index.column()].field).toInt();
    }
    return DatasetModel::data(index, role);
}

QVariant TimesheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::ForegroundRole && isDayColumn(section)) {
        switch (looks_[section - kFirstDayColumn]) {
        case DayLook::Weekend: return TimesheetColours::kWeekend;
        case DayLook::Missing: return TimesheetColours::kSilver;
        case DayLook::Workday: return {};
        }
    }
    return DatasetModel::headerData(section, orientation, role);
}

void TimesheetCellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    GridCellDelegate::initStyleOption(option, index);
    if (!isDayColumn(index.column()) || (option->state & QStyle::State_Selected))
        return;
    const auto look = DayLook(index.data(TimesheetModel::DayLookRole).toInt());
    const bool red = look == DayLook::Weekend;
    const QColor window = option->palette.color(QPalette::Base);
    const QColor windowText = option->palette.color(QPalette::Text);
    QColor text = red ? TimesheetColours::kWeekend : look == DayLook::Missing ? window : windowText;

    const int hours = index.data(TimesheetModel::HoursRole).toInt();
    if (hours == 0) {
        if (!red)
            text = TimesheetColours::kSilver;
        if (look == DayLook::Missing)
            text = window;
    } else if (hours == 8) {
        option->font.setBold(true);
        if (!red)
            text = windowText;
    } else if (hours > 8) {
        option->font.setBold(true);
        option->backgroundBrush = TimesheetColours::kLongDay;
    }
    option->palette.setColor(QPalette::Text, text);
}
