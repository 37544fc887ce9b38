#include "directories/operationeditor.h"
#include "ui_operationeditor.h"

#include "core/windowlookup.h"
#include "db/datamodule.h"
#include "directories/kindslist.h"
#include "directories/productslist.h"
#include "ui/guard.h"
#include "ui/listwindow.h"
#include "ui/messages.h"

OperationEditor::OperationEditor(QWidget* parent)
    : QDialog(parent), ui(new Ui::OperationEditor), dm(DataModule::instance()), store(dm)
{
    ui->setupUi(this);
    setFixedSize(sizeHint().expandedTo(QSize(440, 0)));
    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &OperationEditor::onSave));
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->Button3, &QPushButton::clicked, this, guardedSlot(this, &OperationEditor::onChooseProduct));
    connect(ui->Button4, &QPushButton::clicked, this, guardedSlot(this, &OperationEditor::onChooseKind));
}

OperationEditor::~OperationEditor()
{
    delete ui;
}

void OperationEditor::prepareAdd()
{
    ui->Edit1->clear();
    ui->Edit2->clear();
    ui->ComboBox1->setCurrentIndex(0);
    setWindowTitle(QStringLiteral("Заведение новой цены за операцию"));
    mode_ = 1;
    operationId_ = 0;
}

void OperationEditor::prepareChange(int operationId, const QString& marka, const QString& vid, int naimen,
                                    qint64 productId, int kindId)
{
    setWindowTitle(QStringLiteral("Изменение данных о цене за операцию"));
    mode_ = 2;
    operationId_ = operationId;
    setProduct(productId, marka.trimmed());
    setKind(kindId, vid.trimmed());
    // Any value but 0 means blanks.
    ui->ComboBox1->setCurrentIndex(naimen == 0 ? 0 : 1);
}

void OperationEditor::setProduct(qint64 id, const QString& marka)
{
    productId_ = id;
    ui->Edit1->setText(marka);
}

void OperationEditor::setKind(int id, const QString& vid)
{
    kindId_ = id;
    ui->Edit2->setText(vid);
}

void OperationEditor::onChooseProduct()
{
    ProductsList* products = WindowLookup::find<ProductsList>();
    if (!products)
        return;
    if (const auto chosen = products->choose())
        setProduct(chosen->id, chosen->marka);
}

void OperationEditor::onChooseKind()
{
    KindsList* kinds = WindowLookup::find<KindsList>();
    if (!kinds)
        return;
    if (const auto chosen = kinds->choose())
        setKind(chosen->id, chosen->vid);
}

void OperationEditor::onSave()
{
    if (ui->Edit1->text().trimmed().isEmpty() || ui->Edit2->text().trimmed().isEmpty()) {
        Messages::error(QStringLiteral("Все поля должны быть заполнены!"), QStringLiteral("Ошибка"));
        return;
    }
    const OperationsStore::Key key{kindId_, ui->ComboBox1->currentIndex() == 0 ? 0 : 1, productId_};
    if (mode_ == 1) {
        if (store.existsOnAdd(key))
            return;
        operationId_ = store.add(key);
    } else {
        if (store.existsOnChange(key, operationId_))
            return;
        if (store.change(operationId_, key) == 0) {
            // Nothing to change any more: say so rather than pretend it was saved.
            Messages::error(QStringLiteral("Операция не найдена: она удалена с другого рабочего места."),
                            QStringLiteral("Ошибка"));
            ListWindow::reload(dm->Oper);
            reject();
            return;
        }
    }
    reloadOperAt(operationId_);
    accept();
}

void OperationEditor::reloadOperAt(int operationId)
{
    ListWindow::reload(dm->Oper);
    dm->Oper->locate(QStringLiteral("id"), operationId);
}

void OperationEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    ui->Button3->setFocus();
}

bool OperationEditor::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        ui->Button3->setFocus();
    return QDialog::event(event);
}
