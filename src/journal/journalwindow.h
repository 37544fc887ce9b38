#pragma once
#include "journal/journalcontext.h"
#include "journal/journalsaves.h"

#include <QDate>
#include <QDialog>
#include <QString>
#include <QVector>
#include <optional>

class ClosedMonthMark;
class Dataset;
class DataModule;
class LegacyImport;
class QTimer;
namespace Ui { class JournalWindow; }

// The shift journal, "Табель": the entries of one date and one shift, with add, change,
// delete and acceptance, and the menus to the directories, timesheet and reports.
class JournalWindow : public QDialog, public JournalContext {
    Q_OBJECT
public:
    explicit JournalWindow(QWidget* parent = nullptr);
    ~JournalWindow() override;

    // The selected shift 1..4 (0 until the login sets it).
    int CurrentShift = 0;
    // The trimmed access code typed at login.
    QString RoleCode;
    // The shift journal last chosen by add, change or accept.
    Dataset* CurrentJournal = nullptr;
    // The build stamp as of the last version-gate run.
    int BuildDate = 0;
    int BuildTime = 0;

    // The journal of the selected shift.
    Dataset* currentShiftJournal() const;
    // The date in the picker.
    QDate date() const override;
    // Whether "Выходной" is ticked.
    bool isDayOff() const override;
    int currentShift() const override { return CurrentShift; }
    int currentOperationId() const override;
    // Whether the journal's date lies in a closed month (no change is possible there).
    bool isMonthClosed() const;

    QTimer* gateTimer() const { return gateTimer_; }

    // Handlers of the user's actions (public so that tests can drive them).
    void onActivated();
    void onDateChosen();
    void onShiftChosen(int shift);
    void onDayOffToggled();
    void onRefresh();
    void onAdd();
    void onBrigade();
    void onChange();
    void onDelete();
    void onAccept();
    void onWorkers();
    void onProducts();
    void onPrices();
    void onKinds();
    void onTimesheet();
    void onSummaryReports();
    void onHistory();
    void onEntryHistory();
    void onGridDoubleClicked();
    void onGateTick();
    void onReconnected();
    void onImport();
    void onImportKey();
    void onHelp();

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // Re-reads the four shift journals, for another date or (without one) as they were.
    void reopenAllJournals(std::optional<QDate> date);
    void showJournal(Dataset* journal);
    // "Выходной" as the shown date has it: a weekend ticks it, a weekday clears it; a
    // change made by hand stays for as long as the journal shows the date it was made on.
    void followDayOff(const QDate& shown, bool keepHandChange);
    void showTotals();
    void paintShiftButtons();

    Ui::JournalWindow* ui;
    DataModule* dm;
    JournalSaves saves_;
    QTimer* gateTimer_;
    ClosedMonthMark* monthMark_;
    LegacyImport* import_;
    // The journal date on which "Выходной" was last changed by hand (none if not since).
    QDate dayOffHandDate_;
    bool settingDayOff_ = false;
};
