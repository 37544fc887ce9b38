#pragma once
#include "directories/operationsstore.h"

#include <QDialog>
#include <QString>

class DataModule;
namespace Ui { class OperationEditor; }

// The operation editor, TForm10: product and kind chosen through their lists, finished
// products or blanks. Saving refuses a second operation with the same product, kind and
// product kind, writes the operation and re-reads the operations list.
class OperationEditor : public QDialog {
    Q_OBJECT
public:
    explicit OperationEditor(QWidget* parent = nullptr);
    ~OperationEditor() override;

    // "Добавить" in the list: empty boxes, "Готовая продукция", mode 1.
    void prepareAdd();
    // "Изменить" in the list: the operation's product, kind and product kind, mode 2.
    void prepareChange(int operationId, const QString& marka, const QString& vid, int naimen,
                       qint64 productId, int kindId);

    // What the choosers fill in: the box and its id together.
    void setProduct(qint64 id, const QString& marka);
    void setKind(int id, const QString& vid);

    // 1 add, any other value change.
    int mode() const { return mode_; }
    qint64 productId() const { return productId_; }
    int kindId() const { return kindId_; }
    int operationId() const { return operationId_; }

    // Handlers of the user's actions (public so that tests can drive them).
    void onChooseProduct();
    void onChooseKind();
    void onSave();

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Re-reads Oper and makes the operation current, so the list shows it at once.
    void reloadOperAt(int operationId);

    Ui::OperationEditor* ui;
    DataModule* dm;
    OperationsStore store;
    int mode_ = 1;
    qint64 productId_ = 0;
    int kindId_ = 0;
    int operationId_ = 0;
};
