#pragma once
#include "history/historystore.h"

#include <QDialog>
#include <QVector>

class DataModule;
namespace Ui { class HistoryWindow; }

// "История изменений": the changes the server traced, newest first, a page at a time,
// filtered by period and worker; or the history of one journal entry. Read only.
class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    explicit HistoryWindow(QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // The whole history, filters as the user left them; shown modally.
    void showAll();
    // The history of one journal entry; shown modally.
    void showEntry(qint64 entryId);

    // Prepares the window as showAll()/showEntry() do, without showing it (tests).
    void prepareAll();
    void prepareEntry(qint64 entryId);
    void setPageSize(int rows) { pageSize_ = rows; }

    // Handlers of the user's actions.
    void onShow();
    void onNext();
    void onPrev();
    void onRowChosen();

private:
    enum Column { When, What, Key, Worker, Action, Changes, Program, User, Workstation, RoleColumn, ColumnCount };

    void tellUnavailable();
    void fillWorkers();
    void loadPage();
    void fitColumns();
    History::Filter filter() const;

    Ui::HistoryWindow* ui;
    History::Store store_;
    QVector<History::Row> rows_;
    History::Names names_;                  // of the codes rows_ refer to
    QVector<History::Cursor> pageStarts_;   // where each page shown so far starts
    bool hasNext_ = false;
    qint64 entryId_ = 0;                    // 0: the whole history
    int pageSize_ = History::Store::kPageSize;
};
