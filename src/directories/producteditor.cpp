#include "directories/producteditor.h"
#include "ui_producteditor.h"

#include "db/datamodule.h"
#include "ui/guard.h"
#include "ui/listwindow.h"
#include "ui/messages.h"

#include <QEvent>

ProductEditor::ProductEditor(QWidget* parent)
    : QDialog(parent), ui(new Ui::ProductEditor), store_(DataModule::instance())
{
    ui->setupUi(this);
    // The number is kept as numeric(28, 6): 22 digits before the comma, 6 after.
    ui->Edit2->allowDecimals(22, 6);
    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &ProductEditor::onSave));
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
}

ProductEditor::~ProductEditor()
{
    delete ui;
}

void ProductEditor::prepareAdd()
{
    ui->Edit1->clear();
    ui->Edit2->clear();
    setWindowTitle(QStringLiteral("Заведение нового изделия"));
    mode_ = AddMode;
    productId_ = 0;
}

void ProductEditor::prepareChange(qint64 id, const QString& marka, double massa)
{
    setWindowTitle(QStringLiteral("Изменение данных изделия"));
    mode_ = ChangeMode;
    productId_ = id;
    ui->Edit1->setText(marka);
    ui->Edit2->setText(ProductsStore::numberText(massa));
}

void ProductEditor::onSave()
{
    const QString marka = ui->Edit1->text().trimmed();
    const QString numberText = ui->Edit2->text().trimmed();
    if (marka.isEmpty() || numberText.isEmpty()) {
        Messages::error(QStringLiteral("Все поля должны быть заполнены!"), QStringLiteral("Ошибка"));
        return;
    }
    if (const auto problem = ProductsStore::markaProblem(marka)) {
        Messages::error(*problem, QStringLiteral("Ошибка"));
        return;
    }
    const std::optional<qint64> ownId = mode_ == AddMode ? std::nullopt : std::optional<qint64>(productId_);
    if (store_.markaTaken(marka, ownId))
        return;
    const std::optional<double> massa = ProductsStore::readNumber(numberText);
    if (!massa) {
        Messages::error(ProductsStore::numberProblem(numberText), QStringLiteral("Ошибка"));
        return;
    }
    if (mode_ == AddMode) {
        store_.addProduct(marka, *massa);
    } else if (!store_.changeProduct(productId_, marka, *massa)) {
        Messages::error(QStringLiteral("Изделие не найдено: его удалили с другого рабочего места."),
                        QStringLiteral("Ошибка"));
    }
    ListWindow::reload(DataModule::instance()->Izdel);
    accept();
}

bool ProductEditor::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate || e->type() == QEvent::Show)
        ui->Edit1->setFocus();
    return QDialog::event(e);
}
