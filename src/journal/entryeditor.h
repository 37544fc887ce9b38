#pragma once
#include "directories/operationslist.h"
#include "directories/workerslist.h"
#include "journal/entrystore.h"

#include <QDate>
#include <QDialog>
#include <QSqlRecord>
#include <memory>
#include <optional>

class DataModule;
class JournalSaves;
class JournalContext;
namespace Ui { class EntryEditor; }

// The journal entry editor, TForm11: adds one piecework entry to the shift journal or
// changes the one that is current in the journal. The worker and the operation are
// picked from their lists; "Запись" checks the input, refuses a duplicate, writes the
// row, re-reads the journal and posts the worker's day into the timesheet.
// The dialog lives as long as the program; what it holds stays from one showing to
// the next except what the journal sets on opening and what a save empties.
class EntryEditor : public QDialog {
    Q_OBJECT
public:
    explicit EntryEditor(QWidget* parent = nullptr);
    ~EntryEditor() override;

    // "Добавить" in the journal: empties worker, operation, quantity and colour, sets
    // defects and hours to "0", the date to the journal's date, mode 1 and the caption.
    void prepareNew(const QDate& date);
    // "Изменить" in the journal: fills everything from the journal row, mode 2.
    void prepareChange(const QSqlRecord& row);

    // 1 adds a new entry; any other value changes the entry taken over by prepareChange.
    int mode() const { return mode_; }
    void setMode(int mode) { mode_ = mode; }

    // The entry being edited: worker, operation, product and the final piece price
    // (with the day-off and shift factors of the moment the operation was chosen).
    int w_id = 0;
    int o_id = 0;
    int i_id = 0;
    double cena = 0;

    // Handlers of the user's actions (public so that tests can drive them).
    void onChooseWorker();
    void onChooseOperation();
    void onSave();
    // Hand-backs of the two lists.
    void workerChosen(const WorkersList::Choice& worker);
    void operationChosen(const OperationsList::Choice& operation);
    // The colour box is open only for paint operations.
    void applyColourRule();
    // Fills empty quantity and hours with "0" and shows the prices and the amount.
    void recomputePrices();
    // Shows the prices and the amount of the quantity as typed, changing no box.
    void showPrices();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    JournalContext* journal() const;
    QWidget* controlOf(EntryStore::Field field) const;
    void setColourBoxEnabled(bool enabled);
    // The date box stands out when the entry goes to another day than the journal's.
    void markForeignDate();
    // Boxes wide enough for the largest number each can hold.
    void fitNumberBoxes();
    void moveOnAfterList(QWidget* next);
    // Asks before a save that gives the worker more hours in the shift's day than a day
    // has; false when the foreman answers no.
    bool confirmDayHours(const EntryRow& row, int ownId);

    Ui::EntryEditor* ui;
    DataModule* dm;
    std::unique_ptr<EntryStore> store;
    std::unique_ptr<JournalSaves> saves;
    int mode_ = 1;
    // The base price of the entry's operation (its lowest norm price), as last chosen
    // or looked up for a change.
    std::optional<double> basePrice_;
    bool closing_ = false;

    // The entry taken over for a change.
    int changedId_ = 0;
};
