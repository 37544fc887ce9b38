#pragma once
#include "directories/normsstore.h"

#include <QDialog>

class DataModule;
class NormsModel;
class NormsDelegate;
namespace Ui { class NormsWindow; }

// Norms of one operation, TForm22 "Норматив": its norm levels (norm, piece price, bonus
// percent) edited directly in the grid. A row is stored as soon as the user leaves a cell
// of it with changes; new rows belong to the operation shown; the last row is never
// deleted. "Сохранить" (also Enter and Esc) stores what is left and refreshes the
// operations list at the same row.
class NormsWindow : public QDialog {
    Q_OBJECT
public:
    explicit NormsWindow(QWidget* parent = nullptr);
    ~NormsWindow() override;

    // Shows the levels of the operation modally; changes not stored at the last showing
    // are dropped.
    void showForOperation(int operationId);
    // Loads the levels of the operation without showing the window.
    void loadOperation(int operationId);
    int operationId() const { return operationId_; }

    // How a price shows in the grid: "#0.00#", two to three decimals, the user's separator.
    static QString priceText(double price);

    // Handlers of the user's actions (public so that tests can drive them).
    void onSave();
    void onDelete();
    // The current cell has moved: stores a row left with changes, drops a new row left
    // empty. Runs just after the move, once the grid has taken the edited text.
    void onCellLeft();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Stores every row with changes; a new one gets the operation's id.
    void storeChangedRows();
    // Asks before storing a bonus of more than the price itself (over 100 %); false when
    // the answer is no.
    bool confirmBonuses();
    // Re-reads the levels, keeping the current cell on the row it was on.
    void reload();
    // Starts a new row at the end (unless an empty one is there) and makes it current.
    void startNewRow();
    void commitOpenEditor();

    Ui::NormsWindow* ui;
    DataModule* dm;
    NormsStore store;
    NormsModel* model;
    NormsDelegate* delegate;
    int operationId_ = 0;
    bool cellLeftQueued_ = false;
};
