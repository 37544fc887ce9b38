#pragma once
#include <QDialog>
#include <QString>
#include <optional>

// The workers list, "Список рабочих" (placeholder until the directory is built).
class WorkersList : public QDialog {
    Q_OBJECT
public:
    explicit WorkersList(QWidget* parent = nullptr);

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
};
