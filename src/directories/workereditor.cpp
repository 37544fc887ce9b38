#include "directories/workereditor.h"
#include "ui_workereditor.h"

#include "db/datamodule.h"
#include "ui/guard.h"
#include "ui/messages.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWheelEvent>

namespace {

// Refills a lookup list, keeping the entry selected before when it is still there.
void fillLookup(QComboBox* box, const QVector<WorkersStore::LookupRow>& rows)
{
    const QVariant selected = box->currentIndex() >= 0 ? box->currentData() : QVariant();
    box->clear();
    for (const WorkersStore::LookupRow& row : rows)
        box->addItem(row.caption, row.id);
    box->setCurrentIndex(selected.isValid() ? box->findData(selected) : -1);
}

}

WorkerEditor::WorkerEditor(QWidget* parent)
    : QDialog(parent), ui(new Ui::WorkerEditor), store_(DataModule::instance())
{
    ui->setupUi(this);
    for (QComboBox* box : {ui->LCB_department, ui->LCB_staffpos, ui->LCB_roles}) {
        box->setCurrentIndex(-1);
        box->installEventFilter(this);
    }
    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &WorkerEditor::onSave));
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
}

WorkerEditor::~WorkerEditor()
{
    delete ui;
}

void WorkerEditor::prepareAdd()
{
    ui->Edit1->clear();
    setWindowTitle(QStringLiteral("Заведение данных нового работника"));
    mode_ = AddMode;
    storedPosition_.clear();
    reloadLookups();
}

void WorkerEditor::prepareChange(int id, const QString& fio, const QString& position)
{
    setWindowTitle(QStringLiteral("Изменение данных работника"));
    mode_ = ChangeMode;
    reloadLookups();
    ui->Edit1->setText(fio);
    workerId_ = id;
    // A change of the name alone must not overwrite the worker's department with
    // whatever the list showed last, so the list starts at the worker's own one.
    storedPosition_ = position;
    ui->LCB_department->setCurrentIndex(position.isEmpty() ? -1 : ui->LCB_department->findText(position));
}

void WorkerEditor::reloadLookups()
{
    fillLookup(ui->LCB_staffpos, store_.positions());
    fillLookup(ui->LCB_roles, store_.roles());
    fillLookup(ui->LCB_department, store_.departments());
}

QString WorkerEditor::positionText() const
{
    if (ui->LCB_department->currentIndex() >= 0)
        return ui->LCB_department->currentText();
    return mode_ == AddMode ? QString() : storedPosition_;
}

void WorkerEditor::onSave()
{
    const QString fio = ui->Edit1->text().trimmed();
    if (const auto problem = WorkersStore::nameProblem(fio)) {
        Messages::error(*problem, QStringLiteral("Ошибка"));
        return;
    }
    if (mode_ == AddMode) {
        store_.addWorker(fio, positionText());
    } else if (!store_.changeWorker(workerId_, fio, positionText())) {
        Messages::error(QStringLiteral("Работник не найден: его удалили с другого рабочего места."),
                        QStringLiteral("Ошибка"));
    }
    accept();
}

bool WorkerEditor::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate || e->type() == QEvent::Show)
        ui->Edit1->setFocus();
    return QDialog::event(e);
}

bool WorkerEditor::eventFilter(QObject* watched, QEvent* e)
{
    // The wheel never scrolls the list under the mouse; it moves the focused one.
    if (e->type() == QEvent::Wheel) {
        wheelOverLists(static_cast<QWheelEvent*>(e));
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

void WorkerEditor::wheelEvent(QWheelEvent* e)
{
    wheelOverLists(e);
}

void WorkerEditor::wheelOverLists(QWheelEvent* e)
{
    e->accept();
    QComboBox* focused = nullptr;
    for (QComboBox* box : {ui->LCB_roles, ui->LCB_staffpos, ui->LCB_department})
        if (box->hasFocus())
            focused = box;
    if (!focused) {
        wheelRest_ = 0;
        return;
    }
    wheelRest_ += e->angleDelta().y();
    while (wheelRest_ <= -QWheelEvent::DefaultDeltasPerStep || wheelRest_ >= QWheelEvent::DefaultDeltasPerStep) {
        const bool down = wheelRest_ < 0;
        wheelRest_ += down ? QWheelEvent::DefaultDeltasPerStep : -QWheelEvent::DefaultDeltasPerStep;
        QKeyEvent press(QEvent::KeyPress, down ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
        QApplication::sendEvent(focused, &press);
    }
}
