#pragma once
#include "directories/productsstore.h"

#include <QDialog>
#include <QString>

namespace Ui { class ProductEditor; }

// The product editor (TForm7): a product's marka and its number ("Расценка", listed as
// "Коробки"). Opened by the products list, which sets its caption and mode.
class ProductEditor : public QDialog {
    Q_OBJECT
public:
    // The editor's tag: 1 adds a product, any other value changes one.
    enum Mode { AddMode = 1, ChangeMode = 2 };

    explicit ProductEditor(QWidget* parent = nullptr);
    ~ProductEditor() override;

    int mode() const { return mode_; }
    qint64 productId() const { return productId_; }

    // "Добавить": both boxes empty, the caption of a new product, add mode.
    void prepareAdd();
    // A double click in the list: the product's marka and number, change mode.
    void prepareChange(qint64 id, const QString& marka, double massa);

    // "Записать".
    void onSave();

protected:
    bool event(QEvent* e) override;

private:
    Ui::ProductEditor* ui;
    ProductsStore store_;
    int mode_ = AddMode;
    qint64 productId_ = 0;
};
