#pragma once
#include <QDialog>
#include <QString>
#include <optional>

// Operations and prices, "Цены" (placeholder until the directory is built).
class OperationsList : public QDialog {
    Q_OBJECT
public:
    explicit OperationsList(QWidget* parent = nullptr);

    // Directory mode, opened from the journal's menu.
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
};
