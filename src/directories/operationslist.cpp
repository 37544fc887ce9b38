#include "directories/operationslist.h"
#include "ui_operationslist.h"

#include "core/windowlookup.h"
#include "db/datamodule.h"
#include "directories/normswindow.h"
#include "directories/operationeditor.h"
#include "export/spreadsheet.h"
#include "ui/datasetgrid.h"
#include "ui/guard.h"
#include "ui/listwindow.h"
#include "ui/waitcursor.h"
#include "ui/messages.h"
#include "ui/numbertext.h"

#include <QApplication>
#include <QHeaderView>
#include <QLocale>

namespace {

// The lowest norm price as money: two decimals at least, four (as stored) at most.
QString minPriceText(const QVariant& value)
{
    if (value.isNull())
        return {};
    const QLocale locale = NumberText::russianPlain();
    QString text = locale.toString(value.toDouble(), 'f', 4);
    const QString point = locale.decimalPoint();
    while (text.endsWith(u'0') && text.indexOf(point) < text.size() - 3)
        text.chop(1);
    return text;
}

}

OperationsList::OperationsList(QWidget* parent)
    : QDialog(parent), ui(new Ui::OperationsList), dm(DataModule::instance()), store(dm)
{
    ui->setupUi(this);

    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    const Qt::Alignment centre = Qt::AlignCenter;
    bindGrid(ui->DBGrid1, dm->Oper,
             {{QStringLiteral("MARKA"), QStringLiteral("Марка"), 180},
              {QStringLiteral("VID"), QStringLiteral("Опреция"), 210},
              {QStringLiteral("cena"), QStringLiteral("Цена (min)"), 95, right, true, minPriceText},
              {QStringLiteral("nmn"), QStringLiteral("Вид"), 140},
              {QStringLiteral("norma"), QStringLiteral("Нормы (шт.)"), 100, centre},
              {QStringLiteral("id"), QStringLiteral("id"), -1, right, false},
              {QStringLiteral("i_id"), QStringLiteral("i_id"), -1, right, false},
              {QStringLiteral("oper_vid"), QStringLiteral("oper_vid"), -1, right, false}});
    // The kind name takes what room is left.
    ui->DBGrid1->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);

    // The shared search box first, so that its filter is in place before ours looks at it.
    search_ = new ListWindow::SearchBox(ui->Edit1, dm->Oper, QStringLiteral("MARKA"),
                                        ListWindow::SearchBox::OtherKeys::TypingOnly, this);
    connect(ui->Edit1, &QLineEdit::textChanged, this,
            [this](const QString& text) { guarded([&] { onSearchChanged(text); }); });

    ui->Button1->setDefault(true);
    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &OperationsList::onAdd));
    connect(ui->Button2, &QPushButton::clicked, this, guardedSlot(this, &OperationsList::onChangeOrChoose));
    connect(ui->Button3, &QPushButton::clicked, this, guardedSlot(this, &OperationsList::onDelete));
    connect(ui->Button5, &QPushButton::clicked, this, guardedSlot(this, &OperationsList::onExcel));
    connect(ui->Button4, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->DBGrid1, &QAbstractItemView::doubleClicked, this,
            guardedSlot(this, &OperationsList::onGridDoubleClicked));
}

OperationsList::~OperationsList()
{
    delete ui;
}

void OperationsList::showDirectory()
{
    mode_ = ListWindow::DirectoryMode;
    ListWindow::reload(dm->Oper);
    ListWindow::setDirectoryMode({ui->Button1, ui->Button2, ui->Button3});
    exec();
    dm->Oper->close();
}

std::optional<OperationsList::Choice> OperationsList::choose(int locateId)
{
    mode_ = ListWindow::ChooseMode;
    chosen_.reset();
    search_->showEmpty();   // no filter
    ListWindow::reload(dm->Oper);
    if (locateId == 0 || !dm->Oper->locate(QStringLiteral("id"), locateId))
        dm->Oper->first();
    ListWindow::setChooseMode({ui->Button1, ui->Button2, ui->Button3});

    exec();

    ui->Button2->setDefault(false);
    // Hiding the box takes its filter off, which moves to the first row; the editor
    // reads the chosen one.
    const QVariant currentId = dm->Oper->value(QStringLiteral("id"));
    search_->hide();
    if (currentId.isValid())
        dm->Oper->locate(QStringLiteral("id"), currentId);
    return chosen_;
}

bool OperationsList::hasCurrentRow() const
{
    return dm->Oper->isOpen() && dm->Oper->recNo() > 0;
}

void OperationsList::onChangeOrChoose()
{
    if (mode_ == ListWindow::ChooseMode)
        onChoose();
    else
        onChange();
}

void OperationsList::onGridDoubleClicked()
{
    if (mode_ == ListWindow::ChooseMode)
        onChoose();
    else if (ui->CheckBox1->isChecked())
        onNorms();
    else
        onChange();
}

void OperationsList::onChoose()
{
    // As the other lists: choosing from an empty list closes it with nothing chosen.
    if (!hasCurrentRow()) {
        accept();
        return;
    }
    Choice choice;
    choice.id = dm->Oper->value(QStringLiteral("id")).toInt();
    choice.productId = dm->Oper->value(QStringLiteral("i_id")).toInt();
    choice.vid = dm->Oper->value(QStringLiteral("VID")).toString().trimmed();
    choice.naimen = dm->Oper->value(QStringLiteral("NAIMEN")).toInt();
    choice.cena = dm->Oper->value(QStringLiteral("cena")).toDouble();
    chosen_ = choice;
    accept();
}

void OperationsList::onAdd()
{
    OperationEditor* editor = WindowLookup::find<OperationEditor>();
    if (mode_ == ListWindow::ChooseMode || !editor)
        return;
    editor->prepareAdd();
    editor->exec();
}

void OperationsList::onChange()
{
    OperationEditor* editor = WindowLookup::find<OperationEditor>();
    if (!editor || !hasCurrentRow())
        return;
    editor->prepareChange(dm->Oper->value(QStringLiteral("id")).toInt(),
                          dm->Oper->value(QStringLiteral("MARKA")).toString(),
                          dm->Oper->value(QStringLiteral("VID")).toString(),
                          dm->Oper->value(QStringLiteral("NAIMEN")).toInt(),
                          dm->Oper->value(QStringLiteral("i_id")).toLongLong(),
                          dm->Oper->value(QStringLiteral("oper_vid")).toInt());
    editor->exec();
}

void OperationsList::onDelete()
{
    if (mode_ == ListWindow::ChooseMode || !hasCurrentRow())
        return;
    if (!Messages::question(QStringLiteral("Удалить операцию?"), QStringLiteral("Удаление")))
        return;
    const int row = dm->Oper->recNo();
    store.remove(dm->Oper->value(QStringLiteral("id")).toInt());
    ListWindow::reload(dm->Oper, row);
}

void OperationsList::onExcel()
{
    WaitCursor wait;
    store.exportPriceList(Spreadsheet::reports());
}

void OperationsList::onNorms()
{
    NormsWindow* norms = WindowLookup::find<NormsWindow>();
    if (!norms || !hasCurrentRow())
        return;
    norms->showForOperation(dm->Oper->value(QStringLiteral("id")).toInt());
}

void OperationsList::onSearchChanged(const QString& text)
{
    // A text of blanks only searches for nothing: every operation shows.
    if (!text.isEmpty() && text.trimmed().isEmpty())
        dm->Oper->clearFilter();
}
