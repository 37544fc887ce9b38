#include "directories/kindslist.h"
#include "ui_kindslist.h"

#include "core/windowlookup.h"
#include "db/datamodule.h"
#include "directories/kindeditor.h"
#include "ui/datasetgrid.h"
#include "ui/guard.h"
#include "ui/listwindow.h"

#include <QHeaderView>
#include <utility>

KindsList::KindsList(QWidget* parent)
    : ChooserList(parent), ui(new Ui::KindsList), dm(DataModule::instance()), store_(dm)
{
    ui->setupUi(this);
    bindGrid(ui->DBGrid1, dm->Vid_oper, {{QStringLiteral("vid"), QStringLiteral("Операции")}});
    ui->DBGrid1->horizontalHeader()->setStretchLastSection(true);
    setUpList(dm->Vid_oper, {ui->Button1, ui->Button2, ui->Button3},
              new ListWindow::SearchBox(ui->Edit1, dm->Vid_oper, QStringLiteral("vid"),
                                        ListWindow::SearchBox::OtherKeys::TypingOnly, this));

    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &KindsList::onAdd));
    connect(ui->Button2, &QPushButton::clicked, this, guardedSlot(this, &KindsList::onChangeOrChoose));
    connect(ui->DBGrid1, &QTableView::doubleClicked, this, guardedSlot(this, &KindsList::onChangeOrChoose));
    connect(ui->Button3, &QPushButton::clicked, this, guardedSlot(this, &KindsList::onDelete));
    connect(ui->Button4, &QPushButton::clicked, this, &QDialog::reject);
}

KindsList::~KindsList()
{
    delete ui;
}

std::optional<KindsList::Choice> KindsList::choose()
{
    chosen_.reset();
    showChooser();
    return std::exchange(chosen_, std::nullopt);
}

void KindsList::onAdd()
{
    KindEditor* editor = ListWindow::required(WindowLookup::find<KindEditor>(), "Окно вида операции не создано");
    editor->prepareAdd();
    editor->exec();
}

void KindsList::onChangeOrChoose()
{
    Dataset* kinds = dm->Vid_oper;
    if (mode() == ListWindow::ChooseMode) {
        // An empty list hands back no kind at all: an empty name and id 0.
        chosen_ = kinds->isEmpty() ? Choice{0, QString()}
                                   : Choice{kinds->value(QStringLiteral("id")).toInt(),
                                            kinds->value(QStringLiteral("vid")).toString().trimmed()};
        accept();
        return;
    }
    if (kinds->isEmpty())
        return;
    KindEditor* editor = ListWindow::required(WindowLookup::find<KindEditor>(), "Окно вида операции не создано");
    editor->prepareChange(kinds->value(QStringLiteral("id")).toInt(),
                          kinds->value(QStringLiteral("vid")).toString().trimmed());
    editor->exec();
}

void KindsList::onDelete()
{
    Dataset* kinds = dm->Vid_oper;
    if (kinds->isEmpty())
        return;
    if (!Messages::question(QStringLiteral("Удалить вид операции?"), QStringLiteral("Удаление")))
        return;
    store_.deleteKind(kinds->value(QStringLiteral("id")).toInt());
    ListWindow::reload(kinds);
}
