#include "directories/operationslist.h"
#include "ui_operationslist.h"

#include "app/windows.h"
#include "db/datamodule.h"
#include "directories/normswindow.h"
#include "directories/operationeditor.h"
#include "export/spreadsheet.h"
#include "ui/datasetgrid.h"
#include "ui/guard.h"
#include "ui/messages.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>

namespace {

// The lowest norm price as money: two decimals at least, four (as stored) at most.
QString minPriceText(const QVariant& value)
{
    if (value.isNull())
        return {};
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = locale.toString(value.toDouble(), 'f', 4);
    const QString point = locale.decimalPoint();
    while (text.endsWith(u'0') && text.indexOf(point) < text.size() - 3)
        text.chop(1);
    return text;
}

// Puts the wait cursor up for the life of the object, whatever way the export ends.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}

OperationsList::OperationsList(QWidget* parent)
    : QDialog(parent), ui(new Ui::OperationsList), dm(DataModule::instance()), store(dm)
{
    ui->setupUi(this);

    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    const Qt::Alignment centre = Qt::AlignCenter;
    bindGrid(ui->DBGrid1, dm->Oper,
             {{QStringLiteral("MARKA"), QStringLiteral("Марка"), 200},
              {QStringLiteral("VID"), QStringLiteral("Опреция"), 220},
              {QStringLiteral("cena"), QStringLiteral("Цена (min)"), 90, right, true, minPriceText},
              {QStringLiteral("nmn"), QStringLiteral("Вид"), 140},
              {QStringLiteral("norma"), QStringLiteral("Нормы (шт.)"), 80, centre},
              {QStringLiteral("id"), QStringLiteral("id"), -1, right, false},
              {QStringLiteral("i_id"), QStringLiteral("i_id"), -1, right, false},
              {QStringLiteral("oper_vid"), QStringLiteral("oper_vid"), -1, right, false}});
    ui->DBGrid1->horizontalHeader()->setStretchLastSection(false);

    ui->Button1->setDefault(true);
    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &OperationsList::onAdd));
    connect(ui->Button2, &QPushButton::clicked, this, guardedSlot(this, &OperationsList::onChangeOrChoose));
    connect(ui->Button3, &QPushButton::clicked, this, guardedSlot(this, &OperationsList::onDelete));
    connect(ui->Button5, &QPushButton::clicked, this, guardedSlot(this, &OperationsList::onExcel));
    connect(ui->Button4, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->DBGrid1, &QAbstractItemView::doubleClicked, this,
            guardedSlot(this, &OperationsList::onGridDoubleClicked));
    connect(ui->Edit1, &QLineEdit::textChanged, this,
            [this](const QString& text) { guarded([&] { onSearchChanged(text); }); });
    ui->Edit1->installEventFilter(this);
}

OperationsList::~OperationsList()
{
    delete ui;
}

void OperationsList::showDirectory()
{
    mode_ = 0;
    dm->Oper->reopen();
    ui->Button2->setText(QStringLiteral("Изменить"));
    ui->Button2->setDefault(false);
    ui->Button1->setDefault(true);
    ui->Button1->show();
    ui->Button3->show();
    exec();
    dm->Oper->close();
}

std::optional<OperationsList::Choice> OperationsList::choose(int locateId)
{
    mode_ = 1;
    chosen_.reset();
    ui->Edit1->show();
    ui->Edit1->clear();   // switches the filter off
    dm->Oper->reopen();
    if (locateId == 0 || !dm->Oper->locate(QStringLiteral("id"), locateId))
        dm->Oper->first();
    ui->Button2->setText(QStringLiteral("Выбрать"));
    ui->Button1->setDefault(false);
    ui->Button2->setDefault(true);
    ui->Button1->hide();
    ui->Button3->hide();

    exec();

    ui->Button2->setDefault(false);
    ui->Edit1->hide();
    // Switching the filter off moves to the first row; the editor reads the chosen one.
    const QVariant currentId = dm->Oper->value(QStringLiteral("id"));
    dm->Oper->clearFilter();
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
    if (mode_ == 1)
        onChoose();
    else
        onChange();
}

void OperationsList::onGridDoubleClicked()
{
    if (mode_ == 1)
        onChoose();
    else if (ui->CheckBox1->isChecked())
        onNorms();
    else
        onChange();
}

void OperationsList::onChoose()
{
    if (!hasCurrentRow())
        return;
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
    OperationEditor* editor = appWindows().operationEditor;
    if (mode_ == 1 || !editor)
        return;
    editor->prepareAdd();
    editor->exec();
}

void OperationsList::onChange()
{
    OperationEditor* editor = appWindows().operationEditor;
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
    if (mode_ == 1 || !hasCurrentRow())
        return;
    if (!Messages::question(QStringLiteral("Удалить операцию?"), QStringLiteral("Удаление")))
        return;
    const int row = dm->Oper->recNo();
    store.remove(dm->Oper->value(QStringLiteral("id")).toInt());
    dm->Oper->reopen();
    dm->Oper->setRecNo(row);
}

void OperationsList::onExcel()
{
    WaitCursor wait;
    store.exportPriceList(Spreadsheet::reports());
}

void OperationsList::onNorms()
{
    NormsWindow* norms = appWindows().norms;
    if (!norms || !hasCurrentRow())
        return;
    norms->showForOperation(dm->Oper->value(QStringLiteral("id")).toInt());
}

void OperationsList::onSearchChanged(const QString& text)
{
    if (text.trimmed().isEmpty()) {
        dm->Oper->clearFilter();
        return;
    }
    // Plain text compared on the client: quotes, % or \ in it are just characters.
    dm->Oper->setFilter([text](const QSqlRecord& row) {
        return row.value(QStringLiteral("MARKA")).toString().startsWith(text, Qt::CaseInsensitive);
    });
}

bool OperationsList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->Edit1 && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
            dm->Oper->prior();
            return true;
        case Qt::Key_Down:
            dm->Oper->next();
            return true;
        // The search box only takes typed characters and Backspace.
        case Qt::Key_Delete:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Left:
        case Qt::Key_Right:
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void OperationsList::focusSearchBox()
{
    if (ui->Edit1->isVisible())
        ui->Edit1->setFocus();
    else
        ui->DBGrid1->setFocus();
}

void OperationsList::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    focusSearchBox();
}

bool OperationsList::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        focusSearchBox();
    return QDialog::event(event);
}
