#pragma once
#include "directories/productsstore.h"
#include "ui/listwindow.h"

#include <QString>
#include <optional>

class DataModule;
namespace Ui { class ProductsList; }

// The products list, "Изделия" (TForm3): the products of the shared dataset Izdel. In
// directory mode it adds, changes (double click) and deletes products through the
// product editor; in choose mode a double click hands the product back to the
// operation editor.
class ProductsList : public ListWindow::ChooserList {
    Q_OBJECT
public:
    explicit ProductsList(QWidget* parent = nullptr);
    ~ProductsList() override;

    struct Choice {
        qint64 id = 0;     // izdel.id
        QString marka;     // trimmed
    };
    // Choose mode for the operation editor: opens Izdel, shows the list modally, closes
    // Izdel; the chosen product, or nothing when closed otherwise or empty.
    std::optional<Choice> choose();

    // Handlers of the user's actions.
    void onAdd();
    void onChangeOrChoose();
    void onDelete();

private:
    Ui::ProductsList* ui;
    DataModule* dm;
    ProductsStore store_;
    std::optional<Choice> chosen_;
};
