#include "core/clock.h"
#include "history/historywindow.h"
#include "support/plantfixture.h"
#include "ui/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

// The history window: what it lists, its filters and pages, and one entry's history.
class HistoryWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;
    HistoryWindow* window = nullptr;
    int ivanov = 0, petrov = 0;
    int entry = 0;

    template <class T>
    T* child(const char* name) const
    {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QTableWidget* grid() const { return child<QTableWidget>("Grid"); }
    QString cell(int row, int column) const
    {
        const QTableWidgetItem* item = grid()->item(row, column);
        return item ? item->text() : QString();
    }
    QStringList column(int c) const
    {
        QStringList texts;
        for (int r = 0; r < grid()->rowCount(); ++r)
            texts << cell(r, c);
        return texts;
    }
    void chooseWorker(int id) const
    {
        QComboBox* box = child<QComboBox>("WorkerBox");
        box->setCurrentIndex(box->findData(id));
    }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("historywindow"));
        db->exec(QStringLiteral("set application_name = 'Tabel 20240410.3600 full'"));
        ivanov = Plant::worker(*db, QStringLiteral("Иванов И.И."));
        petrov = Plant::worker(*db, QStringLiteral("Петров П.П."));
        const qint64 bracket = Plant::product(*db, QStringLiteral("КР-1"), QStringLiteral("Кронштейн"));
        const int bending = Plant::operation(*db, bracket, Plant::kind(*db, QStringLiteral("Гибка")), 0, 10);
        Plant::Entry e;
        e.w_id = ivanov; e.i_id = bracket; e.o_id = bending; e.data = QDate(2024, 3, 5);
        entry = Plant::entry(*db, e);
        db->exec(QStringLiteral("update accounts_dep.smena set kol_vo=12 where id=%1").arg(entry));
        e.w_id = petrov;
        Plant::entry(*db, e);
        window = new HistoryWindow;
    }
    void cleanupTestCase()
    {
        delete window;
        db.reset();
    }

    void listsEveryChangeNewestFirst()
    {
        window->prepareAll();
        const int all = db->scalar(QStringLiteral("select count(*) from accounts_dep.change_log")).toInt();
        QCOMPARE(grid()->rowCount(), all);
        QCOMPARE(grid()->horizontalHeaderItem(5)->text(), QStringLiteral("Изменения: было → стало"));
        // Newest first: Petrov's entry, then the change of Ivanov's quantity.
        QCOMPARE(cell(0, 1), QStringLiteral("Журнал"));
        QCOMPARE(cell(0, 3), QStringLiteral("Петров П.П."));
        QCOMPARE(cell(0, 4), QStringLiteral("Добавление"));
        QCOMPARE(cell(1, 3), QStringLiteral("Иванов И.И."));
        QCOMPARE(cell(1, 4), QStringLiteral("Изменение"));
        QCOMPARE(cell(1, 5), QStringLiteral("Кол-во: 10 → 12"));
        QCOMPARE(cell(1, 2), QString::number(entry));
        QCOMPARE(cell(1, 6), QStringLiteral("Табель, сборка 20240410.3600, полный доступ"));
        QCOMPARE(cell(1, 7), db->scalar(QStringLiteral("select session_user")).toString());
        QCOMPARE(cell(1, 9), QStringLiteral("полный доступ"));
        QCOMPARE(cell(1, 8), QStringLiteral("127.0.0.1"));
        QVERIFY(cell(1, 0).contains(db->scalar(QStringLiteral("select to_char(now(), 'DD.MM.YYYY')")).toString()));
        // The chosen row in full below the list.
        grid()->selectRow(1);
        QVERIFY(child<QPlainTextEdit>("Details")->toPlainText().contains(QStringLiteral("Кол-во: 10 → 12")));
    }

    // Codes read with their names; no title and no text of a column is cut off.
    void namesBesideCodesAndNothingClipped()
    {
        // A long table name in the "Что" column.
        db->exec(QStringLiteral("insert into accounts_dep.workers(id, fio, addr) values (424242, 'Перенесенный П.П.', '')"));
        window->prepareAll();
        int added = -1;
        for (int r = 0; r < grid()->rowCount() && added < 0; ++r)
            if (cell(r, 1) == u"Журнал" && cell(r, 3) == u"Петров П.П." && cell(r, 4) == u"Добавление")
                added = r;
        QVERIFY(added >= 0);
        QVERIFY2(cell(added, 5).startsWith(QStringLiteral("Рабочий: → Петров П.П. (%1); Изделие: → КР-1 (").arg(petrov)),
                 qPrintable(cell(added, 5)));
        QVERIFY(cell(added, 5).contains(QStringLiteral("Операция: → Гибка КР-1 (")));
        QVERIFY(column(1).contains(QStringLiteral("Рабочие (перенесенные)")));
        QHeaderView* header = grid()->horizontalHeader();
        for (int c = 0; c < grid()->columnCount(); ++c) {
            QVERIFY2(header->sectionSize(c) >= header->sectionSizeHint(c) || c == 5, qPrintable(QString::number(c)));
            if (c >= 5)   // the changes and the columns right of them show long texts in tooltips
                continue;
            for (int r = 0; r < grid()->rowCount(); ++r)
                QVERIFY2(grid()->fontMetrics().horizontalAdvance(cell(r, c)) < grid()->columnWidth(c),
                         qPrintable(QStringLiteral("%1 in column %2").arg(cell(r, c)).arg(c)));
        }
        // The changes column keeps room for its title however narrow the window is made.
        window->resize(200, 400);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(grid()->columnWidth(5) >= header->sectionSizeHint(5));
        window->hide();
        db->exec(QStringLiteral("delete from accounts_dep.workers where id=424242"));
    }

    void filters_data()
    {
        QTest::addColumn<bool>("byPeriod");
        QTest::addColumn<int>("fromDays");
        QTest::addColumn<int>("toDays");
        QTest::addColumn<QString>("worker");       // "", "ivanov", "petrov"
        QTest::addColumn<QStringList>("workers");  // the worker column expected, "" for none
        QTest::newRow("Ivanov") << false << 0 << 0 << "ivanov"
                                << QStringList{"Иванов И.И.", "Иванов И.И.", "Иванов И.И."};
        QTest::newRow("Petrov") << false << 0 << 0 << "petrov" << QStringList{"Петров П.П.", "Петров П.П."};
        QTest::newRow("Petrov today") << true << 0 << 0 << "petrov" << QStringList{"Петров П.П.", "Петров П.П."};
        QTest::newRow("Petrov last month") << true << 40 << 10 << "petrov" << QStringList{};
        QTest::newRow("everyone last month") << true << 40 << 10 << "" << QStringList{};
    }
    void filters()
    {
        QFETCH(bool, byPeriod);
        QFETCH(int, fromDays);
        QFETCH(int, toDays);
        QFETCH(QString, worker);
        QFETCH(QStringList, workers);
        window->prepareAll();
        const QDate today = db->scalar(QStringLiteral("select current_date")).toDate();
        child<QCheckBox>("PeriodBox")->setChecked(byPeriod);
        QCOMPARE(child<QDateEdit>("DateFrom")->isEnabled(), byPeriod);
        child<QDateEdit>("DateFrom")->setDate(today.addDays(-fromDays));
        child<QDateEdit>("DateTo")->setDate(today.addDays(-toDays));
        chooseWorker(worker == QLatin1String("ivanov") ? ivanov : worker == QLatin1String("petrov") ? petrov : 0);
        child<QPushButton>("ShowButton")->click();
        QCOMPARE(column(3), workers);
        QCOMPARE(child<QLabel>("PageLabel")->text(),
                 workers.isEmpty() ? QStringLiteral("Изменений нет") : QStringLiteral("Страница 1"));
        child<QCheckBox>("PeriodBox")->setChecked(false);
        chooseWorker(0);
    }

    void aPeriodEndingBeforeItBeginsIsRefused()
    {
        window->prepareAll();
        const int rows = grid()->rowCount();
        child<QCheckBox>("PeriodBox")->setChecked(true);
        child<QDateEdit>("DateFrom")->setDate(QDate(2024, 5, 2));
        child<QDateEdit>("DateTo")->setDate(QDate(2024, 5, 1));
        Messages::Recorder recorder;
        window->onShow();
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Начало периода позже его конца.")});
        QCOMPARE(grid()->rowCount(), rows);
        child<QCheckBox>("PeriodBox")->setChecked(false);
    }

    // A period typed into its boxes after Home is the period typed, not another date.
    void typedPeriodDatesAreReadWhole()
    {
        child<QCheckBox>("PeriodBox")->setChecked(true);
        for (const char* name : {"DateFrom", "DateTo"}) {
            auto* box = child<QDateEdit>(name);
            box->setDate(QDate(2024, 5, 2));
            QTest::keyClick(box, Qt::Key_Home);
            QTest::keyClicks(box, QStringLiteral("30112026"));
            QCOMPARE(box->date(), QDate(2026, 11, 30));
        }
        child<QCheckBox>("PeriodBox")->setChecked(false);
    }

    // "Далее" and "Назад" walk the pages; the last page switches "Далее" off.
    void pagesForwardAndBack()
    {
        const int all = db->scalar(QStringLiteral("select count(*) from accounts_dep.change_log")).toInt();
        window->setPageSize(3);
        window->prepareAll();
        QPushButton* next = child<QPushButton>("NextButton");
        QPushButton* prev = child<QPushButton>("PrevButton");
        QVERIFY(!prev->isEnabled());
        QStringList seen;
        QStringList firstPage;
        int pages = 0;
        for (;;) {
            ++pages;
            QCOMPARE(child<QLabel>("PageLabel")->text(), QStringLiteral("Страница %1").arg(pages));
            QVERIFY(grid()->rowCount() <= 3);
            for (int r = 0; r < grid()->rowCount(); ++r)
                seen << cell(r, 0) + cell(r, 2) + cell(r, 4) + cell(r, 5);
            if (pages == 1)
                firstPage = seen;
            if (!next->isEnabled())
                break;
            next->click();
            QVERIFY(prev->isEnabled());
        }
        QCOMPARE(seen.size(), all);
        QCOMPARE(pages, (all + 2) / 3);
        for (int p = pages; p > 1; --p)
            prev->click();
        QVERIFY(!prev->isEnabled());
        QCOMPARE(grid()->rowCount(), 3);
        QCOMPARE(cell(0, 0) + cell(0, 2) + cell(0, 4) + cell(0, 5), firstPage.first());
        window->setPageSize(History::Store::kPageSize);
    }

    // A database whose schema was not upgraded has no history: the window says so and
    // does not open.
    void aDatabaseWithoutHistorySaysSo()
    {
        TestDatabase older(QStringLiteral("historywindow_older"));
        older.exec(QStringLiteral("drop table accounts_dep.change_log cascade"));
        HistoryWindow onOlder;
        Messages::Recorder recorder;
        onOlder.showAll();
        onOlder.showEntry(1);
        QCOMPARE(recorder.shown.size(), 2);
        QVERIFY(recorder.shown[0].text.startsWith(QStringLiteral("Эта база данных не ведет историю изменений")));
        QVERIFY(!onOlder.isVisible());
    }

    // One entry's history: only that entry, the filters out of sight.
    void oneEntry()
    {
        window->prepareEntry(entry);
        QCOMPARE(window->windowTitle(), QStringLiteral("История записи журнала № %1").arg(entry));
        QVERIFY(child<QWidget>("FilterRow")->isHidden());
        QCOMPARE(column(4), (QStringList{QStringLiteral("Изменение"), QStringLiteral("Добавление")}));
        QCOMPARE(column(2), (QStringList{QString::number(entry), QString::number(entry)}));
        window->prepareAll();
        QVERIFY(!child<QWidget>("FilterRow")->isHidden());
    }
};

QTEST_MAIN(HistoryWindowTest)
#include "tst_historywindow.moc"
