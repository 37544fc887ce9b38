#include "journal/entryeditor.h"
#include "ui_entryeditor.h"

#include "core/clock.h"
#include "core/windowlookup.h"
#include "db/datamodule.h"
#include "db/dberror.h"
#include "db/sqltext.h"
#include "journal/entryprice.h"
#include "journal/journalcontext.h"
#include "journal/journalsaves.h"
#include "ui/datetyping.h"
#include "ui/guard.h"
#include "ui/messages.h"
#include "ui/numbertext.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QStyle>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

namespace {

// A whole number from the journal as the text of a box; numbers are whole in this
// journal, a fraction would keep its point and be refused on saving.
QString numberText(const QVariant& value)
{
    const QString text = value.toString().trimmed();
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (ok && number == double(qint64(number)))
        return QString::number(qint64(number));
    return text;
}

QDate dateOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        const QDate iso = QDate::fromString(text.left(10), Qt::ISODate);
        return iso.isValid() ? iso : QDate::fromString(text.left(10), QStringLiteral("dd.MM.yyyy"));
    }
    return value.toDate();
}

}

EntryEditor::EntryEditor(QWidget* parent)
    : QDialog(parent), ui(new Ui::EntryEditor), dm(DataModule::instance()), store(new EntryStore(*dm)),
      saves(new JournalSaves(*dm))
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &EntryEditor::onSave));
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->Button3, &QPushButton::clicked, this, guardedSlot(this, &EntryEditor::onChooseWorker));
    connect(ui->Button4, &QPushButton::clicked, this, guardedSlot(this, &EntryEditor::onChooseOperation));

    // A click on the worker or operation box opens its list; leaving quantity or
    // hours shows the new amount.
    const std::initializer_list<QWidget*> watched{ui->Edit1, ui->Edit2, ui->Edit3, ui->Edit4, ui->Edit6};
    for (QWidget* box : watched)
        box->installEventFilter(this);
    // Tab leaves the date picker as it leaves every other box, instead of walking
    // through day, month and year; the arrow keys still move between them.
    ui->DTimeP->installEventFilter(this);
    if (QLineEdit* dateText = ui->DTimeP->findChild<QLineEdit*>())
        dateText->installEventFilter(this);
    // After the filter above, so that Tab finds the typed date taken.
    DateTyping::install(ui->DTimeP);
    ui->Edit1->setCursor(Qt::PointingHandCursor);
    ui->Edit2->setCursor(Qt::PointingHandCursor);

    ui->Edit4->setText(QStringLiteral("0"));
    ui->Edit6->setText(QStringLiteral("0"));

    fitNumberBoxes();
    connect(ui->DTimeP, &QDateEdit::dateChanged, this, &EntryEditor::markForeignDate);
}

EntryEditor::~EntryEditor()
{
    delete ui;
}

JournalContext* EntryEditor::journal() const
{
    return WindowLookup::find<JournalContext>();
}

void EntryEditor::prepareNew(const QDate& date)
{
    ui->DTimeP->setDate(date);
    ui->Edit1->clear();
    ui->Edit2->clear();
    ui->Edit3->clear();
    ui->Edit5->clear();
    ui->Edit4->setText(QStringLiteral("0"));
    ui->Edit6->setText(QStringLiteral("0"));
    setWindowTitle(QStringLiteral("Заведение новой позиции"));
    mode_ = 1;
    markForeignDate();
}

