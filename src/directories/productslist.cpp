#include "directories/productslist.h"
#include "ui_productslist.h"

#include "core/windowlookup.h"
#include "db/datamodule.h"
#include "directories/producteditor.h"
#include "ui/datasetgrid.h"
#include "ui/guard.h"
#include "ui/listwindow.h"

#include <QHeaderView>
#include <utility>

ProductsList::ProductsList(QWidget* parent)
    : ChooserList(parent), ui(new Ui::ProductsList), dm(DataModule::instance()), store_(dm)
{
    ui->setupUi(this);
    bindGrid(ui->DBGrid1, dm->Izdel,
             {{QStringLiteral("marka"), QStringLiteral("Марка изделия"), 260},
              {QStringLiteral("massa"), QStringLiteral("Коробки")}});
    ui->DBGrid1->horizontalHeader()->setStretchLastSection(true);
    setUpList(dm->Izdel, {ui->Button1, ui->Button2, ui->Button3},
              new ListWindow::SearchBox(ui->Edit1, dm->Izdel, QStringLiteral("marka"),
                                        ListWindow::SearchBox::OtherKeys::Normal, this));

    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &ProductsList::onAdd));
    connect(ui->Button2, &QPushButton::clicked, this, guardedSlot(this, &ProductsList::onChangeOrChoose));
    connect(ui->DBGrid1, &QTableView::doubleClicked, this, guardedSlot(this, &ProductsList::onChangeOrChoose));
    connect(ui->Button3, &QPushButton::clicked, this, guardedSlot(this, &ProductsList::onDelete));
    connect(ui->Button4, &QPushButton::clicked, this, &QDialog::reject);
}

ProductsList::~ProductsList()
{
    delete ui;
}

std::optional<ProductsList::Choice> ProductsList::choose()
{
    chosen_.reset();
    showChooser();
    return std::exchange(chosen_, std::nullopt);
}

void ProductsList::onAdd()
{
    Dataset* products = dm->Izdel;
    const int row = products->recNo();
    ProductEditor* editor = ListWindow::required(WindowLookup::find<ProductEditor>(), "Окно данных изделия не создано");
    editor->prepareAdd();
    editor->exec();
    if (row > 0)
        products->setRecNo(row);
}

void ProductsList::onChangeOrChoose()
{
    Dataset* products = dm->Izdel;
    if (mode() == ListWindow::ChooseMode) {
        // An empty list hands back no product at all: an empty marka and id 0.
        chosen_ = products->isEmpty() ? Choice{0, QString()}
                                      : Choice{products->value(QStringLiteral("id")).toLongLong(),
                                               products->value(QStringLiteral("marka")).toString().trimmed()};
        accept();
        return;
    }
    if (products->isEmpty())
        return;
    const int row = products->recNo();
    ProductEditor* editor = ListWindow::required(WindowLookup::find<ProductEditor>(), "Окно данных изделия не создано");
    editor->prepareChange(products->value(QStringLiteral("id")).toLongLong(),
                          products->value(QStringLiteral("marka")).toString().trimmed(),
                          products->value(QStringLiteral("massa")).toDouble());
    editor->exec();
    products->setRecNo(row);
}

void ProductsList::onDelete()
{
    Dataset* products = dm->Izdel;
    if (products->isEmpty())
        return;
    if (!Messages::question(QStringLiteral("Удалить изделие?"), QStringLiteral("Удаление")))
        return;
    const int row = products->recNo();
    store_.deleteProduct(products->value(QStringLiteral("id")).toLongLong());
    ListWindow::reload(products, row);
}
