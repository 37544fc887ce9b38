#pragma once
#include "directories/workersstore.h"

#include <QDialog>
#include <QString>
#include <optional>

class DataModule;
namespace ListWindow { class SearchBox; }
namespace Ui { class WorkersList; }

// The workers list, "Список рабочих" (TForm5): every worker of the shared dataset
// Workers with a search box. In directory mode it adds, changes and deletes workers
// through the worker editor; in choose mode it hands the chosen worker back to the
// journal entry editor.
class WorkersList : public QDialog {
    Q_OBJECT
public:
    explicit WorkersList(QWidget* parent = nullptr);
    ~WorkersList() override;

    // Directory mode, opened from the journal's menu.
    void showDirectory();

    struct Choice {
        int id = 0;
        QString fio;   // trimmed
    };
    // Choose mode for the journal entry editor: opens Workers, shows the list modally,
    // closes Workers; the chosen worker, or nothing when the list was closed otherwise
    // or was empty.
    std::optional<Choice> choose();

    // The list's tag: ListWindow::DirectoryMode or ListWindow::ChooseMode.
    int mode() const { return mode_; }

    // Handlers of the user's actions.
    void onAdd();
    void onChangeOrChoose();
    void onDelete();

private:
    void showWithWorkers();

    Ui::WorkersList* ui;
    DataModule* dm;
    WorkersStore store_;
    ListWindow::SearchBox* search_;
    int mode_;
    std::optional<Choice> chosen_;
};
