#pragma once
#include <QWidget>

class Dataset;
class QLabel;

// The printed monthly timesheet: landscape A4, one row per worker name with the month's
// hours per day summed over all shifts, the header with the day numbers on every page.
// A hidden window, created at start; the timesheet window fills and previews it.
class TimesheetLayout : public QWidget {
    Q_OBJECT
public:
    explicit TimesheetLayout(QWidget* parent = nullptr);
    ~TimesheetLayout() override;

    // Integer parameters "mnth" and "yea".
    Dataset* H_Tabel;
    // The period at the left of the header ("Данные за:" until the caller sets it).
    QLabel* QRLabel33;
};
