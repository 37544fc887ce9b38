#pragma once
#include "directories/operationsstore.h"

#include <QDialog>
#include <QString>
#include <optional>

class DataModule;
namespace ListWindow { class SearchBox; }
namespace Ui { class OperationsList; }

// Operations and prices, TForm4 "Операции": the operations with their lowest norm price
// (the shared dataset Oper), add, change, delete, the price-list export and the norms of
// an operation. In choose mode it hands an operation to the journal entry editor.
class OperationsList : public QDialog {
    Q_OBJECT
public:
    explicit OperationsList(QWidget* parent = nullptr);
    ~OperationsList() override;

    // Directory mode, opened from the journal's menu "Цены": opens Oper, shows the list
    // modally, closes Oper.
    void showDirectory();

    struct Choice {
        int id = 0;          // oper.id
        int productId = 0;   // oper.i_id
        QString vid;         // kind name, trimmed
        int naimen = 0;      // product kind
        double cena = 0;     // base price: the lowest norm price
    };
    // Choose mode for the journal entry editor: opens the shared Oper dataset, makes the
    // operation locateId current (the first one when locateId is 0), shows the list
    // modally. Afterwards Oper stays open and unfiltered with the last current row (the
    // editor reads its base price from there). Returns the chosen operation, or nothing
    // when the list was closed otherwise or was empty.
    std::optional<Choice> choose(int locateId);

    // 0 directory mode, 1 choose mode.
    int listMode() const { return mode_; }

    // Handlers of the user's actions (public so that tests can drive them).
    void onAdd();
    void onChangeOrChoose();
    void onDelete();
    void onExcel();
    void onGridDoubleClicked();
    // The search box's own filter is the shared one; this adds that blanks only find all.
    void onSearchChanged(const QString& text);

private:
    void onChange();
    void onChoose();
    void onNorms();
    bool hasCurrentRow() const;

    Ui::OperationsList* ui;
    DataModule* dm;
    OperationsStore store;
    ListWindow::SearchBox* search_;
    int mode_ = 0;
    std::optional<Choice> chosen_;
};
