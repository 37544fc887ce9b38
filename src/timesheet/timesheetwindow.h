#pragma once
#include "timesheet/timesheetstore.h"

#include <QDate>
#include <QDialog>
#include <QStringList>

class Dataset;

namespace Ui { class TimesheetWindow; }
class ClosedMonthMark;
class DataModule;
class QTableView;
class TimesheetModel;

// "Табель по времени": the month's hours per worker and day, one page per shift, with the
// month rebuild from the journal, the print and the export of the month summed over all
// shifts.
class TimesheetWindow : public QDialog {
    Q_OBJECT
public:
    explicit TimesheetWindow(QWidget* parent = nullptr);
    ~TimesheetWindow() override;

    // Opens on the month and year of the journal's date, shows the window modally and,
    // when it closes, closes the three listings.
    void openOn(const QDate& journalDate);
    // Selects the month and year of the date (the nearest year of the list when the
    // date's year is not in it) and shows that month.
    void selectPeriod(const QDate& date);

    int selectedMonth() const;   // 1..12
    int selectedYear() const;
    TimesheetModel* modelOf(int shift) const;   // pages 1..3
    QTableView* gridOf(int shift) const;

    // The years offered: 2007 to next year, never ending before 2025.
    static QStringList yearList(const QDate& today);
    // The year of the list nearest to the wanted one.
    static int nearestYear(const QStringList& years, int wanted);
    static QString monthName(int month);   // 1..12

    // Handlers of the user's actions.
    void onPeriodChanged();
    void onRefresh();
    void onRebuild();
    void onExcel();
    void onPrint();
    void onCloseOrReopenMonth();

protected:
    bool event(QEvent* e) override;

private:
    void fillYears();
    void setupGrid(QTableView* grid, int shift);
    void openListings();
    // The month summed over all shifts, in the print layout's query, opened.
    Dataset* openMonthSums();
    void closeListings();
    // The closed state of the chosen month: the mark, the button's caption, the rebuild.
    void showMonthState();

    Ui::TimesheetWindow* ui;
    DataModule* dm;
    TimesheetStore store_;
    TimesheetModel* models_[3] = {};
    ClosedMonthMark* monthMark_;
};
