#pragma once
#include "reportengine/layout.h"

#include <QWidget>

class Dataset;
namespace ReportEngine { class Report; }

// The printed monthly timesheet (TForm15): landscape A4, one row per worker name with the
// month's hours per day summed over all shifts and the row total, the header with the
// period and the day numbers at the top of every page. A hidden window, created at
// start; the timesheet window fills and previews it.
class TimesheetLayout : public QWidget {
    Q_OBJECT
public:
    explicit TimesheetLayout(QWidget* parent = nullptr);
    ~TimesheetLayout() override;

    // Integer parameters "mnth" and "yea".
    Dataset* H_Tabel;
    ReportEngine::Report* Report1;

    // The text of the period label QRLabel33 ("Данные за:" until it is set).
    void setPeriod(const QString& text);
    QString period() const;

    // Takes the opened query's rows; the query may be closed afterwards.
    void prepare();
    // Prepares and shows the preview, modal to parent, until the user closes it.
    void preview(const QString& caption, const QString& pdfFileName, QWidget* parent);

    static ReportEngine::Layout layout();
    // Left edges of the day columns 1..31, in mm from the left margin; each 5.3 wide.
    static double dayLeft(int day);
    static constexpr double kDayWidth = 5.3;
    static constexpr double kTotalLeft = 264.6;
};
