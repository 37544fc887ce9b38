#pragma once
#include "directories/operationslist.h"
#include "journal/brigadestore.h"
#include "journal/entrystore.h"

#include <QDialog>
#include <QVector>
#include <memory>
#include <optional>

class DataModule;
class JournalSaves;
class QStyledItemDelegate;
namespace Ui { class BrigadeEntry; }

// A brigade's work in one grid: the operation is chosen once, the workers are found by
// name, and each row takes quantity, defects, colour (paint operations only) and hours.
// "Записать" writes every row as one transaction, or nothing; after a refusal the grid
// keeps what was typed. "Скопировать в черновик" fills the grid with the workers and hours
// of the chosen operation in the journal of another date and shift, quantities empty.
// The entries go to the journal's date and shift, priced as the entry editor prices them.
class BrigadeEntry : public QDialog {
    Q_OBJECT
public:
    enum Column { Worker, Quantity, Hours, Defects, Colour, Price, Amount, ColumnCount };

    explicit BrigadeEntry(QWidget* parent = nullptr);
    ~BrigadeEntry() override;

    // Empties the grid and the operation and sets the draft to the journal's previous day.
    void prepare();

    // Handlers of the user's actions (public so that tests can drive them).
    void onChooseOperation();
    void operationChosen(const OperationsList::Choice& operation);
    void onAddWorker();
    void onCopyDraft();
    void onSave();
    void onRemoveRow();

    int rowCount() const;
    // The text of a cell as shown.
    QString cell(int row, Column column) const;
    // The total of the grid as shown below it.
    QString totalText() const;

    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct Cells {
        QString quantity, defects, colour, hours;
    };
    void addRow(int w_id, const QString& fio, const Cells& cells);
    // The cell's editor, when one is open, writes its text into the grid and closes.
    void commitOpenEditor();
    void editCell(int row, Column column);
    // Price and amount of every row and the total below.
    void recompute();
    void applyColourRule();
    bool isPaint() const;
    // After Enter in a cell: the same column of the next row, or the name box after the last.
    void moveDown(int row, Column column);
    EntryInput inputOf(int row) const;
    // Asks for each worker whose day would exceed a day's hours; false when the foreman
    // answers no (the focus is then on his hours).
    bool confirmDayHours(const QVector<EntryRow>& rows);
    static Column columnOf(EntryStore::Field field);

    Ui::BrigadeEntry* ui;
    DataModule* dm;
    BrigadeStore store_;
    EntryStore entries_;
    std::unique_ptr<JournalSaves> saves_;
    QStyledItemDelegate* delegate_;
    QVector<BrigadeStore::Worker> workers_;
    std::optional<OperationsList::Choice> operation_;
    QString operationText_;
    double cena_ = 0;
};
