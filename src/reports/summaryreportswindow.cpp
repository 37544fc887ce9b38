#include "reports/summaryreportswindow.h"
#include "ui_summaryreportswindow.h"

#include "core/windowlookup.h"
#include "db/datamodule.h"
#include "db/dataset.h"
#include "db/reportsource.h"
#include "export/spreadsheet.h"
#include "reports/productexport.h"
#include "reports/summarylayout.h"
#include "reports/summarystore.h"
#include "ui/datetyping.h"
#include "ui/guard.h"
#include "ui/waitcursor.h"

#include <QScopeGuard>

void previousMonthPeriod(const QDate& today, QDate* from, QDate* to)
{
    *to = QDate(today.year(), today.month(), 1);
    *from = to->addMonths(-1);
}

SummaryReportsWindow::SummaryReportsWindow(QWidget* parent)
    : QDialog(parent), ui(new Ui::SummaryReportsWindow), dm_(DataModule::instance()),
      xlsRep_(SummaryStore::makeQuery(QStringLiteral("XLS_Rep"), SummaryStore::productExportSql(), dm_, this))
{
    ui->setupUi(this);
    DateTyping::install(ui->DTPicker1);
    DateTyping::install(ui->DTPicker2);
    setObjectName(QStringLiteral("TForm18"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // One narrow column, yet wide enough for the longest button caption.
    setFixedWidth(qMax(200, sizeHint().width()));
    connect(ui->Button4, &QPushButton::clicked, this, guardedSlot(this, &SummaryReportsWindow::onWorkerSummary));
    connect(ui->Button2, &QPushButton::clicked, this, guardedSlot(this, &SummaryReportsWindow::onProductSummary));
    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &SummaryReportsWindow::onWorkerDetail));
    connect(ui->Button3, &QPushButton::clicked, this, guardedSlot(this, &SummaryReportsWindow::onProductDetail));
    connect(ui->Button6, &QPushButton::clicked, this, guardedSlot(this, &SummaryReportsWindow::onExcel));
    connect(ui->Button5, &QPushButton::clicked, this, &QDialog::reject);
}

SummaryReportsWindow::~SummaryReportsWindow()
{
    delete ui;
}

void SummaryReportsWindow::setPeriod(const QDate& from, const QDate& to)
{
    ui->DTPicker1->setDate(from);
    ui->DTPicker2->setDate(to);
}

QDate SummaryReportsWindow::periodFrom() const
{
    return ui->DTPicker1->date();
}

QDate SummaryReportsWindow::periodTo() const
{
    return ui->DTPicker2->date();
}

void SummaryReportsWindow::selectProductKind(int index)
{
    QRadioButton* buttons[] = {ui->KindAll, ui->KindFinished, ui->KindBlanks};
    if (index >= 0 && index < 3)
        buttons[index]->setChecked(true);
}

int SummaryReportsWindow::productKind() const
{
    return ui->KindFinished->isChecked() ? 1 : ui->KindBlanks->isChecked() ? 2 : 0;
}

QString SummaryReportsWindow::title(const QString& prefix, const QDate& from, const QDate& to)
{
    const QString format = QStringLiteral("dd.MM.yyyy");
    return prefix + from.toString(format) + QStringLiteral(" по ") + to.toString(format);
}

QString SummaryReportsWindow::pdfFileName(const QString& report, const QDate& from, const QDate& to)
{
    const QString format = QStringLiteral("dd.MM.yyyy");
    return QStringLiteral("%1 с %2 по %3.pdf").arg(report, from.toString(format), to.toString(format));
}

void SummaryReportsWindow::onWorkerSummary()
{
    showReport(WindowLookup::find<SummaryLayout>("workerSummary"), QStringLiteral("Отчет по рабочим"),
               QStringLiteral("   Отчет по рабочим за период с "));
}

void SummaryReportsWindow::onProductSummary()
{
    showReport(WindowLookup::find<SummaryLayout>("productSummary"), QStringLiteral("Отчет по продукции"),
               QStringLiteral("   Отчет по продукции за период с "));
}

void SummaryReportsWindow::onWorkerDetail()
{
    showReport(WindowLookup::find<SummaryLayout>("workerDetail"), QStringLiteral("Детальный отчет по рабочим"),
               QStringLiteral("   Детальный отчет по рабочим за период с "));
}

void SummaryReportsWindow::onProductDetail()
{
    showReport(WindowLookup::find<SummaryLayout>("productDetail"), QStringLiteral("Детальный отчет по продукции"),
               QStringLiteral("   Детальный отчет по продукции за период с "));
}

void SummaryReportsWindow::showReport(SummaryLayout* layout, const QString& report, const QString& titlePrefix)
{
    Q_ASSERT(layout);
    const QDate from = periodFrom();
    const QDate to = periodTo();
    Dataset& query = *layout->query();
    // A query left open by an earlier error would show its old rows.
    query.close();
    SummaryStore::setPeriod(query, from, to);
    SummaryStore::setProductKind(query, productKind());
    const auto closeQuery = qScopeGuard([&query] { query.close(); });
    {
        WaitCursor wait;
        openOnReportSource(query);
    }
    layout->setTitle(title(titlePrefix, from, to));
    layout->preview(report, pdfFileName(report, from, to), this);
}

QString SummaryReportsWindow::sourceNote() const
{
    return ui->SourceLabel->text();
}

void SummaryReportsWindow::openOnReportSource(Dataset& query)
{
    if (!dm_) {
        query.open();
        return;
    }
    const ReportSource::Choice source = ReportSource::of(*dm_)->read([&query](const QString& connection) {
        query.close();
        query.setConnectionName(connection);
        query.open();
    });
    ui->SourceLabel->setText(source.note);
    ui->SourceLabel->setVisible(!source.note.isEmpty());
}

void SummaryReportsWindow::onExcel()
{
    Dataset& query = *xlsRep_;
    query.close();
    SummaryStore::setPeriod(query, periodFrom(), periodTo());
    SummaryStore::setProductKind(query, productKind());
    const auto closeQuery = qScopeGuard([&query] { query.close(); });
    WaitCursor wait;
    openOnReportSource(query);
    ProductExport::write(query, Spreadsheet::reports(), [this](int written, int total) {
        ui->Button6->setText(ProductExport::caption(written, total));
    }, ProductExport::fileTitle(periodFrom(), periodTo()));
}
