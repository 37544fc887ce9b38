#pragma once
#include "directories/kindsstore.h"
#include "ui/listwindow.h"

#include <QString>
#include <optional>

class DataModule;
namespace Ui { class KindsList; }

// The operation kinds list, "Виды операций" (TForm8): the kinds of the shared dataset
// Vid_oper. In directory mode it adds, changes and deletes kinds through the kind
// editor; in choose mode it hands the chosen kind back to the operation editor.
class KindsList : public ListWindow::ChooserList {
    Q_OBJECT
public:
    explicit KindsList(QWidget* parent = nullptr);
    ~KindsList() override;

    struct Choice {
        int id = 0;        // vid_oper.id
        QString vid;       // trimmed
    };
    // Choose mode for the operation editor: opens Vid_oper, shows the list modally,
    // closes Vid_oper; the chosen kind, or nothing when closed otherwise or empty.
    std::optional<Choice> choose();

    // Handlers of the user's actions.
    void onAdd();
    void onChangeOrChoose();
    void onDelete();

private:
    Ui::KindsList* ui;
    DataModule* dm;
    KindsStore store_;
    std::optional<Choice> chosen_;
};
