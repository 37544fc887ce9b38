#pragma once
#include <QDate>
#include <QDialog>

namespace Ui { class SummaryReportsWindow; }

// "Отчеты": the period and product kind of the summary reports. The printed reports and
// the export are not part of this version yet; their buttons say so.
class SummaryReportsWindow : public QDialog {
    Q_OBJECT
public:
    explicit SummaryReportsWindow(QWidget* parent = nullptr);
    ~SummaryReportsWindow() override;

    void setPeriod(const QDate& from, const QDate& to);
    QDate periodFrom() const;
    QDate periodTo() const;
    // 0 "Все", 1 "Готовая продукция", 2 "Заготовки".
    void selectProductKind(int index);
    int productKind() const;

    void onReportNotReady();

private:
    Ui::SummaryReportsWindow* ui;
};

// The period proposed when the window opens: the previous calendar month, as the first
// day of it and the first day of the current month.
void previousMonthPeriod(const QDate& today, QDate* from, QDate* to);
