#pragma once
#include <QDate>
#include <QDialog>
#include <QSqlRecord>

// The journal entry editor, TForm11 (placeholder until it is built).
class EntryEditor : public QDialog {
    Q_OBJECT
public:
    explicit EntryEditor(QWidget* parent = nullptr);

    // "Добавить" in the journal: empties worker, operation, quantity and colour, sets
    // defects and hours to "0", the date to the journal's date, mode 1 and the caption.
    void prepareNew(const QDate& date);
    // "Изменить" in the journal: fills everything from the journal row, mode 2.
    void prepareChange(const QSqlRecord& row);
};
