#include "directories/workerslist.h"
#include "ui_workerslist.h"

#include "core/windowlookup.h"
#include "db/datamodule.h"
#include "directories/workereditor.h"
#include "ui/datasetgrid.h"
#include "ui/guard.h"
#include "ui/listwindow.h"

#include <QHeaderView>
#include <utility>

WorkersList::WorkersList(QWidget* parent)
    : QDialog(parent),
      ui(new Ui::WorkersList),
      dm(DataModule::instance()),
      store_(dm),
      mode_(ListWindow::DirectoryMode)
{
    ui->setupUi(this);
    bindGrid(ui->DBGrid1, dm->Workers,
             {{QStringLiteral("fio"), QStringLiteral("ФИО"), 300},
              {QStringLiteral("s_staffpos_hl"), QStringLiteral("Должность")}});
    ui->DBGrid1->horizontalHeader()->setStretchLastSection(true);
    search_ = new ListWindow::SearchBox(ui->Edit1, dm->Workers, QStringLiteral("fio"),
                                        ListWindow::SearchBox::OtherKeys::TypingOnly, this);

    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &WorkersList::onAdd));
    connect(ui->Button2, &QPushButton::clicked, this, guardedSlot(this, &WorkersList::onChangeOrChoose));
    connect(ui->DBGrid1, &QTableView::doubleClicked, this, guardedSlot(this, &WorkersList::onChangeOrChoose));
    connect(ui->Button3, &QPushButton::clicked, this, guardedSlot(this, &WorkersList::onDelete));
    connect(ui->Button4, &QPushButton::clicked, this, &QDialog::reject);
}

WorkersList::~WorkersList()
{
    delete ui;
}

void WorkersList::showDirectory()
{
    mode_ = ListWindow::DirectoryMode;
    dm->Workers->open();
    ListWindow::setDirectoryMode({ui->Button1, ui->Button2, ui->Button3});
    // Opened from the menu the list shows every worker: a search typed earlier in the
    // chooser would otherwise hide all but a few.
    search_->showEmpty();
    showWithWorkers();
}

std::optional<WorkersList::Choice> WorkersList::choose()
{
    mode_ = ListWindow::ChooseMode;
    dm->Workers->open();
    ListWindow::setChooseMode({ui->Button1, ui->Button2, ui->Button3});
    ui->Button2->show();
    search_->showEmpty();
    chosen_.reset();
    showWithWorkers();
    return std::exchange(chosen_, std::nullopt);
}

void WorkersList::showWithWorkers()
{
    search_->apply();
    exec();
    search_->release();
    dm->Workers->close();
}

void WorkersList::onAdd()
{
    WorkerEditor* editor = ListWindow::required(WindowLookup::find<WorkerEditor>(), "Окно данных работника не создано");
    editor->prepareAdd();
    editor->exec();
    ListWindow::reload(dm->Workers);
}

void WorkersList::onChangeOrChoose()
{
    Dataset* workers = dm->Workers;
    if (mode_ == ListWindow::ChooseMode) {
        if (!workers->isEmpty())
            chosen_ = Choice{workers->value(QStringLiteral("id")).toInt(),
                             workers->value(QStringLiteral("fio")).toString().trimmed()};
        accept();
        return;
    }
    if (workers->isEmpty())
        return;
    const int row = workers->recNo();
    WorkerEditor* editor = ListWindow::required(WindowLookup::find<WorkerEditor>(), "Окно данных работника не создано");
    editor->prepareChange(workers->value(QStringLiteral("id")).toInt(),
                          workers->value(QStringLiteral("fio")).toString().trimmed(),
                          workers->value(QStringLiteral("s_staffpos_hl")).toString().trimmed());
    editor->exec();
    ListWindow::reload(workers, row);
}

void WorkersList::onDelete()
{
    Dataset* workers = dm->Workers;
    if (workers->isEmpty())
        return;
    if (!Messages::question(QStringLiteral("Удалить работника?"), QStringLiteral("Удаление")))
        return;
    const int row = workers->recNo();
    store_.deleteWorker(workers->value(QStringLiteral("id")).toInt());
    ListWindow::reload(workers);
    if (row <= workers->recordCount())
        workers->setRecNo(row);
}
