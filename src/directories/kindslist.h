#pragma once
#include "directories/kindsstore.h"

#include <QDialog>
#include <QString>
#include <optional>

class DataModule;
namespace ListWindow { class SearchBox; }
namespace Ui { class KindsList; }

// The operation kinds list, "Виды операций" (TForm8): the kinds of the shared dataset
// Vid_oper. In directory mode it adds, changes and deletes kinds through the kind
// editor; in choose mode it hands the chosen kind back to the operation editor.
class KindsList : public QDialog {
    Q_OBJECT
public:
    explicit KindsList(QWidget* parent = nullptr);
    ~KindsList() override;

    // Directory mode, opened from the journal's menu: shows the list modally.
    void showDirectory();

    struct Choice {
        int id = 0;        // vid_oper.id
        QString vid;       // trimmed
    };
    // Choose mode for the operation editor: opens Vid_oper, shows the list modally,
    // closes Vid_oper; the chosen kind, or nothing when closed otherwise or empty.
    std::optional<Choice> choose();

    // The list's tag: ListWindow::DirectoryMode or ListWindow::ChooseMode.
    int mode() const { return mode_; }

    // Handlers of the user's actions.
    void onAdd();
    void onChangeOrChoose();
    void onDelete();

private:
    Ui::KindsList* ui;
    DataModule* dm;
    KindsStore store_;
    ListWindow::SearchBox* search_;
    int mode_;
    std::optional<Choice> chosen_;
};