void EntryEditor::prepareChange(const QSqlRecord& row)
{
    setWindowTitle(QStringLiteral("Изменение данных о позиции"));
    mode_ = 2;

    // The price as a save writes it back: the amount shown is the quantity times it.
    cena = SqlText::round4(row.value(QStringLiteral("cena")).toDouble());
    const double quantity = row.value(QStringLiteral("kol_vo")).toDouble();
    ui->Edit7->setText(EntryPrice::shown(cena));
    ui->Edit9->setText(EntryPrice::shown(quantity * cena));
    // The base price of the entry's operation as the operations list shows it now.
    basePrice_ = store->basePrice(row.value(QStringLiteral("o_id")).toInt());
    ui->Edit8->setText(basePrice_ ? EntryPrice::shown(*basePrice_) : QString());

    const QDate date = dateOf(row.value(QStringLiteral("data")));
    ui->DTimeP->setDate(date);

    const QString vid = row.value(QStringLiteral("vid")).toString();
    ui->Edit1->setText(row.value(QStringLiteral("fio")).toString().trimmed());
    ui->Edit2->setText(EntryStore::operationText(row.value(QStringLiteral("marka")).toString(), vid,
                                                 row.value(QStringLiteral("naimen")).toInt()));
    ui->Edit3->setText(numberText(row.value(QStringLiteral("kol_vo"))));
    ui->Edit4->setText(numberText(row.value(QStringLiteral("brak"))));

    w_id = row.value(QStringLiteral("w_id")).toInt();
    i_id = row.value(QStringLiteral("i_id")).toInt();
    o_id = row.value(QStringLiteral("o_id")).toInt();
    ui->Edit6->setText(QString::number(row.value(QStringLiteral("time")).toInt()));

    if (EntryStore::isPaint(vid.trimmed())) {
        setColourBoxEnabled(true);
        ui->Edit5->setText(QString::number(row.value(QStringLiteral("color")).toInt()));
    } else {
        setColourBoxEnabled(false);
    }

    // The operations list starts afresh: its base price shows again only when an
    // operation is chosen.
    dm->Oper->close();
    dm->Oper->clearFilter();

    changedId_ = row.value(QStringLiteral("id")).toInt();
    markForeignDate();
}

void EntryEditor::onChooseWorker()
{
    WorkersList* list = WindowLookup::find<WorkersList>();
    if (!list)
        return;
    const auto worker = list->choose();
    if (worker)
        workerChosen(*worker);
    // Back from the list the keyboard goes on with the operation.
    moveOnAfterList(worker ? static_cast<QWidget*>(ui->Button4) : ui->Button3);
}

void EntryEditor::workerChosen(const WorkersList::Choice& worker)
{
    ui->Edit1->setText(worker.fio.trimmed());
    w_id = worker.id;
}

void EntryEditor::onChooseOperation()
{
    OperationsList* list = WindowLookup::find<OperationsList>();
    if (!list)
        return;
    int locateId = 0;
    if (mode_ != 1) {
        if (JournalContext* j = journal())
            locateId = j->currentOperationId();
    }
    const auto operation = list->choose(locateId);
    if (operation)
        operationChosen(*operation);
    applyColourRule();
    recomputePrices();
    // Back from the list the keyboard goes on with the quantity, ready to be typed over.
    moveOnAfterList(operation ? static_cast<QWidget*>(ui->Edit3) : ui->Button4);
    if (operation)
        ui->Edit3->selectAll();
}

void EntryEditor::moveOnAfterList(QWidget* next)
{
    // Not every window manager gives the activation back to the dialog under a closed one.
    if (isVisible())
        activateWindow();
    next->setFocus();
}

void EntryEditor::operationChosen(const OperationsList::Choice& operation)
{
    i_id = operation.productId;
    o_id = operation.id;
    basePrice_ = operation.cena;
    // The factors of the moment of choosing: the journal's day-off box and shift.
    JournalContext* j = journal();
    cena = EntryPrice::finalPrice(operation.cena, j && j->isDayOff(), j ? j->currentShift() : 0);
    ui->Edit2->setText(EntryStore::operationText(store->marka(i_id), operation.vid, operation.naimen));
}

void EntryEditor::applyColourRule()
{
    setColourBoxEnabled(EntryStore::isPaint(ui->Edit2->text()));
}

void EntryEditor::setColourBoxEnabled(bool enabled)
{
    if (!enabled)
        ui->Edit5->clear();
    ui->Edit5->setEnabled(enabled);
    ui->Label6->setEnabled(enabled);
}

void EntryEditor::recomputePrices()
{
    if (ui->Edit6->text().trimmed().isEmpty())
        ui->Edit6->setText(QStringLiteral("0"));
    if (ui->Edit3->text().trimmed().isEmpty())
        ui->Edit3->setText(QStringLiteral("0"));
    showPrices();
}

