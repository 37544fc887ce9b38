#include "reports/summaryreportswindow.h"
#include "ui_summaryreportswindow.h"

#include "ui/guard.h"
#include "ui/messages.h"

void previousMonthPeriod(const QDate& today, QDate* from, QDate* to)
{
    *to = QDate(today.year(), today.month(), 1);
    *from = to->addMonths(-1);
}

SummaryReportsWindow::SummaryReportsWindow(QWidget* parent) : QDialog(parent), ui(new Ui::SummaryReportsWindow)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TForm18"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // One narrow column, yet wide enough for the longest button caption.
    setFixedWidth(qMax(200, sizeHint().width()));
    for (QPushButton* button : {ui->Button1, ui->Button2, ui->Button3, ui->Button4, ui->Button6})
        connect(button, &QPushButton::clicked, this, guardedSlot(this, &SummaryReportsWindow::onReportNotReady));
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

void SummaryReportsWindow::onReportNotReady()
{
    Messages::information(QStringLiteral("Печать сводных отчетов и выгрузка в Excel появятся в следующей версии программы."),
                          QStringLiteral("Отчеты"));
}
