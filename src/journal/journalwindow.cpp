#include "journal/journalwindow.h"

#include "db/datamodule.h"

#include <QDate>
#include <QEvent>
#include <QTimer>

JournalWindow::JournalWindow(QWidget* parent) : QDialog(parent), ui(nullptr), dm(DataModule::instance())
{
    setObjectName(QStringLiteral("TForm1"));
    gateTimer_ = new QTimer(this);
}
JournalWindow::~JournalWindow() = default;
Dataset* JournalWindow::currentShiftJournal() const { return dm->smenaForShift(CurrentShift); }
QDate JournalWindow::date() const { return QDate::currentDate(); }
bool JournalWindow::isDayOff() const { return false; }
void JournalWindow::onActivated() {}
void JournalWindow::onDateChosen() {}
void JournalWindow::onShiftChosen(int) {}
void JournalWindow::onDayOffToggled() {}
void JournalWindow::onRefresh() {}
void JournalWindow::onAdd() {}
void JournalWindow::onChange() {}
void JournalWindow::onDelete() {}
void JournalWindow::onAccept() {}
void JournalWindow::onWorkers() {}
void JournalWindow::onProducts() {}
void JournalWindow::onPrices() {}
void JournalWindow::onKinds() {}
void JournalWindow::onTimesheet() {}
void JournalWindow::onSummaryReports() {}
void JournalWindow::onGateTick() {}
bool JournalWindow::event(QEvent* e) { return QDialog::event(e); }
bool JournalWindow::eventFilter(QObject* w, QEvent* e) { return QDialog::eventFilter(w, e); }
void JournalWindow::reopenAllJournals(const QDate&) {}
void JournalWindow::paintShiftButtons() {}