void EntryEditor::showPrices()
{
    ui->Edit7->setText(EntryPrice::shown(cena));
    // The operation current in the operations list, as long as the list holds one;
    // otherwise (a change, where the list stays closed) the entry's own operation.
    const QVariant listed = dm->Oper->value(QStringLiteral("cena"));
    ui->Edit8->setText(EntryPrice::shown(listed.isValid() ? listed.toDouble() : basePrice_.value_or(0)));
    ui->Edit9->setText(EntryPrice::shown(ui->Edit3->text().trimmed().toDouble() * cena));
    // A number wider than its box shows from its first digit.
    for (QLineEdit* box : {ui->Edit7, ui->Edit8, ui->Edit9})
        box->setCursorPosition(0);
}

void EntryEditor::fitNumberBoxes()
{
    // The quantity box shows the largest whole number the journal keeps; the amount its
    // largest product with a price, 15 digits and the comma.
    const QFontMetrics metrics(ui->Edit3->font());
    const int frame = 2 * ui->Edit3->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 12;
    const auto fit = [&](QLineEdit* box, const QString& widest) {
        const int width = qMax(box->minimumWidth(), metrics.horizontalAdvance(widest) + frame);
        box->setMinimumWidth(width);
        box->setMaximumWidth(width);
    };
    fit(ui->Edit3, QString::number(DigitsEdit::kIntegerColumn));
    fit(ui->Edit9, QStringLiteral("999999999999999,9"));
}

void EntryEditor::markForeignDate()
{
    JournalContext* j = journal();
    const QDate journalDate = j ? j->date() : QDate();
    const bool foreign = journalDate.isValid() && ui->DTimeP->date() != journalDate;
    ui->DTimeP->setStyleSheet(foreign ? QStringLiteral("QDateEdit { background-color: rgb(255, 214, 10); "
                                                       "font-weight: bold; }")
                                      : QString());
    ui->DTimeP->setToolTip(foreign ? QStringLiteral("Дата позиции не совпадает с датой журнала (%1)")
                                         .arg(NumberText::date(journalDate))
                                   : QString());
}

QWidget* EntryEditor::controlOf(EntryStore::Field field) const
{
    switch (field) {
    case EntryStore::Field::Worker: return ui->Button3;
    case EntryStore::Field::Operation: return ui->Button4;
    case EntryStore::Field::Quantity: return ui->Edit3;
    case EntryStore::Field::Defects: return ui->Edit4;
    case EntryStore::Field::Colour: return ui->Edit5;
    case EntryStore::Field::Hours: return ui->Edit6;
    }
    return ui->Button3;
}

void EntryEditor::onSave()
{
    const EntryInput input{ui->Edit1->text(), ui->Edit2->text(), ui->Edit3->text(),
                           ui->Edit4->text(), ui->Edit5->text(), ui->Edit6->text()};
    if (const auto problem = EntryStore::check(input)) {
        Messages::error(problem->message, QStringLiteral("Ошибка"));
        // Straight back to the box to mend, so the keyboard goes on from there.
        controlOf(problem->field)->setFocus();
        return;
    }

    JournalContext* j = journal();
    EntryRow row;
    row.w_id = w_id;
    row.i_id = i_id;
    row.o_id = o_id;
    row.cena = cena;
    row.quantity = EntryStore::number(input.quantity);
    row.defects = EntryStore::number(input.defects);
    row.colour = EntryStore::number(input.colour);
    row.hours = EntryStore::number(input.hours);
    row.date = ui->DTimeP->date();
    row.shift = j ? j->currentShift() : 0;
    Dataset* journalSet = dm->smenaForShift(row.shift);
    const bool isNew = mode_ == 1;
    const int ownId = changedId_ != 0 ? changedId_ : journalSet->value(QStringLiteral("id")).toInt();

    if (!confirmDayHours(row, isNew ? 0 : ownId))
        return;

    const JournalSaves::Outcome outcome = isNew ? saves->add(row, Clock::today())
                                                : saves->change(row, ownId, Clock::today());
    if (outcome == JournalSaves::Outcome::Duplicate) {
        Messages::error(EntryStore::kDuplicate, QStringLiteral("Ошибка"));
        return;
    }
    if (outcome == JournalSaves::Outcome::Gone) {
        // Deleted at another workstation meanwhile: nothing was written.
        Messages::error(QStringLiteral("Позиция не найдена: она удалена из журнала. Изменения не записаны."),
                        QStringLiteral("Ошибка"));
        return;
    }

    const int recNo = journalSet->recNo();
    journalSet->close();
    journalSet->open();
    if (journalSet->recordCount() >= 1 && recNo >= 1)
        journalSet->setRecNo(recNo);

    dm->H_Tabel_1->close();
    dm->H_Tabel_2->close();
    dm->H_Tabel_3->close();

    const std::initializer_list<QLineEdit*> boxes{ui->Edit1, ui->Edit2, ui->Edit3, ui->Edit4, ui->Edit5,
                                                  ui->Edit6, ui->Edit7, ui->Edit8, ui->Edit9};
    for (QLineEdit* box : boxes)
        box->clear();
    accept();
}

