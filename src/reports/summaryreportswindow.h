#pragma once
#include <QDate>
#include <QDialog>
#include <QPointer>

namespace Ui { class SummaryReportsWindow; }
class DataModule;
class Dataset;
class SummaryLayout;

// "Отчеты": the period and product kind of the four printed summaries and of the
// per-product export to a spreadsheet. Each report button fills its layout's query and
// title and shows the preview; the query is closed again afterwards.
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

    // The export query, the per-product summary.
    Dataset* XLS_Rep() const { return xlsRep_; }

    void onWorkerSummary();     // "Отчет по рабочим"
    void onProductSummary();    // "Отчет по продукции"
    void onWorkerDetail();      // "Детальный отчет по рабочим"
    void onProductDetail();     // "Детальный отчет по продукции"
    void onExcel();             // "Excel (k из N)"

    // The title of a report over the period: the prefix, the "с" date, " по ", the "по"
    // date, both dd.MM.yyyy.
    static QString title(const QString& prefix, const QDate& from, const QDate& to);
    // The name the preview proposes for the PDF file of a report over the period.
    static QString pdfFileName(const QString& report, const QDate& from, const QDate& to);

    // The status line: where the last report read its rows (empty and hidden without a
    // standby for the reports).
    QString sourceNote() const;

private:
    // Opens the query where the reports read now, and says where in the status line.
    void openOnReportSource(Dataset& query);
    void showReport(SummaryLayout* layout, const QString& report, const QString& titlePrefix);

    Ui::SummaryReportsWindow* ui;
    QPointer<DataModule> dm_;   // the data module whose connection the reports read on
    Dataset* xlsRep_;
};

// The period proposed when the window opens: the previous calendar month, as the first
// day of it and the first day of the current month.
void previousMonthPeriod(const QDate& today, QDate* from, QDate* to);
