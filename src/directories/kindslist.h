#pragma once
#include <QDialog>
#include <QString>
#include <optional>

// Операции — placeholder until the directory is built.
class KindsList : public QDialog {
    Q_OBJECT
public:
    explicit KindsList(QWidget* parent = nullptr);
    // Directory mode, opened from the journal's menu: shows the list modally.
    void showDirectory();

    struct Choice {
        int id = 0;        // vid_oper.id
        QString vid;       // trimmed
    };
    // Choose mode for the operation editor: opens Vid_oper, shows the list modally,
    // closes Vid_oper; the chosen kind, or nothing when closed otherwise or empty.
    std::optional<Choice> choose();
};
