#include "directories/kindeditor.h"
#include "ui_kindeditor.h"

#include "db/datamodule.h"
#include "ui/guard.h"
#include "ui/listwindow.h"
#include "ui/messages.h"

#include <QEvent>

KindEditor::KindEditor(QWidget* parent)
    : QDialog(parent), ui(new Ui::KindEditor), store_(DataModule::instance())
{
    ui->setupUi(this);
    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &KindEditor::onSave));
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
}

KindEditor::~KindEditor()
{
    delete ui;
}

void KindEditor::prepareAdd()
{
    ui->Edit1->clear();
    setWindowTitle(QStringLiteral("Заведение нового вида операций"));
    mode_ = AddMode;
    kindId_ = 0;
}

void KindEditor::prepareChange(int id, const QString& vid)
{
    setWindowTitle(QStringLiteral("Изменение данных вида операции"));
    mode_ = ChangeMode;
    kindId_ = id;
    ui->Edit1->setText(vid);
}

void KindEditor::onSave()
{
    const QString vid = ui->Edit1->text().trimmed();
    if (vid.isEmpty()) {
        Messages::error(QStringLiteral("Все поля должны быть заполнены!"), QStringLiteral("Ошибка"));
        return;
    }
    if (const auto problem = KindsStore::vidProblem(vid)) {
        Messages::error(*problem, QStringLiteral("Ошибка"));
        return;
    }
    if (store_.vidTaken(vid, mode_ == AddMode ? std::nullopt : std::optional<int>(kindId_)))
        return;
    if (mode_ == AddMode) {
        store_.addKind(vid);
    } else if (!store_.changeKind(kindId_, vid)) {
        Messages::error(QStringLiteral("Вид операции не найден: его удалили с другого рабочего места."),
                        QStringLiteral("Ошибка"));
    }
    // The list shows its first kind after a save.
    ListWindow::reload(DataModule::instance()->Vid_oper);
    accept();
}

bool KindEditor::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate || e->type() == QEvent::Show)
        ui->Edit1->setFocus();
    return QDialog::event(e);
}