bool EntryEditor::confirmDayHours(const EntryRow& row, int ownId)
{
    // More than a day's hours for one worker in one shift is surely a slip of the keys;
    // the foreman decides.
    if (row.hours <= 0)
        return true;
    qint64 total = row.hours;
    try {
        total += store->dayHours(row, ownId);
    } catch (DbError& e) {
        e.addNote(ownId == 0 ? JournalSaves::kNotAdded : JournalSaves::kNotChanged);
        throw;
    }
    const EntryStore::DayHours judged = EntryStore::judgeDayHours(total);
    if (judged == EntryStore::DayHours::Fits)
        return true;
    const QString sum = QStringLiteral("У рабочего %1 за %2 в смене %3 получится %4 ч")
                            .arg(ui->Edit1->text().trimmed(), NumberText::date(row.date))
                            .arg(row.shift)
                            .arg(total);
    // The timesheet keeps a day's hours as an integer: a sum past it is refused here,
    // before the server would refuse it. Enter answers "Нет".
    if (judged == EntryStore::DayHours::TooMany)
        Messages::error(QStringLiteral("%1 — такое число часов не записать. Исправьте время.").arg(sum),
                        QStringLiteral("Проверка часов"));
    else if (Messages::question(QStringLiteral("%1 — больше %2 часов в сутки. Записать позицию?")
                                    .arg(sum).arg(EntryStore::kHoursInDay),
                                QStringLiteral("Проверка часов"), Messages::Default::No))
        return true;
    ui->Edit6->setFocus();
    ui->Edit6->selectAll();
    return false;
}

void EntryEditor::done(int result)
{
    closing_ = true;
    QDialog::done(result);
    closing_ = false;
}

void EntryEditor::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    markForeignDate();
    ui->Button3->setFocus();
}

bool EntryEditor::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress && (watched == ui->DTimeP || watched->parent() == ui->DTimeP)) {
        auto* key = static_cast<QKeyEvent*>(e);
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
            focusNextPrevChild(!back);
            return true;
        }
    }
    if ((watched == ui->Edit1 || watched == ui->Edit2) && e->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(e);
        if (mouse->button() == Qt::LeftButton && static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint())) {
            if (watched == ui->Edit1)
                guarded([this] { onChooseWorker(); });
            else
                guarded([this] { onChooseOperation(); });
            return true;
        }
    }
    if ((watched == ui->Edit3 || watched == ui->Edit4 || watched == ui->Edit6) && e->type() == QEvent::FocusIn) {
        // A box holding the default 0 is typed over, not typed after: "40" typed into "0"
        // must not become 400 or 40 with a 0 behind. Selected once the click that
        // brought the focus has placed the cursor.
        auto* box = static_cast<QLineEdit*>(watched);
        QTimer::singleShot(0, box, [box] {
            if (box->hasFocus() && box->text().trimmed() == QLatin1String("0"))
                box->selectAll();
        });
    }
    if ((watched == ui->Edit3 || watched == ui->Edit6) && e->type() == QEvent::KeyPress) {
        // Enter saves (the default button), and the amount beside it is the one of the
        // quantity typed, whether the save goes through or is refused.
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            guarded([this] { showPrices(); });
    }
    if ((watched == ui->Edit3 || watched == ui->Edit6) && e->type() == QEvent::FocusOut && !closing_) {
        // Another window or a popup taking the focus is not leaving the box.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            guarded([this] { recomputePrices(); });
    }
    return QDialog::eventFilter(watched, e);
}
