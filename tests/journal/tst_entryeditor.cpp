#include "app/windows.h"
#include "core/clock.h"
#include "db/datamodule.h"
#include "db/sqltext.h"
#include "journal/entryeditor.h"
#include "journal/entryprice.h"
#include "journal/entrystore.h"
#include "journal/journalwindow.h"
#include "support/modal.h"
#include "support/pasting.h"
#include "support/testdb.h"
#include "ui/digitsedit.h"
#include "ui/messages.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QToolTip>
#include <QtTest>
#include <clocale>

namespace {

const QString kFillAll = QStringLiteral("Все поля должны быть заполнены!");
const QString kDuplicate = QStringLiteral("Позиция с такими параметрами уже заведена!");

}

// The journal entry editor against the real server: prices, colour rule, validation,
// duplicate guard, the written rows and the timesheet posting, driven by its handlers
// and from the keyboard.
class EntryEditorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    JournalWindow* journal = nullptr;
    EntryEditor* editor = nullptr;
    WorkersList* workersList = nullptr;
    OperationsList* operationsList = nullptr;
    QLocale localeBefore;

    const QDate day{2024, 3, 5};     // a Tuesday
    const QDate today{2024, 3, 7};

    int ivanov = 0, petrov = 0;      // workers
    int bracket = 0, profile = 0;    // products
    int cutting = 0, painting = 0;   // operations: cutting brackets, painting profiles

    DataModule* dm() const { return db->dm(); }

    template <class T>
    T* child(QObject* parent, const char* name) const
    {
        T* w = parent->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    QLineEdit* box(const char* name) const { return child<QLineEdit>(editor, name); }
    QString text(const char* name) const { return box(name)->text(); }
    // The control of a window (the editor unless named) that has the focus, or gets it when
    // the window is active again; a date picker rather than its inner line edit.
    QString focusName(QWidget* window = nullptr) const
    {
        QWidget* w = (window ? window : editor)->focusWidget();
        if (!w)
            return QStringLiteral("<none>");
        return w->objectName().startsWith(u"qt_") ? w->parentWidget()->objectName() : w->objectName();
    }
    QWidget* focusIn(QWidget* window) const
    {
        QWidget* w = (window ? window : editor)->focusWidget();
        return w ? w : (window ? window : editor);
    }
    // Types into the focused control of a window (the editor unless named) as a keyboard
    // does, Cyrillic included.
    void typeText(const QString& text, QWidget* window = nullptr) const
    {
        for (const QChar c : text) {
            QWidget* w = focusIn(window);
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &release);
        }
    }
    void key(Qt::Key k, QWidget* window = nullptr) const { QTest::keyClick(focusIn(window), k); }
    QCheckBox* dayOffBox() const { return child<QCheckBox>(journal, "CBox1"); }

    int insertId(const QString& sql) const { return db->scalar(sql + QStringLiteral(" returning id")).toInt(); }
    int count(const QString& sql) const { return db->scalar(sql).toInt(); }
    int entries() const { return count(QStringLiteral("select count(*) from accounts_dep.smena")); }

    OperationsList::Choice operation(int operId) const
    {
        const SqlRun::Result r = dm()->select(QStringLiteral(
            "select o.id, o.i_id, v.vid, o.naimen, (select min(price) from accounts_dep.norm n where n.o_id=o.id) base "
            "from accounts_dep.oper o join accounts_dep.vid_oper v on v.id=o.vid where o.id=%1").arg(operId));
        const QSqlRecord row = r.rows.value(0);
        OperationsList::Choice c;
        c.id = row.value(QStringLiteral("id")).toInt();
        c.productId = row.value(QStringLiteral("i_id")).toInt();
        c.vid = row.value(QStringLiteral("vid")).toString().trimmed();
        c.naimen = row.value(QStringLiteral("naimen")).toInt();
        c.cena = row.value(QStringLiteral("base")).toDouble();
        return c;
    }
    WorkersList::Choice worker(int id) const
    {
        return {id, db->scalar(QStringLiteral("select fio from accounts_dep.person where id=%1").arg(id)).toString()};
    }

    // What the two lists would hand back, followed by what the editor does after its
    // operation list closes.
    void choose(int workerId, int operId)
    {
        editor->workerChosen(worker(workerId));
        editor->operationChosen(operation(operId));
        editor->applyColourRule();
        editor->recomputePrices();
    }
    void fill(const QString& quantity, const QString& hours, const QString& colour, const QString& defects)
    {
        box("Edit3")->setText(quantity);
        box("Edit6")->setText(hours);
        box("Edit5")->setText(colour);
        box("Edit4")->setText(defects);
    }
    // A journal row written straight into the table.
    int entry(int workerId, int operId, const QDate& date, int shift, int colour, int hours,
              const QString& ok = QStringLiteral("no"))
    {
        const OperationsList::Choice op = operation(operId);
        return insertId(QStringLiteral("insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, "
                                       "color, time, vvod, ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, "
                                       "id_cons_use) values (%1, %2, %3, 11.25, 40, 1, '%4', %5, %6, %7, '01.03.2024', "
                                       "'%8', 5, 7, 8, 9.5, 10, 11)")
                            .arg(workerId).arg(op.productId).arg(operId).arg(SqlText::date(date)).arg(shift)
                            .arg(colour).arg(hours).arg(ok));
    }
    QSqlRecord stored(int id) const
    {
        return dm()->select(QStringLiteral("select * from accounts_dep.smena where id=%1").arg(id)).rows.value(0);
    }
    int lastId() const { return db->scalar(QStringLiteral("select max(id) from accounts_dep.smena")).toInt(); }
    // Hours of a worker's timesheet day; -1 when the worker has no row for that shift and month.
    int postedHours(int workerId, int shift, const QDate& date) const
    {
        const QVariant v = db->scalar(QStringLiteral("select d%1 from accounts_dep.h_tabel where w_id=%2 and smena=%3 "
                                                     "and month=%4 and year=%5")
                                          .arg(date.day()).arg(workerId).arg(shift).arg(date.month()).arg(date.year()));
        return v.isValid() && !v.isNull() ? v.toInt() : -1;
    }
    // The journal shows the shift's entries of the day, as it does after its activation.
    void openJournal(int shift, const QDate& date)
    {
        journal->CurrentShift = shift;
        Dataset* set = dm()->smenaForShift(shift);
        set->close();
        set->setParam(QStringLiteral("data"), date);
        set->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
        set->open();
        journal->CurrentJournal = set;
    }
    // "Изменить" on the journal row of that entry.
    void changeEntry(int id, int shift, const QDate& date)
    {
        openJournal(shift, date);
        QVERIFY(journal->CurrentJournal->locate(QStringLiteral("id"), id));
        editor->prepareChange(journal->CurrentJournal->currentRecord());
    }

    // Ivanov has 16 hours in shift 1 of the day already; the editor has him and cutting chosen.
    void sixteenHoursAlready()
    {
        db->exec(QStringLiteral("insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, "
                                "color, time, ok) select %1, i_id, id, 1, 0, '%2', 1, 10, 7, 16, 'no' "
                                "from accounts_dep.oper where id=%3")
                     .arg(ivanov).arg(day.toString(Qt::ISODate)).arg(cutting));
        dm()->Oper->open();
        choose(ivanov, cutting);
    }

private slots:
    void initTestCase()
    {
        localeBefore = QLocale();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        db = std::make_unique<TestDatabase>(QStringLiteral("entry"));
        ivanov = insertId(QStringLiteral("insert into accounts_dep.person(fio, s_staffpos_hl) values ('Иванов Иван Иванович', 'Цех 1')"));
        petrov = insertId(QStringLiteral("insert into accounts_dep.person(fio, s_staffpos_hl) values ('Петров Пётр Петрович', 'Цех 1')"));
        bracket = insertId(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(s_caption) values ('КР-100 ')"));
        profile = insertId(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(s_caption) values ('ПН-60')"));
        const int cut = insertId(QStringLiteral("insert into accounts_dep.vid_oper(vid) values ('Резка')"));
        const int paint = insertId(QStringLiteral("insert into accounts_dep.vid_oper(vid) values ('Порошковая покраска')"));
        cutting = insertId(QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id) values (%1, 0, %2)").arg(cut).arg(bracket));
        painting = insertId(QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id) values (%1, 1, %2)").arg(paint).arg(profile));
        db->exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values (%1, 100, 0, 10), (%1, 120, 5, 11),"
                                " (%2, 50, 0, 12.5), (%2, 60, 5, 14)").arg(cutting).arg(painting));

        journal = new JournalWindow;
        editor = new EntryEditor;
        workersList = new WorkersList;
        operationsList = new OperationsList;
        appWindows().journal = journal;
        appWindows().entryEditor = editor;
        appWindows().workersList = workersList;
        appWindows().operationsList = operationsList;
    }

    void cleanupTestCase()
    {
        appWindows() = AppWindows();
        delete operationsList;
        delete workersList;
        delete editor;
        delete journal;
        db.reset();
        Clock::setToday(QDate());
        QLocale::setDefault(localeBefore);
    }

    void init()
    {
        db->exec(QStringLiteral("delete from accounts_dep.smena"));
        db->exec(QStringLiteral("delete from accounts_dep.h_tabel"));
        db->exec(QStringLiteral("update accounts_dep.norm set price=case norma when 100 then 10 else 11 end where o_id=%1").arg(cutting));
        Clock::setToday(today);
        dayOffBox()->setChecked(false);
        for (int shift = 4; shift >= 1; --shift)
            openJournal(shift, day);
        dm()->Oper->close();
        editor->prepareNew(day);
    }

    void cleanup()
    {
        const bool nothingLeftOpen = noTopLevelWindowOpen();
        if (editor->isVisible())
            editor->reject();   // so that one failure does not spoil the next tests
        QVERIFY(nothingLeftOpen);
    }

    // ---- layout and hand-overs ---------------------------------------------------------

    void controlsTabOrderAndCaptions()
    {
        QCOMPARE(editor->objectName(), QStringLiteral("TForm11"));
        QCOMPARE(child<QGroupBox>(editor, "GroupBox1")->title(), QStringLiteral("Закрыто мастером"));
        QCOMPARE(child<QPushButton>(editor, "Button1")->text(), QStringLiteral("Запись"));
        QVERIFY(child<QPushButton>(editor, "Button1")->isDefault());
        QCOMPARE(child<QPushButton>(editor, "Button2")->text(), QStringLiteral("Отмена"));
        QCOMPARE(child<QPushButton>(editor, "Button3")->text(), QStringLiteral("..."));
        QCOMPARE(child<QPushButton>(editor, "Button4")->text(), QStringLiteral("..."));
        for (const char* name : {"Edit3", "Edit4", "Edit5", "Edit6"})
            QVERIFY2(box(name)->inherits("DigitsEdit"), name);
        for (const char* name : {"Edit1", "Edit2", "Edit7", "Edit8", "Edit9"}) {
            QVERIFY2(box(name)->isReadOnly(), name);
            QVERIFY2(!(box(name)->focusPolicy() & Qt::TabFocus), name);
        }

        // Tab walks the input controls in this order; the read-only boxes are skipped and
        // so is a disabled colour box.
        editor->show();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        QCOMPARE(focusName(), QStringLiteral("Button3"));
        box("Edit2")->setText(QStringLiteral("ПН-60; Покраска; Заготовки"));
        editor->applyColourRule();
        QStringList walked;
        for (int i = 0; i < 9; ++i) {
            key(Qt::Key_Tab);
            walked << focusName();
        }
        QCOMPARE(walked.join(u' '), QStringLiteral("Button4 Edit3 Edit6 Edit5 DTimeP Edit4 Button1 Button2 Button3"));
        box("Edit2")->clear();
        editor->applyColourRule();
        key(Qt::Key_Tab);   // Button4
        key(Qt::Key_Tab);   // Edit3
        key(Qt::Key_Tab);   // Edit6
        key(Qt::Key_Tab);
        QCOMPARE(focusName(), QStringLiteral("DTimeP"));
        editor->reject();
    }

    void prepareNewResetsOnlyTheDocumentedBoxes()
    {
        dm()->Oper->open();
        QVERIFY(dm()->Oper->locate(QStringLiteral("id"), painting));
        choose(petrov, painting);
        fill(QStringLiteral("12"), QStringLiteral("7"), QStringLiteral("9016"), QStringLiteral("3"));
        editor->recomputePrices();
        editor->prepareNew(QDate(2024, 4, 1));

        QCOMPARE(editor->windowTitle(), QStringLiteral("Заведение новой позиции"));
        QCOMPARE(editor->mode(), 1);
        QCOMPARE(child<QDateEdit>(editor, "DTimeP")->date(), QDate(2024, 4, 1));
        for (const char* name : {"Edit1", "Edit2", "Edit3", "Edit5"})
            QVERIFY2(text(name).isEmpty(), name);
        QCOMPARE(text("Edit4"), QStringLiteral("0"));
        QCOMPARE(text("Edit6"), QStringLiteral("0"));
        // Kept: the ids, the price, the three price boxes and the colour box's state.
        QCOMPARE(editor->w_id, petrov);
        QCOMPARE(editor->o_id, painting);
        QCOMPARE(editor->i_id, profile);
        QCOMPARE(editor->cena, 12.5);
        QCOMPARE(text("Edit7"), QStringLiteral("12,5"));
        QCOMPARE(text("Edit8"), QStringLiteral("12,5"));
        QCOMPARE(text("Edit9"), QStringLiteral("150"));
        QVERIFY(box("Edit5")->isEnabled());
    }

    void prepareChangeFillsFromTheJournalRow_data()
    {
        QTest::addColumn<bool>("paint");
        QTest::addColumn<QString>("operationText");
        QTest::addColumn<QString>("colourText");
        QTest::newRow("paint") << true << QStringLiteral("ПН-60; Порошковая покраска; Заготовки") << QStringLiteral("7016");
        QTest::newRow("other") << false << QStringLiteral("КР-100; Резка; Готовая продукция") << QString();
    }
    void prepareChangeFillsFromTheJournalRow()
    {
        QFETCH(bool, paint);
        QFETCH(QString, operationText);
        QFETCH(QString, colourText);
        const int id = entry(petrov, paint ? painting : cutting, day, 1, paint ? 7016 : 0, 6);
        box("Edit5")->setText(QStringLiteral("55"));
        box("Edit8")->setText(QStringLiteral("0,6"));          // the base price of the entry added before
        dm()->Oper->open();
        dm()->Oper->setFilter([](const QSqlRecord&) { return false; });
        changeEntry(id, 1, day);

        QCOMPARE(editor->windowTitle(), QStringLiteral("Изменение данных о позиции"));
        QCOMPARE(editor->mode(), 2);
        QCOMPARE(editor->cena, 11.25);
        QCOMPARE(text("Edit7"), QStringLiteral("11,25"));
        QCOMPARE(text("Edit9"), QStringLiteral("450"));          // 40 × 11.25, defects not subtracted
        QCOMPARE(child<QDateEdit>(editor, "DTimeP")->date(), day);
        QCOMPARE(text("Edit1"), QStringLiteral("Петров Пётр Петрович"));
        QCOMPARE(text("Edit2"), operationText);
        QCOMPARE(text("Edit3"), QStringLiteral("40"));
        QCOMPARE(text("Edit4"), QStringLiteral("1"));
        QCOMPARE(text("Edit6"), QStringLiteral("6"));
        QCOMPARE(editor->w_id, petrov);
        QCOMPARE(editor->o_id, paint ? painting : cutting);
        QCOMPARE(editor->i_id, paint ? profile : bracket);
        QCOMPARE(text("Edit5"), colourText);
        QCOMPARE(text("Edit8"), paint ? QStringLiteral("12,5") : QStringLiteral("10"));   // the operation's lowest norm
        QCOMPARE(box("Edit5")->isEnabled(), paint);
        QCOMPARE(child<QLabel>(editor, "Label6")->isEnabled(), paint);
        QVERIFY(!dm()->Oper->isOpen());
        QVERIFY(!dm()->Oper->isFiltered());
    }

    // ---- prices and colour ---------------------------------------------------------------

    void priceFactors_data()
    {
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<int>("shift");
        QTest::addColumn<QString>("price");
        QTest::newRow("shift 1") << false << 1 << QStringLiteral("10");
        QTest::newRow("shift 2") << false << 2 << QStringLiteral("10");
        QTest::newRow("shift 3") << false << 3 << QStringLiteral("12");
        QTest::newRow("overtime") << false << 4 << QStringLiteral("15");
        QTest::newRow("day off, shift 1") << true << 1 << QStringLiteral("20");
        QTest::newRow("day off, shift 2") << true << 2 << QStringLiteral("20");
        QTest::newRow("day off, shift 3") << true << 3 << QStringLiteral("24");
        QTest::newRow("day off, overtime") << true << 4 << QStringLiteral("30");
    }
    void priceFactors()
    {
        QFETCH(bool, dayOff);
        QFETCH(int, shift);
        QFETCH(QString, price);
        QCOMPARE(SqlText::price(EntryPrice::finalPrice(10, dayOff, shift)), price);

        // The editor takes the journal's factors at the moment the operation is chosen.
        dayOffBox()->setChecked(dayOff);
        openJournal(shift, day);
        dm()->Oper->open();
        QVERIFY(dm()->Oper->locate(QStringLiteral("id"), cutting));
        choose(ivanov, cutting);
        QCOMPARE(SqlText::price(editor->cena), price);
        QCOMPARE(text("Edit7"), price);
        QCOMPARE(text("Edit8"), QStringLiteral("10"));
        dayOffBox()->setChecked(!dayOff);
        openJournal(shift == 4 ? 1 : 4, day);
        editor->recomputePrices();
        QCOMPARE(text("Edit7"), price);
    }

    void changeModeKeepsTheStoredPriceUntilAnOperationIsChosen()
    {
        const int id = entry(ivanov, cutting, day, 4, 0, 8);
        dayOffBox()->setChecked(true);
        changeEntry(id, 4, day);
        box("Edit3")->setText(QStringLiteral("10"));
        editor->recomputePrices();
        QCOMPARE(editor->cena, 11.25);
        QCOMPARE(text("Edit7"), QStringLiteral("11,25"));
        QCOMPARE(text("Edit8"), QStringLiteral("10"));           // the entry's operation, not chosen again
        QCOMPARE(text("Edit9"), QStringLiteral("112,5"));
        dm()->Oper->open();
        QVERIFY(dm()->Oper->locate(QStringLiteral("id"), cutting));
        choose(ivanov, cutting);
        QCOMPARE(editor->cena, 30.0);                             // 10 × 2.0 × 1.5
        QCOMPARE(text("Edit9"), QStringLiteral("300"));
    }

    // The amount is the quantity times the price as it is shown and written (4 decimals),
    // also where the factors give a fifth decimal.
    void amountIsQuantityTimesTheWrittenPrice_data()
    {
        QTest::addColumn<bool>("change");
        QTest::addColumn<double>("price");      // base price chosen, or the price stored in the row
        QTest::addColumn<QString>("finalPrice");
        QTest::addColumn<QString>("amount");
        QTest::newRow("chosen in overtime") << false << 0.1235 << QStringLiteral("0,1852") << QStringLiteral("185,2");
        QTest::newRow("stored with five decimals") << true << 0.18525 << QStringLiteral("0,1852") << QStringLiteral("185,2");
    }
    void amountIsQuantityTimesTheWrittenPrice()
    {
        QFETCH(bool, change);
        QFETCH(double, price);
        QFETCH(QString, finalPrice);
        QFETCH(QString, amount);
        if (change) {
            const int id = entry(ivanov, cutting, day, 4, 0, 8);
            db->exec(QStringLiteral("update accounts_dep.smena set kol_vo=1000, cena=%1 where id=%2")
                         .arg(QString::number(price, 'g', 15)).arg(id));
            changeEntry(id, 4, day);
            QCOMPARE(text("Edit7"), finalPrice);
            QCOMPARE(text("Edit9"), amount);
        } else {
            // The norm's price is the base the server checks the written price against.
            db->exec(QStringLiteral("update accounts_dep.norm set price=%1 where o_id=%2").arg(price).arg(cutting));
            openJournal(4, day);                                  // 0.1235 × 1.5 = 0.18525
            OperationsList::Choice op = operation(cutting);
            op.cena = price;
            editor->workerChosen(worker(ivanov));
            editor->operationChosen(op);
            box("Edit3")->setText(QStringLiteral("1000"));
        }
        editor->recomputePrices();
        QCOMPARE(text("Edit7"), finalPrice);
        QCOMPARE(text("Edit9"), amount);
        fill(QStringLiteral("1000"), QStringLiteral("8"), QString(), QStringLiteral("0"));
        Messages::Recorder recorder;
        editor->onSave();
        QCOMPARE(recorder.texts(), QStringList{});
        const QSqlRecord row = stored(lastId());
        QCOMPARE(SqlText::price(row.value(QStringLiteral("cena")).toDouble()), QStringLiteral("0.1852"));
        QCOMPARE(row.value(QStringLiteral("kol_vo")).toInt() * row.value(QStringLiteral("cena")).toDouble(), 185.2);
    }

    // Whatever the desktop's locale, the editor shows numbers the Russian way.
    void shownNumbersAreRussianWhateverTheLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        const QLocale ru(QLocale::Russian, QLocale::Russia);
        const QLocale en(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("ru 12.5") << ru << 12.5 << QStringLiteral("12,5");
        QTest::newRow("en 12.5") << en << 12.5 << QStringLiteral("12,5");
        QTest::newRow("C 12.5") << QLocale::c() << 12.5 << QStringLiteral("12,5");
        QTest::newRow("en thousands") << en << 1417.24 << QStringLiteral("1417,24");
        QTest::newRow("ru rounded") << ru << 1.23456789 << QStringLiteral("1,2346");
        QTest::newRow("ru thousands") << ru << 1500.0 << QStringLiteral("1500");
        QTest::newRow("ru tiny") << ru << 0.00001 << QStringLiteral("0");
        QTest::newRow("ru huge") << ru << 1e20 << QStringLiteral("100000000000000000000");
    }
    void shownNumbersAreRussianWhateverTheLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(double, value);
        QFETCH(QString, shown);
        const QLocale before;
        QLocale::setDefault(locale);
        const QString text = EntryPrice::shown(value);
        QLocale::setDefault(before);
        QCOMPARE(text, shown);
    }

    void colourRule_data()
    {
        QTest::addColumn<QString>("operationText");
        QTest::addColumn<bool>("paint");
        QTest::newRow("capitals") << QStringLiteral("ПН-60; КРАСКА; Заготовки") << true;
        QTest::newRow("small") << QStringLiteral("ПН-60; краска RAL; Заготовки") << true;
        QTest::newRow("mixed inside a word") << QStringLiteral("ПН-60; ПорошковаяПоКрАсКа; Заготовки") << true;
        QTest::newRow("marka only") << QStringLiteral("Краска-1; Резка; Заготовки") << true;
        QTest::newRow("cutting") << QStringLiteral("КР-100; Резка; Готовая продукция") << false;
        QTest::newRow("almost") << QStringLiteral("КР-100; Краск; Готовая продукция") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void colourRule()
    {
        QFETCH(QString, operationText);
        QFETCH(bool, paint);
        box("Edit2")->setText(operationText);
        box("Edit5")->setText(QStringLiteral("3005"));
        editor->applyColourRule();
        QCOMPARE(box("Edit5")->isEnabled(), paint);
        QCOMPARE(child<QLabel>(editor, "Label6")->isEnabled(), paint);
        QCOMPARE(text("Edit5"), paint ? QStringLiteral("3005") : QString());
        QCOMPARE(EntryStore::isPaint(operationText), paint);
    }

    void chosenOperationTextAndColourBox()
    {
        dm()->Oper->open();
        choose(petrov, painting);
        QCOMPARE(text("Edit1"), QStringLiteral("Петров Пётр Петрович"));
        QCOMPARE(editor->w_id, petrov);
        QCOMPARE(text("Edit2"), QStringLiteral("ПН-60; Порошковая покраска; Заготовки"));
        QVERIFY(box("Edit5")->isEnabled());
        choose(petrov, cutting);
        QCOMPARE(text("Edit2"), QStringLiteral("КР-100; Резка; Готовая продукция"));   // marka trimmed
        QVERIFY(!box("Edit5")->isEnabled());
    }

    void leavingQuantityOrHoursRecomputes()
    {
        dm()->Oper->open();
        QVERIFY(dm()->Oper->locate(QStringLiteral("id"), painting));
        choose(ivanov, painting);
        editor->show();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        box("Edit3")->setFocus();
        box("Edit3")->setText(QStringLiteral("3"));
        box("Edit6")->clear();
        box("Edit9")->clear();
        QTest::keyClick(box("Edit3"), Qt::Key_Tab);
        QCOMPARE(text("Edit9"), QStringLiteral("37,5"));
        QCOMPARE(text("Edit6"), QStringLiteral("0"));
        QCOMPARE(focusName(), QStringLiteral("Edit6"));
        box("Edit3")->clear();
        QTest::keyClick(box("Edit6"), Qt::Key_Tab);
        QCOMPARE(text("Edit3"), QStringLiteral("0"));
        QCOMPARE(text("Edit9"), QStringLiteral("0"));
        editor->reject();
        QCOMPARE(text("Edit3"), QStringLiteral("0"));
    }

    // ---- save ------------------------------------------------------------------------------

    void validation_data()
    {
        QTest::addColumn<QString>("worker");
        QTest::addColumn<int>("operId");      // 0: no operation chosen
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("hours");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("defects");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString big = QStringLiteral("2147483648");
        QTest::newRow("no worker") << "" << 1 << "5" << "8" << "" << "0" << kFillAll << "Button3";
        QTest::newRow("worker blanks") << "   " << 1 << "5" << "8" << "" << "0" << kFillAll << "Button3";
        QTest::newRow("no operation") << "w" << 0 << "5" << "8" << "" << "0" << kFillAll << "Button4";
        QTest::newRow("no quantity") << "w" << 1 << "" << "8" << "" << "0" << kFillAll << "Edit3";
        QTest::newRow("no defects") << "w" << 1 << "5" << "8" << "" << "" << kFillAll << "Edit4";
        QTest::newRow("paint, no colour") << "w" << 2 << "5" << "8" << "" << "0" << kFillAll << "Edit5";
        QTest::newRow("no hours") << "w" << 1 << "5" << "" << "" << "0" << kFillAll << "Edit6";
        QTest::newRow("empty before large") << "w" << 1 << big << "" << "" << "0" << kFillAll << "Edit6";
        QTest::newRow("quantity too large") << "w" << 1 << big << "8" << "" << "0"
            << "Слишком большое число в поле «Кол-во»: допустимо не больше 2147483647!" << "Edit3";
        QTest::newRow("quantity far too large") << "w" << 1 << "99999999999999999999999" << "8" << "" << "0"
            << "Слишком большое число в поле «Кол-во»: допустимо не больше 2147483647!" << "Edit3";
        QTest::newRow("defects too large") << "w" << 1 << "5" << "8" << "" << big
            << "Слишком большое число в поле «Брак»: допустимо не больше 2147483647!" << "Edit4";
        QTest::newRow("colour too large") << "w" << 2 << "5" << "8" << big << "0"
            << "Слишком большое число в поле «Цвет»: допустимо не больше 2147483647!" << "Edit5";
        QTest::newRow("hours too large") << "w" << 1 << "5" << big << "" << "0"
            << "Слишком большое число в поле «Время»: допустимо не больше 2147483647!" << "Edit6";
        QTest::newRow("fraction") << "w" << 1 << "2,5" << "8" << "" << "0"
            << "В поле «Кол-во» должно быть целое число!" << "Edit3";
        QTest::newRow("defects above quantity") << "w" << 1 << "5" << "8" << "" << "6"
            << "Брак не может быть больше количества!" << "Edit4";
    }
    void validation()
    {
        QFETCH(QString, worker);
        QFETCH(int, operId);
        QFETCH(QString, quantity);
        QFETCH(QString, hours);
        QFETCH(QString, colour);
        QFETCH(QString, defects);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        dm()->Oper->open();
        if (operId)
            choose(ivanov, operId == 1 ? cutting : painting);
        else
            box("Edit2")->clear();
        box("Edit1")->setText(worker);
        fill(quantity, hours, colour, defects);

        editor->show();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        Messages::Recorder recorder;
        QTest::mouseClick(child<QPushButton>(editor, "Button1"), Qt::LeftButton);
        QCOMPARE(recorder.texts(), QStringList{message});
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(recorder.shown[0].icon == Messages::Icon::Error);
        QVERIFY(editor->isVisible());
        QCOMPARE(focusName(), focus);
        QCOMPARE(entries(), 0);
        QCOMPARE(text("Edit1"), worker);
        QCOMPARE(text("Edit4"), defects);
        QCOMPARE(text("Edit5"), colour);
        editor->reject();
    }

    // A box holding the default 0, clicked and typed into, holds what was typed: "40"
    // is 40, never 400 or 040.
    void theDefaultZeroIsTypedOver_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("quantity") << QStringLiteral("Edit3");
        QTest::newRow("defects") << QStringLiteral("Edit4");
        QTest::newRow("hours") << QStringLiteral("Edit6");
    }
    void theDefaultZeroIsTypedOver()
    {
        QFETCH(QString, name);
        dm()->Oper->open();
        choose(ivanov, cutting);
        editor->show();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        QLineEdit* target = box(name.toLatin1().constData());
        target->setText(QStringLiteral("0"));
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(3, target->height() / 2));   // the cursor lands at the start
        QTRY_VERIFY(target->hasSelectedText());
        QTest::keyClicks(target, QStringLiteral("40"));
        QCOMPARE(target->text(), QStringLiteral("40"));
        // A box holding a number of the foreman's own keeps it: the click places the cursor.
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(3, target->height() / 2));
        QTest::qWait(20);
        QVERIFY(!target->hasSelectedText());
        editor->reject();
    }

    // More hours for a worker in one shift's day than a day has asks first, Enter
    // answering "Нет": "Нет" keeps the editor open on the hours and writes nothing; "Да"
    // saves. A sum past what the timesheet's day holds is refused in Russian, unsent.
    void moreThanADaysHoursAsksFirst_data()
    {
        QTest::addColumn<QString>("hours");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("said");   // 0 nothing, 1 the question, 2 the refusal
        QTest::newRow("16 + 8: no question") << QStringLiteral("8") << false << 0;
        QTest::newRow("16 + 9: no") << QStringLiteral("9") << false << 1;
        QTest::newRow("16 + 9: yes") << QStringLiteral("9") << true << 1;
        QTest::newRow("16 + 2147483631: yes") << QStringLiteral("2147483631") << true << 1;
        QTest::newRow("16 + 2147483632: refused") << QStringLiteral("2147483632") << true << 2;
    }
    void moreThanADaysHoursAsksFirst()
    {
        QFETCH(QString, hours);
        QFETCH(bool, answer);
        QFETCH(int, said);
        sixteenHoursAlready();
        fill(QStringLiteral("5"), hours, QString(), QStringLiteral("0"));
        editor->show();
        Messages::Recorder recorder(answer);
        editor->onSave();
        QCOMPARE(recorder.shown.size(), said ? 1 : 0);
        if (said) {
            const Messages::Shown& box = recorder.shown[0];
            QVERIFY2(box.text.contains(QStringLiteral("получится %1 ч").arg(16 + hours.toLongLong())), qPrintable(box.text));
            QVERIFY(box.text.contains(QStringLiteral("Иванов")));
            QCOMPARE(box.icon, said == 1 ? Messages::Icon::Question : Messages::Icon::Error);
            if (said == 1)
                QCOMPARE(box.enterAnswers, Messages::Default::No);
        }
        const bool saved = said == 0 || (said == 1 && answer);
        QCOMPARE(entries(), saved ? 2 : 1);
        QCOMPARE(editor->isVisible(), !saved);
        if (!saved) {
            QCOMPARE(focusName(), QStringLiteral("Edit6"));
            editor->reject();
        }
    }

    // The real question box: Enter on it answers "Нет" and nothing is written.
    void enterOnTheHoursQuestionWritesNothing()
    {
        sixteenHoursAlready();
        fill(QStringLiteral("5"), QStringLiteral("999999999"), QString(), QStringLiteral("0"));
        editor->show();
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        onNextModal([&](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w))
                defaultButton = box->standardButton(box->defaultButton());
            QTest::keyClick(w, Qt::Key_Return);
        });
        editor->onSave();
        QCOMPARE(defaultButton, QMessageBox::No);
        QCOMPARE(entries(), 1);
        editor->reject();
    }

    void largestNumbersAreWritten()
    {
        dm()->Oper->open();
        choose(ivanov, painting);
        const QString max = QStringLiteral("2147483647");
        fill(max, max, max, max);
        Messages::Recorder recorder(true);   // "more than 24 hours": yes, save
        editor->onSave();
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY(recorder.shown[0].text.contains(QStringLiteral("получится 2147483647 ч")));
        const QSqlRecord row = stored(lastId());
        for (const char* column : {"kol_vo", "brak", "color", "time"})
            QCOMPARE(row.value(QString::fromLatin1(column)).toLongLong(), 2147483647LL);
    }

    void insertWritesEveryColumn()
    {
        openJournal(3, day);
        dm()->Oper->open();
        choose(petrov, painting);
        QCOMPARE(editor->cena, 15.0);                             // 12.5 × 1.2 in shift 3
        editor->prepareNew(day);                                  // what the journal's "Добавить" does
        choose(petrov, painting);
        fill(QStringLiteral(" 40 "), QStringLiteral("8"), QStringLiteral("0007"), QStringLiteral("2"));
        editor->show();
        Messages::Recorder recorder;
        editor->onSave();
        QCOMPARE(recorder.texts(), QStringList{});
        QVERIFY(!editor->isVisible());
        QCOMPARE(editor->result(), int(QDialog::Accepted));

        QCOMPARE(entries(), 1);
        const QSqlRecord row = stored(lastId());
        QCOMPARE(row.value(QStringLiteral("w_id")).toInt(), petrov);
        QCOMPARE(row.value(QStringLiteral("i_id")).toInt(), profile);
        QCOMPARE(row.value(QStringLiteral("o_id")).toInt(), painting);
        QCOMPARE(row.value(QStringLiteral("cena")).toDouble(), 15.0);
        QCOMPARE(row.value(QStringLiteral("kol_vo")).toInt(), 40);
        QCOMPARE(row.value(QStringLiteral("brak")).toInt(), 2);
        QCOMPARE(row.value(QStringLiteral("data")).toDate(), day);
        QCOMPARE(row.value(QStringLiteral("smena")).toInt(), 3);
        QCOMPARE(row.value(QStringLiteral("color")).toInt(), 7);
        QCOMPARE(row.value(QStringLiteral("time")).toInt(), 8);
        QCOMPARE(row.value(QStringLiteral("vvod")).toDateTime(), QDateTime(today, QTime(0, 0)));
        QCOMPARE(row.value(QStringLiteral("ok")).toString().trimmed(), QStringLiteral("no"));
        for (const char* column : {"prize", "id_doc", "id_doc_item", "f_gds_qty_use", "id_gds_use", "id_cons_use"}) {
            QVERIFY2(!row.value(QString::fromLatin1(column)).isNull(), column);
            QCOMPARE(row.value(QString::fromLatin1(column)).toDouble(), 0.0);
        }
        // A save empties every box; the journal of the shift lists the new entry.
        for (const char* name : {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7", "Edit8", "Edit9"})
            QVERIFY2(text(name).isEmpty(), name);
        QCOMPARE(dm()->Smena3->recordCount(), 1);
        QCOMPARE(dm()->Smena3->value(QStringLiteral("id")).toInt(), lastId());
    }

    void updateWritesEveryColumnAndWithdrawsTheAcceptance()
    {
        const int id = entry(ivanov, cutting, day, 1, 0, 8, QStringLiteral("да"));
        changeEntry(id, 1, day);
        dm()->Oper->open();
        choose(petrov, painting);
        fill(QStringLiteral("30"), QStringLiteral("5"), QStringLiteral("9005"), QStringLiteral("0"));
        child<QDateEdit>(editor, "DTimeP")->setDate(day.addDays(1));
        Messages::Recorder recorder;
        editor->onSave();
        QCOMPARE(recorder.texts(), QStringList{});
        QCOMPARE(entries(), 1);
        const QSqlRecord row = stored(id);
        QCOMPARE(row.value(QStringLiteral("w_id")).toInt(), petrov);
        QCOMPARE(row.value(QStringLiteral("i_id")).toInt(), profile);
        QCOMPARE(row.value(QStringLiteral("o_id")).toInt(), painting);
        QCOMPARE(row.value(QStringLiteral("cena")).toDouble(), 12.5);
        QCOMPARE(row.value(QStringLiteral("kol_vo")).toInt(), 30);
        QCOMPARE(row.value(QStringLiteral("brak")).toInt(), 0);
        QCOMPARE(row.value(QStringLiteral("data")).toDate(), day.addDays(1));
        QCOMPARE(row.value(QStringLiteral("smena")).toInt(), 1);
        QCOMPARE(row.value(QStringLiteral("color")).toInt(), 9005);
        QCOMPARE(row.value(QStringLiteral("time")).toInt(), 5);
        QCOMPARE(row.value(QStringLiteral("vvod")).toDateTime(), QDateTime(today, QTime(0, 0)));
        // The server takes the acceptance back when the work changes.
        QCOMPARE(row.value(QStringLiteral("ok")).toString().trimmed(), QStringLiteral("no"));
        for (const char* column : {"prize", "id_doc", "id_doc_item", "f_gds_qty_use", "id_gds_use", "id_cons_use"})
            QCOMPARE(row.value(QString::fromLatin1(column)).toDouble(), 0.0);
    }

    // A database copied or restored without its own settings reads '07.03.2024' month
    // first; the day the entry was made must still be written as 7 March.
    void enteredDayIsRightOnADatabaseThatReadsMonthFirst()
    {
        const auto dayFirstAgain = qScopeGuard([this] {
            db->exec(QStringLiteral("alter database %1 set datestyle = 'ISO, DMY'").arg(db->name()));
            dm()->connectTo(db->connectionString());
        });
        db->exec(QStringLiteral("alter database %1 set datestyle = 'ISO, MDY'").arg(db->name()));
        QVERIFY(dm()->connectTo(db->connectionString()));
        openJournal(1, day);
        dm()->Oper->open();
        choose(ivanov, cutting);
        fill(QStringLiteral("5"), QStringLiteral("8"), QString(), QStringLiteral("0"));
        Messages::Recorder recorder;
        editor->onSave();
        QCOMPARE(recorder.texts(), QStringList{});
        const QSqlRecord row = stored(lastId());
        QCOMPARE(row.value(QStringLiteral("vvod")).toDateTime(), QDateTime(today, QTime(0, 0)));
        QCOMPARE(row.value(QStringLiteral("data")).toDate(), day);
        QCOMPARE(dm()->Smena1->recordCount(), 1);
    }

    void priceIsWrittenWithAPointUnderARussianLocale_data()
    {
        QTest::addColumn<double>("base");
        QTest::addColumn<double>("written");
        QTest::newRow("12.5") << 12.5 << 12.5;
        QTest::newRow("four decimals") << 0.12345 << 0.1234;      // a tie goes to the even digit
        QTest::newRow("tiny") << 0.00004 << 0.0;
        QTest::newRow("large") << 123456789.25 << 123456789.25;
    }
    void priceIsWrittenWithAPointUnderARussianLocale()
    {
        QFETCH(double, base);
        QFETCH(double, written);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        const QByteArray numericBefore = std::setlocale(LC_NUMERIC, nullptr);
        std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");   // where the system has it

        EntryRow row;
        row.cena = base;
        row.date = day;
        const QString insert = EntryStore::insertSql(row, today);
        const QString update = EntryStore::updateSql(row, 1, today);
        const QString price = SqlText::price(base);

        // The norm's price is the base the server checks the written price against.
        db->exec(QStringLiteral("update accounts_dep.norm set price=%1 where o_id=%2")
                     .arg(QString::number(base, 'g', 17)).arg(cutting));
        OperationsList::Choice op = operation(cutting);
        op.cena = base;
        editor->workerChosen(worker(ivanov));
        editor->operationChosen(op);
        editor->recomputePrices();
        fill(QStringLiteral("1"), QStringLiteral("1"), QString(), QStringLiteral("0"));
        Messages::Recorder recorder;
        QString refusal;
        try {
            editor->onSave();
        } catch (const DbError& e) {
            refusal = e.message();
        }
        std::setlocale(LC_NUMERIC, numericBefore.constData());
        QCOMPARE(refusal, QString());

        QVERIFY2(!price.contains(u',') && !price.contains(u'e') && !price.contains(u'E'), qPrintable(price));
        QVERIFY(insert.contains(QStringLiteral(", 0, 0, %1,0, 0, to_date('05.03.2024'").arg(price)));
        QVERIFY(update.contains(QStringLiteral(", cena=%1, kol_vo=0,").arg(price)));
        QCOMPARE(recorder.texts(), QStringList{});
        QCOMPARE(stored(lastId()).value(QStringLiteral("cena")).toDouble(), written);
    }

    void statementTexts()
    {
        EntryRow row;
        row.w_id = 17;
        row.i_id = 5;
        row.o_id = 9;
        row.cena = 12.5;
        row.quantity = 40;
        row.defects = 2;
        row.colour = 0;
        row.hours = 8;
        row.date = QDate(2024, 3, 5);
        row.shift = 2;
        QCOMPARE(EntryStore::duplicateCountSql(row),
                 QStringLiteral("select count(id) as cnt from accounts_dep.SMENA where w_id=17 and o_id=9 and i_id=5 and "
                                "data=to_date('05.03.2024', 'DD.MM.YYYY') and smena=2 and color=0"));
        QCOMPARE(EntryStore::duplicateCountSql(row, 33),
                 QStringLiteral("select count(id) as cnt from accounts_dep.SMENA where w_id=17 and o_id=9 and i_id=5 and "
                                "data=to_date('05.03.2024', 'DD.MM.YYYY') and smena=2 and id<>33 and color=0"));
        QCOMPARE(EntryStore::insertSql(row, QDate(2024, 3, 7)),
                 QStringLiteral("insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, "
                                "time, vvod,ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) "
                                "values(17, 5, 9, 12.5,40, 2, to_date('05.03.2024', 'DD.MM.YYYY HH24:MI:SS'), 2, 0, 8, "
                                "'07.03.2024', 'no', 0, 0, 0, 0, 0, 0)"));
        QCOMPARE(EntryStore::updateSql(row, 33, QDate(2024, 3, 7)),
                 QStringLiteral("update accounts_dep.SMENA set w_id=17, i_id=5, o_id=9, cena=12.5, kol_vo=40, brak=2, "
                                "data=to_date('05.03.2024', 'DD.MM.YYYY'), smena=2, color=0, time=8, vvod='07.03.2024', "
                                "prize=0, id_doc=0, id_doc_item=0, f_gds_qty_use=0, id_gds_use=0, id_cons_use=0 where id=33"));
    }

    void duplicateGuard_data()
    {
        QTest::addColumn<bool>("change");        // change the second entry instead of adding one
        QTest::addColumn<int>("colour");
        QTest::addColumn<int>("hours");
        QTest::addColumn<bool>("refused");
        QTest::newRow("new, equal") << false << 7016 << 3 << true;
        QTest::newRow("new, other hours only") << false << 7016 << 5 << true;
        QTest::newRow("new, other colour") << false << 9005 << 3 << false;
        QTest::newRow("change into an equal one") << true << 7016 << 3 << true;
        QTest::newRow("change, other colour") << true << 1 << 3 << false;
    }
    void duplicateGuard()
    {
        QFETCH(bool, change);
        QFETCH(int, colour);
        QFETCH(int, hours);
        QFETCH(bool, refused);
        const int first = entry(ivanov, painting, day, 1, 7016, 3);
        const int second = entry(ivanov, painting, day, 1, 3020, 2);
        if (change)
            changeEntry(second, 1, day);
        dm()->Oper->open();
        choose(ivanov, painting);
        fill(QStringLiteral("40"), QString::number(hours), QString::number(colour), QStringLiteral("1"));
        editor->show();
        Messages::Recorder recorder;
        editor->onSave();
        QCOMPARE(recorder.texts(), refused ? QStringList{kDuplicate} : QStringList{});
        QCOMPARE(editor->isVisible(), refused);
        QCOMPARE(entries(), refused || change ? 2 : 3);
        QCOMPARE(stored(first).value(QStringLiteral("color")).toInt(), 7016);
        QCOMPARE(stored(second).value(QStringLiteral("color")).toInt(), refused || !change ? 3020 : colour);
        QVERIFY(!dm()->Control->isOpen());
        editor->reject();
    }

    void changeIntoItselfIsAccepted()
    {
        const int id = entry(petrov, painting, day, 2, 7016, 4, QStringLiteral("ok"));
        entry(ivanov, painting, day, 2, 7016, 4);                 // another worker's equal entry
        changeEntry(id, 2, day);
        const QString before = text("Edit2");
        Messages::Recorder recorder;
        editor->onSave();
        QCOMPARE(recorder.texts(), QStringList{});
        QCOMPARE(entries(), 2);
        const QSqlRecord row = stored(id);
        QCOMPARE(row.value(QStringLiteral("cena")).toDouble(), 11.25);   // the stored price stays
        QCOMPARE(row.value(QStringLiteral("color")).toInt(), 7016);
        QCOMPARE(row.value(QStringLiteral("kol_vo")).toInt(), 40);
        // The save resets the bonus of 5 % to 0, a change of the pay: the server takes the
        // acceptance back.
        QCOMPARE(row.value(QStringLiteral("ok")).toString().trimmed(), QStringLiteral("no"));
        QCOMPARE(row.value(QStringLiteral("prize")).toDouble(), 0.0);
        QVERIFY(!before.isEmpty());
        // The journal of the shift was re-read at the same row.
        QCOMPARE(journal->CurrentJournal->recordCount(), 2);
        QCOMPARE(journal->CurrentJournal->value(QStringLiteral("id")).toInt(), id);
    }

    void changeOfAnEntryDeletedMeanwhileIsReported()
    {
        const int id = entry(petrov, cutting, day, 1, 0, 4);
        changeEntry(id, 1, day);
        db->exec(QStringLiteral("delete from accounts_dep.smena where id=%1").arg(id));
        editor->show();
        Messages::Recorder recorder;
        editor->onSave();
        QCOMPARE(recorder.texts(),
                 QStringList{QStringLiteral("Позиция не найдена: она удалена из журнала. Изменения не записаны.")});
        QVERIFY(editor->isVisible());
        QCOMPARE(entries(), 0);
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.h_tabel")), 0);
        editor->reject();
    }

    void refusedStatementShowsTheDriverMessage()
    {
        dm()->Oper->open();
        choose(ivanov, cutting);
        editor->o_id = 999999;                                    // an operation that is gone
        fill(QStringLiteral("5"), QStringLiteral("8"), QString(), QStringLiteral("0"));
        editor->show();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        Messages::Recorder recorder;
        QTest::mouseClick(child<QPushButton>(editor, "Button1"), Qt::LeftButton);
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY2(recorder.lastText().contains(QStringLiteral("smena")), qPrintable(recorder.lastText()));
        QVERIFY(editor->isVisible());
        QCOMPARE(text("Edit3"), QStringLiteral("5"));
        QCOMPARE(entries(), 0);
        editor->reject();
    }

    // The norms changed at another workstation between the choice and the save: the server
    // refuses the old price, the foreman reads the rule's price and chooses the operation
    // again, and the save then goes through with the new price.
    void aPriceTheNormsNoLongerGiveIsRefusedUntilChosenAgain()
    {
        dm()->Oper->open();
        choose(ivanov, cutting);
        fill(QStringLiteral("5"), QStringLiteral("8"), QString(), QStringLiteral("0"));
        db->exec(QStringLiteral("update accounts_dep.norm set price=price+2 where o_id=%1").arg(cutting));
        editor->show();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        Messages::Recorder recorder;
        QTest::mouseClick(child<QPushButton>(editor, "Button1"), Qt::LeftButton);
        QCOMPARE(recorder.texts(),
                 QStringList{QStringLiteral("Цена 10 не соответствует нормативу операции «КР-100; Резка»: по нормативу 12, "
                                            "в выходной 24 — выберите операцию заново.\n\n"
                                            "Позиция не записана: ни журнал, ни табель не изменены.")});
        QVERIFY(editor->isVisible());
        QCOMPARE(entries(), 0);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel")).toInt(), 0);

        dm()->Oper->close();
        dm()->Oper->open();
        editor->operationChosen(operation(cutting));
        editor->recomputePrices();
        QCOMPARE(text("Edit7"), QStringLiteral("12"));
        QTest::mouseClick(child<QPushButton>(editor, "Button1"), Qt::LeftButton);
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(entries(), 1);
        QCOMPARE(stored(lastId()).value(QStringLiteral("cena")).toDouble(), 12.0);
        editor->reject();
    }

    void cancelWritesNothingAndKeepsTheBoxes()
    {
        dm()->Oper->open();
        choose(ivanov, cutting);
        fill(QStringLiteral("5"), QStringLiteral("8"), QString(), QStringLiteral("0"));
        onNextModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        QCOMPARE(editor->exec(), int(QDialog::Rejected));
        QCOMPARE(entries(), 0);
        QCOMPARE(text("Edit1"), QStringLiteral("Иванов Иван Иванович"));
        QCOMPARE(text("Edit3"), QStringLiteral("5"));
        onNextModal([this](QWidget*) { QTest::mouseClick(child<QPushButton>(editor, "Button2"), Qt::LeftButton); });
        QCOMPARE(editor->exec(), int(QDialog::Rejected));
        QCOMPARE(entries(), 0);
        QCOMPARE(text("Edit6"), QStringLiteral("8"));
    }

    // ---- timesheet ---------------------------------------------------------------------------

    void hoursArePostedForTheNewDay()
    {
        entry(ivanov, painting, day, 2, 7016, 3);                 // already in the journal, not yet posted
        openJournal(2, day);
        dm()->Oper->open();
        choose(ivanov, cutting);
        fill(QStringLiteral("10"), QStringLiteral("5"), QString(), QStringLiteral("0"));
        dm()->H_Tabel_2->setParam(QStringLiteral("mnth"), 3);
        dm()->H_Tabel_2->setParam(QStringLiteral("yea"), 2024);
        dm()->H_Tabel_2->open();
        Messages::Recorder recorder;
        editor->onSave();
        QCOMPARE(recorder.texts(), QStringList{});
        QCOMPARE(postedHours(ivanov, 2, day), 8);
        QCOMPARE(postedHours(ivanov, 2, day.addDays(1)), 0);
        QCOMPARE(postedHours(ivanov, 1, day), -1);
        QVERIFY(!dm()->H_Tabel_1->isOpen());
        QVERIFY(!dm()->H_Tabel_2->isOpen());
        QVERIFY(!dm()->H_Tabel_3->isOpen());
    }

    void hoursArePostedForTheDayAChangeLeaves_data()
    {
        QTest::addColumn<bool>("otherWorker");
        QTest::addColumn<QDate>("newDate");
        QTest::addColumn<int>("newShift");
        QTest::newRow("other worker") << true << QDate(2024, 3, 5) << 1;
        QTest::newRow("other date") << false << QDate(2024, 3, 6) << 1;
        QTest::newRow("other month") << false << QDate(2024, 4, 1) << 1;
        QTest::newRow("other shift") << false << QDate(2024, 3, 5) << 3;
        QTest::newRow("nothing moved") << false << QDate(2024, 3, 5) << 1;
    }
    void hoursArePostedForTheDayAChangeLeaves()
    {
        QFETCH(bool, otherWorker);
        QFETCH(QDate, newDate);
        QFETCH(int, newShift);
        // Ivanov's day: a 6-hour and a 2-hour entry, posted as 8.
        const int moved = entry(ivanov, cutting, day, 1, 0, 6);
        entry(ivanov, painting, day, 1, 7016, 2);
        db->exec(QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d5, d6) values (%1, 1, 3, 2024, 8, 1)")
                     .arg(ivanov));
        changeEntry(moved, 1, day);
        if (otherWorker)
            editor->workerChosen(worker(petrov));
        child<QDateEdit>(editor, "DTimeP")->setDate(newDate);
        journal->CurrentShift = newShift;
        Messages::Recorder recorder;
        editor->onSave();
        QCOMPARE(recorder.texts(), QStringList{});

        const int newWorker = otherWorker ? petrov : ivanov;
        const bool stays = !otherWorker && newDate == day && newShift == 1;
        QCOMPARE(postedHours(ivanov, 1, day), stays ? 8 : 2);    // the day it left keeps only the other entry
        QCOMPARE(postedHours(newWorker, newShift, newDate), stays ? 8 : 6);
        if (newDate.month() == 3 && !otherWorker && newShift == 1)
            QCOMPARE(postedHours(ivanov, 1, QDate(2024, 3, 6)), newDate.day() == 6 ? 6 : 1);
    }

    // ---- keyboard ----------------------------------------------------------------------------

    void enterOnAnEmptyQuantitySavesNothing()
    {
        dm()->Oper->open();
        choose(ivanov, cutting);
        box("Edit3")->clear();
        Messages::Recorder recorder;
        bool checked = false;
        onNextModal([&](QWidget* dialog) {
            const auto closeAnyway = qScopeGuard([this] { if (editor->isVisible()) editor->reject(); });
            QLineEdit* quantity = box("Edit3");
            quantity->setFocus();
            QTest::keyClick(quantity, Qt::Key_Return);
            QCOMPARE(recorder.texts(), QStringList{kFillAll});
            QVERIFY(quantity->text().isEmpty());
            QCOMPARE(focusName(), QStringLiteral("Edit3"));
            QVERIFY(dialog->isVisible());
            // Leaving the box first turns it into "0", and then Enter saves.
            QTest::keyClick(quantity, Qt::Key_Tab);
            QCOMPARE(quantity->text(), QStringLiteral("0"));
            key(Qt::Key_Enter);
            checked = true;
        });
        QCOMPARE(editor->exec(), int(QDialog::Accepted));
        QVERIFY(checked);
        QCOMPARE(recorder.texts(), QStringList{kFillAll});
        QCOMPARE(entries(), 1);
        QCOMPARE(stored(lastId()).value(QStringLiteral("kol_vo")).toInt(), 0);
    }

    // What gets into "Кол-во" is what the foreman meant or nothing: a dropped typed
    // character shows a hint, pasted text replaces the box when it is a whole number that
    // the column holds, and is refused whole with a message otherwise.
    void quantityTakesOnlyWholeNumbersThatFit_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("hint");      // beside the box; empty: none
        QTest::addColumn<QString>("message");   // a part of the refusal; empty: none
        const QString digitsOnly = QStringLiteral("Только цифры");
        const QString tooLarge = QStringLiteral("Не больше 2\u00a0147\u00a0483\u00a0647");
        const QString notWhole = QStringLiteral("только целое число");
        QTest::newRow("typed digits") << "typed" << "" << "40" << "40" << "" << "";
        QTest::newRow("typed comma dropped, with a hint") << "typed" << "" << "12,5" << "125" << digitsOnly << "";
        QTest::newRow("typed Cyrillic letter") << "typed" << "7" << "ю" << "7" << digitsOnly << "";
        QTest::newRow("typed 10 digits") << "typed" << "" << "2147483647" << "2147483647" << "" << "";
        QTest::newRow("typed 11th digit") << "typed" << "" << "21474836470" << "2147483647" << tooLarge << "";
        QTest::newRow("typed past the column") << "typed" << "" << "2147483648" << "214748364" << tooLarge << "";
        QTest::newRow("Ctrl+V a fraction") << "Ctrl+V" << "7" << "12,5" << "7" << "" << notWhole;
        QTest::newRow("Ctrl+V a point fraction") << "Ctrl+V" << "" << "12.5" << "" << "" << notWhole;
        QTest::newRow("Ctrl+V replaces, never appends") << "Ctrl+V" << "7" << " 40 " << "40" << "" << "";
        QTest::newRow("Shift+Ins grouped as the windows show") << "Shift+Ins" << "" << "1\u00a0417" << "1417" << "" << "";
        QTest::newRow("menu exponent") << "menu" << "3" << "1e5" << "3" << "" << notWhole;
        QTest::newRow("menu number") << "menu" << "3" << "25" << "25" << "" << "";
        QTest::newRow("dropped text") << "dropped" << "3" << "5 шт." << "3" << "" << notWhole;
        QTest::newRow("Ctrl+V 11 digits") << "Ctrl+V" << "5" << "21474836470" << "5" << ""
                                          << QStringLiteral("не больше 2\u00a0147\u00a0483\u00a0647");
        QTest::newRow("Ctrl+V negative") << "Ctrl+V" << "5" << "-3" << "5" << "" << notWhole;
    }
    void quantityTakesOnlyWholeNumbersThatFit()
    {
        QFETCH(QString, way);
        QFETCH(QString, before);
        QFETCH(QString, input);
        QFETCH(QString, after);
        QFETCH(QString, hint);
        QFETCH(QString, message);
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor));
        auto* quantity = child<DigitsEdit>(editor, "Edit3");
        quantity->setText(before);
        quantity->setFocus();
        quantity->end(false);
        const QString hintBefore = quantity->lastHint();
        Messages::Recorder recorder;
        pasting::putText(quantity, input, way);
        QCOMPARE(quantity->text(), after);
        if (!hint.isEmpty()) {
            QCOMPARE(quantity->lastHint(), hint);
            QTRY_VERIFY(QToolTip::isVisible());
            QCOMPARE(QToolTip::text(), hint);
        }
        if (message.isEmpty()) {
            QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'|')));
        } else {
            QCOMPARE(recorder.shown.size(), 1);
            QVERIFY2(recorder.shown[0].text.contains(message), qPrintable(recorder.shown[0].text));
            QVERIFY(recorder.shown[0].text.contains(input.trimmed()));
            QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        }
        if (hint.isEmpty() && message.isEmpty())
            QCOMPARE(quantity->lastHint(), hintBefore);
        QToolTip::hideText();
        editor->reject();
    }

    // The largest quantity the journal keeps, and its amount, show whole in their boxes.
    void largestQuantityAndItsAmountShowWhole()
    {
        dm()->Oper->open();
        choose(ivanov, painting);                                   // 12.5 a piece
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor));
        box("Edit3")->setText(QStringLiteral("2147483647"));
        editor->recomputePrices();
        QCOMPARE(text("Edit9"), QStringLiteral("26843545587,5"));
        for (const char* name : {"Edit3", "Edit9"}) {
            QLineEdit* b = box(name);
            const int frame = b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
            const int room = b->width() - 2 * frame - 4;   // a line edit keeps 2 pixels each side
            QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) <= room,
                     qPrintable(QStringLiteral("%1: %2 in %3").arg(QLatin1String(name), b->text()).arg(room)));
        }
        editor->reject();
    }

    // Enter in "Кол-во" or "Время" saves, and the amount beside the boxes is the one of
    // what was typed, also when the save is refused and the editor stays open.
    void enterShowsTheAmountOfTheTypedQuantity_data()
    {
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("defects");
        QTest::addColumn<QString>("box");        // where Enter is pressed
        QTest::addColumn<QString>("message");    // empty: saved
        QTest::addColumn<QString>("amount");
        const QString moreDefects = QStringLiteral("Брак не может быть больше количества!");
        QTest::newRow("refused, Enter in Кол-во") << "4" << "9" << "Edit3" << moreDefects << "40";
        QTest::newRow("refused, Enter in Время") << "12" << "20" << "Edit6" << moreDefects << "120";
        QTest::newRow("saved") << "4" << "0" << "Edit3" << "" << "40";
    }
    void enterShowsTheAmountOfTheTypedQuantity()
    {
        QFETCH(QString, quantity);
        QFETCH(QString, defects);
        QFETCH(QString, box);
        QFETCH(QString, message);
        QFETCH(QString, amount);
        dm()->Oper->open();
        QVERIFY(dm()->Oper->locate(QStringLiteral("id"), cutting));
        choose(ivanov, cutting);                                    // 10 a piece
        fill(QString(), QStringLiteral("8"), QString(), defects);
        Messages::Recorder recorder;
        QString amountSeen;
        bool stayedOpen = false;
        onNextModal([&](QWidget* dialog) {
            const auto closeAnyway = qScopeGuard([this] { if (editor->isVisible()) editor->reject(); });
            QVERIFY(QTest::qWaitForWindowActive(editor));
            QCOMPARE(text("Edit9"), QStringLiteral("0"));
            this->box("Edit3")->setFocus();
            typeText(quantity);
            this->box(qPrintable(box))->setFocus();
            // The amount as it stands when Enter reaches the default button.
            connect(child<QPushButton>(editor, "Button1"), &QPushButton::pressed, editor,
                    [&] { amountSeen = text("Edit9"); }, Qt::SingleShotConnection);
            QTest::keyClick(this->box(qPrintable(box)), Qt::Key_Return);
            stayedOpen = dialog->isVisible();
        });
        editor->exec();
        QCOMPARE(amountSeen, amount);
        if (message.isEmpty()) {
            QVERIFY(recorder.shown.isEmpty());
            QVERIFY(!stayedOpen);
            QCOMPARE(entries(), 1);
            QCOMPARE(stored(lastId()).value(QStringLiteral("kol_vo")).toString(), quantity);
        } else {
            QCOMPARE(recorder.texts(), QStringList{message});
            QVERIFY(stayedOpen);
            QCOMPARE(text("Edit9"), amount);
            QCOMPARE(entries(), 0);
        }
    }

    // The date box stands out whenever the entry goes to another day than the journal
    // shows, however the date got there; the tab order stays as documented, so with a
    // switched-off colour box Tab from "Время" reaches the date.
    void dateOtherThanTheJournalsStandsOut_data()
    {
        QTest::addColumn<bool>("paint");
        QTest::addColumn<QDate>("editorDate");
        QTest::addColumn<QString>("typedInDate");   // after Tab from "Время"
        QTest::addColumn<bool>("standsOut");
        QTest::newRow("the journal's day") << false << day << "" << false;
        QTest::newRow("another day") << false << day.addDays(-1) << "" << true;
        QTest::newRow("another day typed into the date") << false << day << "04032024" << true;
        QTest::newRow("the journal's day typed into the date") << false << day.addDays(-1) << "05.03.2024" << false;
        QTest::newRow("paint: colour typed into its box") << true << day << "" << false;
    }
    void dateOtherThanTheJournalsStandsOut()
    {
        QFETCH(bool, paint);
        QFETCH(QDate, editorDate);
        QFETCH(QString, typedInDate);
        QFETCH(bool, standsOut);
        child<QDateEdit>(journal, "DateT")->setDate(day);
        dm()->Oper->open();
        choose(ivanov, paint ? painting : cutting);
        editor->prepareNew(editorDate);
        editor->show();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        auto* date = child<QDateEdit>(editor, "DTimeP");
        box("Edit6")->setFocus();
        key(Qt::Key_Tab);
        QCOMPARE(focusName(), paint ? QStringLiteral("Edit5") : QStringLiteral("DTimeP"));
        typeText(typedInDate);
        if (!typedInDate.isEmpty())
            QCOMPARE(date->date(), QDate::fromString(typedInDate.remove(u'.'), QStringLiteral("ddMMyyyy")));
        QCOMPARE(!date->styleSheet().isEmpty(), standsOut);
        QCOMPARE(date->toolTip().contains(QStringLiteral("05.03.2024")), standsOut);
        QCOMPARE(date->palette().color(QPalette::Base) != editor->palette().color(QPalette::Base), standsOut);
        editor->reject();
        editor->prepareNew(day);
        QVERIFY(date->styleSheet().isEmpty());
    }

    void foremanAddsAnEntryFromTheKeyboard()
    {
        editor->prepareNew(day);
        QStringList lists;   // each list as it opened: its name and the control with the focus
        bool typed = false;
        onNextModal([&](QWidget*) {
            const auto closeAnyway = qScopeGuard([this] { if (editor->isVisible()) editor->reject(); });
            QCOMPARE(focusName(), QStringLiteral("Button3"));
            onNextModal([&](QWidget* list) {
                QVERIFY(QTest::qWaitForWindowActive(list));
                lists << list->objectName() + u':' + focusName(list);
                typeText(QStringLiteral("Пет"), list);
                key(Qt::Key_Return, list);
            });
            key(Qt::Key_Return);                                  // "..." of the worker
            QVERIFY(QTest::qWaitForWindowActive(editor));
            QCOMPARE(text("Edit1"), QStringLiteral("Петров Пётр Петрович"));
            QCOMPARE(focusName(), QStringLiteral("Button4"));
            onNextModal([&](QWidget* list) {
                QVERIFY(QTest::qWaitForWindowActive(list));
                lists << list->objectName() + u':' + focusName(list);
                typeText(QStringLiteral("пн"), list);
                key(Qt::Key_Return, list);
            });
            key(Qt::Key_Return);                                  // "..." of the operation
            QVERIFY(QTest::qWaitForWindowActive(editor));
            QCOMPARE(text("Edit2"), QStringLiteral("ПН-60; Порошковая покраска; Заготовки"));
            QCOMPARE(text("Edit8"), QStringLiteral("12,5"));
            QVERIFY(box("Edit5")->isEnabled());
            QCOMPARE(focusName(), QStringLiteral("Edit3"));
            typeText(QStringLiteral("25x"));                      // types over the "0"; the letter is dropped
            key(Qt::Key_Tab);
            QCOMPARE(text("Edit9"), QStringLiteral("312,5"));
            typeText(QStringLiteral("8"));
            key(Qt::Key_Tab);
            typeText(QStringLiteral("9016"));
            key(Qt::Key_Tab);                                     // the date stays
            QCOMPARE(focusName(), QStringLiteral("DTimeP"));
            key(Qt::Key_Tab);
            typeText(QStringLiteral("1"));
            typed = true;
            key(Qt::Key_Return);
        });
        QCOMPARE(editor->exec(), int(QDialog::Accepted));
        QVERIFY(typed);
        QCOMPARE(lists, (QStringList{QStringLiteral("TForm5:Edit1"), QStringLiteral("TForm4:Edit1")}));
        QCOMPARE(entries(), 1);
        const QSqlRecord row = stored(lastId());
        QCOMPARE(row.value(QStringLiteral("w_id")).toInt(), petrov);
        QCOMPARE(row.value(QStringLiteral("o_id")).toInt(), painting);
        QCOMPARE(row.value(QStringLiteral("i_id")).toInt(), profile);
        QCOMPARE(row.value(QStringLiteral("cena")).toDouble(), 12.5);
        QCOMPARE(row.value(QStringLiteral("kol_vo")).toInt(), 25);
        QCOMPARE(row.value(QStringLiteral("time")).toInt(), 8);
        QCOMPARE(row.value(QStringLiteral("color")).toInt(), 9016);
        QCOMPARE(row.value(QStringLiteral("brak")).toInt(), 1);
        QCOMPARE(row.value(QStringLiteral("data")).toDate(), day);
        QCOMPARE(postedHours(petrov, 1, day), 8);
        QVERIFY(!dm()->Workers->isOpen());
    }

    void clicksOnTheBoxesOpenTheLists()
    {
        editor->show();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        QStringList lists;
        auto takeSecondRow = [&](QWidget* list) {
            QVERIFY(QTest::qWaitForWindowActive(list));
            lists << list->objectName();
            key(Qt::Key_Down, list);
            key(Qt::Key_Return, list);
        };
        onNextModal(takeSecondRow);
        QTest::mouseClick(box("Edit1"), Qt::LeftButton);
        QCOMPARE(text("Edit1"), QStringLiteral("Петров Пётр Петрович"));
        QCOMPARE(editor->w_id, petrov);
        onNextModal(takeSecondRow);
        QTest::mouseClick(box("Edit2"), Qt::LeftButton);
        QCOMPARE(text("Edit2"), QStringLiteral("ПН-60; Порошковая покраска; Заготовки"));
        QCOMPARE(editor->o_id, painting);
        QCOMPARE(lists, (QStringList{QStringLiteral("TForm5"), QStringLiteral("TForm4")}));
        QVERIFY(editor->isVisible());
        editor->reject();
    }

    void operationListOpensAtTheEntrysOperation_data()
    {
        QTest::addColumn<bool>("change");
        QTest::newRow("new entry: first operation") << false;
        QTest::newRow("change: the entry's operation") << true;
    }
    void operationListOpensAtTheEntrysOperation()
    {
        QFETCH(bool, change);
        const int id = entry(ivanov, painting, day, 4, 7016, 4);
        dayOffBox()->setChecked(true);
        if (change) {
            changeEntry(id, 4, day);
        } else {
            openJournal(4, day);
            editor->cena = 7;
            editor->o_id = 0;
        }
        const double priceBefore = editor->cena;
        const int operBefore = editor->o_id;
        QVariant current;
        onNextModal([&](QWidget* list) {
            current = dm()->Oper->value(QStringLiteral("id"));
            key(Qt::Key_Escape, list);
        });
        editor->onChooseOperation();
        QCOMPARE(current.toInt(), change ? painting : cutting);
        // Closed without a choice: the operation and the price stay, the colour rule and
        // the prices are shown anew from the operation current in the list.
        QCOMPARE(editor->o_id, operBefore);
        QCOMPARE(editor->cena, priceBefore);
        QCOMPARE(box("Edit5")->isEnabled(), change);
        QCOMPARE(text("Edit8"), change ? QStringLiteral("12,5") : QStringLiteral("10"));
        QCOMPARE(text("Edit7"), EntryPrice::shown(priceBefore));

        // Chosen again: the day-off and overtime factors of this moment apply.
        onNextModal([&](QWidget* list) { key(Qt::Key_Return, list); });
        editor->onChooseOperation();
        QCOMPARE(editor->o_id, change ? painting : cutting);
        QCOMPARE(editor->cena, change ? 37.5 : 30.0);
    }

    // ---- screenshot ----------------------------------------------------------------------------

    void screenshotWithAPaintOperation()
    {
        dm()->Oper->open();
        QVERIFY(dm()->Oper->locate(QStringLiteral("id"), painting));
        dayOffBox()->setChecked(true);
        choose(petrov, painting);
        fill(QStringLiteral("120"), QStringLiteral("8"), QStringLiteral("9016"), QStringLiteral("2"));
        editor->recomputePrices();
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor));
        const QImage image = editor->grab().toImage();
        editor->reject();
        QVERIFY(!image.isNull());
        QCOMPARE(text("Edit9"), QStringLiteral("3000"));
        const QString dir = qEnvironmentVariable("TABEL_SOURCE_DIR", QStringLiteral(".")) + QStringLiteral("/screenshots");
        QDir().mkpath(dir);
        QVERIFY(image.save(dir + QStringLiteral("/entryeditor.png")));
    }
};

QTEST_MAIN(EntryEditorTest)
#include "tst_entryeditor.moc"
