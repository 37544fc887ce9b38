#include "app/windows.h"
#include "core/clock.h"
#include "db/sqlrun.h"
#include "export/optest_xlsx.h"
#include "export/spreadsheet.h"
#include "journal/entryeditor.h"
#include "journal/journalwindow.h"
#include "reports/summaryreportswindow.h"
#include "reports/timesheetlayout.h"
#include "support/modal.h"
#include "support/plantfixture.h"
#include "timesheet/hoursposting.h"
#include "timesheet/timesheetgrid.h"
#include "timesheet/timesheetwindow.h"
#include "ui/messages.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QScopeGuard>
#include <QtTest>
#include <atomic>

// The timesheet window on the real server: the month it shows and how, its rebuild from
// the journal (whole or not at all, beside postings of other workstations), the export.
class TimesheetWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;
    TimesheetWindow* window = nullptr;
    JournalWindow* journal = nullptr;
    int ivanov = 0, petrov = 0, sidorov = 0, orlov = 0;
    qint64 product = 0;
    int operation = 0;
    QStringList shownFiles;
    QTemporaryDir documents;   // the user's documents folder

    template <class T> T* child(const char* name) const { return window->findChild<T*>(QString::fromLatin1(name)); }

    int addEntry(int w, const QDate& d, int shift, int hours)
    {
        Plant::Entry e;
        e.w_id = w; e.i_id = product; e.o_id = operation; e.data = d; e.smena = shift; e.time = hours;
        return Plant::entry(*db, e);
    }
    void setDay(int w, int shift, const QDate& d, int hours)
    {
        db->exec(QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d%1) values (%2, %3, %4, %5, %6) "
                                "on conflict (year, month, w_id, smena) do update set d%1=excluded.d%1")
                     .arg(d.day()).arg(w).arg(shift).arg(d.month()).arg(d.year()).arg(hours));
    }
    static QString dayList(const QString& pattern)
    {
        QStringList items;
        for (int n = 1; n <= 31; ++n)
            items << pattern.arg(n);
        return items.join(QStringLiteral(", "));
    }
    QStringList rowsOf(const QString& sql) const
    {
        QStringList rows;
        const SqlRun::Result result = db->dm()->select(sql);
        for (const QSqlRecord& record : result.rows) {
            QStringList values;
            for (int i = 0; i < record.count(); ++i)
                values << record.value(i).toString();
            rows << values.join(u' ');
        }
        return rows;
    }
    // The month as stored: "smena w_id d1 … d31", in key order.
    QStringList storedMonth(int month, int year) const
    {
        return rowsOf(QStringLiteral("select smena, w_id, %1 from accounts_dep.h_tabel where month=%2 and year=%3 order by smena, w_id")
                          .arg(dayList(QStringLiteral("d%1"))).arg(month).arg(year));
    }
    // The month as the journal gives it by the rebuild's row rule, in one statement.
    QStringList monthByTheRule(int month, int year) const
    {
        return rowsOf(QStringLiteral("select smena, w_id, %1 from accounts_dep.smena where data >= make_date(%3, %2, 1) "
                                     "and data < make_date(%3, %2, 1) + interval '1 month' group by smena, w_id order by smena, w_id")
                          .arg(dayList(QStringLiteral("coalesce(sum(time) filter (where extract(day from data)=%1), 0)")))
                          .arg(month).arg(year));
    }
    QStringList names(int shift) const
    {
        QStringList list;
        Dataset* ds = db->dm()->hTabelForShift(shift);
        for (int row = 0; row < ds->recordCount(); ++row)
            list << ds->valueAt(row, QStringLiteral("fio")).toString();
        return list;
    }
    QModelIndex cell(int shift, const QString& fio, int column) const
    {
        TimesheetModel* model = window->modelOf(shift);
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, 0).data().toString() == fio)
                return model->index(row, column);
        return {};
    }
    // What the grid's delegate makes of a cell, as it draws it when not selected.
    QStyleOptionViewItem look(int shift, const QModelIndex& index) const
    {
        QTableView* grid = window->gridOf(shift);
        QStyleOptionViewItem option;
        option.initFrom(grid->viewport());
        option.state &= ~QStyle::State_Selected;
        auto* delegate = static_cast<TimesheetCellDelegate*>(grid->itemDelegate());
        delegate->initStyleOption(&option, index);
        return option;
    }
    void rebuild(const QDate& month)
    {
        window->selectPeriod(month);
        child<QPushButton>("Button1")->click();
    }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("timesheet"));
        ivanov = Plant::worker(*db, QStringLiteral("Иванов И.И."));
        petrov = Plant::worker(*db, QStringLiteral("Петров П.П."));
        sidorov = Plant::worker(*db, QStringLiteral("Сидоров С.С."));
        orlov = Plant::worker(*db, QStringLiteral("Орлов О.О."));
        product = Plant::product(*db, QStringLiteral("КР-100"));
        operation = Plant::operation(*db, product, Plant::kind(*db, QStringLiteral("Гибка")), 0, 10);
        Clock::setToday(QDate(2026, 12, 10));
        appWindows().timesheetLayout = new TimesheetLayout;
        window = new TimesheetWindow;
        appWindows().timesheet = window;
        journal = new JournalWindow;
        appWindows().journal = journal;
        appWindows().entryEditor = new EntryEditor;
        appWindows().summaryReports = new SummaryReportsWindow;
        for (int shift = 1; shift <= 4; ++shift)
            db->dm()->smenaForShift(shift)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
        Spreadsheet::setViewer([this](const QString& path) { shownFiles << path; return true; });
        Spreadsheet::setFolder(documents.path());
    }
    void cleanupTestCase()
    {
        Spreadsheet::setViewer({});
        Spreadsheet::setFolder(QString());
        delete appWindows().summaryReports;
        delete appWindows().entryEditor;
        delete journal;
        delete window;
        delete appWindows().timesheetLayout;
        appWindows() = AppWindows();
        Clock::setToday({});
        db.reset();
    }
    void init()
    {
        Clock::setToday(QDate(2026, 12, 10));
        db->exec(QStringLiteral("drop trigger if exists refuse_timesheet on accounts_dep.h_tabel"));
        db->exec(QStringLiteral("delete from accounts_dep.smena"));
        db->exec(QStringLiteral("delete from accounts_dep.h_tabel"));
    }
    void cleanup() { QVERIFY(noTopLevelWindowOpen()); }

    // ---- period --------------------------------------------------------------------------

    void theLayoutOfTheWindow()
    {
        QCOMPARE(window->objectName(), QStringLiteral("TForm19"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Табель по времени"));
        auto* pages = child<QTabWidget>("PageControl1");
        QCOMPARE(pages->count(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(pages->tabText(i), QStringLiteral("Смена №%1").arg(i + 1));
        QVERIFY(pages->widget(0)->findChild<QPushButton*>(QStringLiteral("Button1")));
        QVERIFY(pages->widget(0)->findChild<QPushButton*>(QStringLiteral("Button2")));
        QVERIFY(child<QProgressBar>("PB")->isHidden());
        QCOMPARE(child<QProgressBar>("PB")->minimum(), 1);
        auto* months = child<QComboBox>("ComboBox1");
        QCOMPARE(months->count(), 12);
        QCOMPARE(months->itemText(0), QStringLiteral("Январь"));
        QCOMPARE(months->itemText(11), QStringLiteral("Декабрь"));
        for (int shift = 1; shift <= 3; ++shift) {
            QTableView* grid = window->gridOf(shift);
            QCOMPARE(grid->objectName(), QStringLiteral("DBGrid%1").arg(shift));
            QVERIFY(!grid->verticalHeader()->isVisible());
            QCOMPARE(grid->model()->columnCount(), 33);
            QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Фамилия И. О."));
            QCOMPARE(grid->columnWidth(0), 208);
            for (int day = 1; day <= 31; ++day) {
                QCOMPARE(grid->model()->headerData(day, Qt::Horizontal).toString(), QString::number(day));
                QVERIFY(grid->columnWidth(day) >= 20);
            }
            QCOMPARE(grid->model()->headerData(32, Qt::Horizontal).toString(), QStringLiteral("Итого"));
            QCOMPARE(grid->columnWidth(32), 47);
            QVERIFY(grid->model()->headerData(5, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
            QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        }
    }

    void theYearListReachesNextYearAndTheNearestYearIsChosen_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("journalDate");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("lastYear");
        QTest::newRow("journal in 2026") << QDate(2026, 12, 10) << QDate(2026, 3, 5) << "2026" << "2027";
        QTest::newRow("journal in 2006") << QDate(2026, 12, 10) << QDate(2006, 11, 1) << "2007" << "2027";
        QTest::newRow("never shorter than to 2025") << QDate(2019, 5, 1) << QDate(2025, 1, 31) << "2025" << "2025";
        QTest::newRow("journal past the list") << QDate(2024, 5, 1) << QDate(2026, 7, 1) << "2025" << "2025";
        QTest::newRow("first year") << QDate(2026, 1, 1) << QDate(2007, 12, 31) << "2007" << "2027";
    }
    void theYearListReachesNextYearAndTheNearestYearIsChosen()
    {
        QFETCH(QDate, today);
        QFETCH(QDate, journalDate);
        QFETCH(QString, chosen);
        QFETCH(QString, lastYear);
        Clock::setToday(today);
        window->selectPeriod(journalDate);
        auto* years = child<QComboBox>("ComboBox2");
        QCOMPARE(years->itemText(0), QStringLiteral("2007"));
        QCOMPARE(years->itemText(years->count() - 1), lastYear);
        QCOMPARE(years->currentText(), chosen);
        QCOMPARE(child<QComboBox>("ComboBox1")->currentIndex(), journalDate.month() - 1);
        for (int shift = 1; shift <= 3; ++shift) {
            Dataset* listing = db->dm()->hTabelForShift(shift);
            QVERIFY(listing->isOpen());
            QCOMPARE(listing->param(QStringLiteral("mnth")).toInt(), journalDate.month());
            QCOMPARE(listing->param(QStringLiteral("yea")).toInt(), chosen.toInt());
        }
    }

    // From the journal's menu: the journal's month, and the listings closed afterwards.
    void opensOnTheJournalMonthAndClosesItsListings_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Выход") << false;
        QTest::newRow("Esc") << true;
    }
    void opensOnTheJournalMonthAndClosesItsListings()
    {
        QFETCH(bool, byEscape);
        setDay(ivanov, 2, QDate(2024, 6, 3), 7);
        journal->findChild<QDateEdit*>(QStringLiteral("DateT"))->setDate(QDate(2024, 6, 14));
        QString seenMonth, seenYear;
        QStringList seenNames;
        bool visible = false;
        onNextModal([&](QWidget* modal) {
            visible = modal == window;
            seenMonth = child<QComboBox>("ComboBox1")->currentText();
            seenYear = child<QComboBox>("ComboBox2")->currentText();
            seenNames = names(2);
            if (byEscape)
                QTest::keyClick(modal, Qt::Key_Escape);
            else
                child<QPushButton>("Button4")->click();
        });
        journal->onTimesheet();
        QVERIFY(visible);
        QCOMPARE(seenMonth, QStringLiteral("Июнь"));
        QCOMPARE(seenYear, QStringLiteral("2024"));
        QCOMPARE(seenNames, QStringList{QStringLiteral("Иванов И.И.")});
        for (int shift = 1; shift <= 3; ++shift)
            QVERIFY(!db->dm()->hTabelForShift(shift)->isOpen());
    }

    void changingTheMonthRereadsEveryPage()
    {
        setDay(ivanov, 1, QDate(2024, 6, 3), 8);
        setDay(petrov, 3, QDate(2024, 7, 3), 8);
        window->selectPeriod(QDate(2024, 6, 1));
        QCOMPARE(names(1), QStringList{"Иванов И.И."});
        QCOMPARE(names(3), QStringList{});
        child<QComboBox>("ComboBox1")->setCurrentIndex(6);
        QCOMPARE(names(1), QStringList{});
        QCOMPARE(names(3), QStringList{"Петров П.П."});
        QCOMPARE(window->modelOf(3)->rowCount(), 1);
        setDay(sidorov, 3, QDate(2024, 7, 9), 8);
        QCOMPARE(names(3), QStringList{"Петров П.П."});   // a snapshot until refreshed
        child<QPushButton>("Button5")->click();
        QCOMPARE(names(3), QStringList({"Петров П.П.", "Сидоров С.С."}));
        child<QComboBox>("ComboBox2")->setCurrentText(QStringLiteral("2023"));
        QCOMPARE(names(3), QStringList{});
        QCOMPARE(db->dm()->H_Tabel_2->param(QStringLiteral("yea")).toInt(), 2023);
    }

    // ---- what the grid paints ------------------------------------------------------------

    void dayColumnsFollowTheCalendar_data()
    {
        QTest::addColumn<QDate>("month");
        QTest::addColumn<QList<int>>("weekends");
        QTest::addColumn<QList<int>>("missing");
        QTest::newRow("28-day February") << QDate(2023, 2, 1) << QList<int>{4, 5, 11, 12, 18, 19, 25, 26} << QList<int>{29, 30, 31};
        QTest::newRow("leap February") << QDate(2024, 2, 1) << QList<int>{3, 4, 10, 11, 17, 18, 24, 25} << QList<int>{30, 31};
        QTest::newRow("starts on a Saturday") << QDate(2024, 6, 1) << QList<int>{1, 2, 8, 9, 15, 16, 22, 23, 29, 30} << QList<int>{31};
        QTest::newRow("starts on a Sunday, 31 days") << QDate(2024, 12, 1) << QList<int>{1, 7, 8, 14, 15, 21, 22, 28, 29} << QList<int>{};
    }
    void dayColumnsFollowTheCalendar()
    {
        QFETCH(QDate, month);
        QFETCH(QList<int>, weekends);
        QFETCH(QList<int>, missing);
        // A worker with 5 hours every day (missing days too, as a foreign program may write).
        for (int day = 1; day <= 31; ++day)
            db->exec(QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d%1) values (%2, 1, %3, %4, 5) "
                                    "on conflict (year, month, w_id, smena) do update set d%1=5")
                         .arg(day).arg(ivanov).arg(month.month()).arg(month.year()));
        window->selectPeriod(month);
        QTableView* grid = window->gridOf(1);
        const QColor windowText = grid->viewport()->palette().color(QPalette::Text);
        const QColor window_ = grid->viewport()->palette().color(QPalette::Base);
        for (int day = 1; day <= 31; ++day) {
            const QVariant title = grid->model()->headerData(day, Qt::Horizontal, Qt::ForegroundRole);
            const QColor text = look(1, cell(1, QStringLiteral("Иванов И.И."), day)).palette.color(QPalette::Text);
            if (weekends.contains(day)) {
                QCOMPARE(title.value<QColor>(), QColor(255, 0, 0));
                QCOMPARE(text, QColor(255, 0, 0));
            } else if (missing.contains(day)) {
                QCOMPARE(title.value<QColor>(), QColor(192, 192, 192));
                QCOMPARE(text, window_);
            } else {
                QVERIFY2(!title.isValid(), qPrintable(QString::number(day)));
                QCOMPARE(text, windowText);
            }
        }
    }

    void cellsAreDrawnByTheirHours_data()
    {
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("hours");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QString>("text");         // "red", "silver", "text", "window"
        QTest::addColumn<bool>("green");
        // June 2024 starts on a Saturday; the 3rd is a Monday; it has no 31st.
        QTest::newRow("0 on a workday") << 3 << 0 << false << "silver" << false;
        QTest::newRow("5 on a workday") << 3 << 5 << false << "text" << false;
        QTest::newRow("8 on a workday") << 3 << 8 << true << "text" << false;
        QTest::newRow("9 on a workday") << 3 << 9 << true << "text" << true;
        QTest::newRow("0 on a Saturday") << 1 << 0 << false << "red" << false;
        QTest::newRow("8 on a Sunday") << 2 << 8 << true << "red" << false;
        QTest::newRow("12 on a Saturday") << 8 << 12 << true << "red" << true;
        QTest::newRow("0 past the month") << 31 << 0 << false << "window" << false;
        QTest::newRow("3 past the month") << 31 << 3 << false << "window" << false;
    }
    void cellsAreDrawnByTheirHours()
    {
        QFETCH(int, day);
        QFETCH(int, hours);
        QFETCH(bool, bold);
        QFETCH(QString, text);
        QFETCH(bool, green);
        db->exec(QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d%1) values (%2, 2, 6, 2024, %3)")
                     .arg(day).arg(petrov).arg(hours));
        window->selectPeriod(QDate(2024, 6, 1));
        QTableView* grid = window->gridOf(2);
        const QModelIndex index = cell(2, QStringLiteral("Петров П.П."), day);
        QVERIFY(index.isValid());
        QCOMPARE(index.data().toString(), QString::number(hours));
        const QStyleOptionViewItem option = look(2, index);
        QCOMPARE(option.font.bold(), bold);
        const QPalette palette = grid->viewport()->palette();
        const QColor expected = text == u"red"      ? QColor(255, 0, 0)
                                : text == u"silver" ? QColor(192, 192, 192)
                                : text == u"window" ? palette.color(QPalette::Base)
                                                    : palette.color(QPalette::Text);
        QCOMPARE(option.palette.color(QPalette::Text), expected);
        QCOMPARE(option.backgroundBrush.style() != Qt::NoBrush && option.backgroundBrush.color() == QColor(192, 220, 192), green);

        // The total column keeps its own background and is never marked.
        const QStyleOptionViewItem total = look(2, index.siblingAtColumn(32));
        QCOMPARE(total.backgroundBrush.color(), QColor(225, 228, 255));
        QVERIFY(!total.font.bold());
        QCOMPARE(index.siblingAtColumn(32).data().toString(), QString::number(hours));
    }

    // Two-digit hours show whole in their day column, bold on green as a long day is,
    // and the window at its own size shows every column without scrolling sideways.
    void twoDigitHoursShowWhole_data()
    {
        QTest::addColumn<int>("hours");
        QTest::newRow("14, a long day") << 14;
        QTest::newRow("88, the widest two digits") << 88;
        QTest::newRow("8, bold") << 8;
    }
    void twoDigitHoursShowWhole()
    {
        QFETCH(int, hours);
        db->exec(QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d14) values (%1, 1, 12, 2026, %2)")
                     .arg(orlov).arg(hours));
        window->selectPeriod(QDate(2026, 12, 1));
        window->show();
        auto hide = qScopeGuard([this] { window->hide(); });
        QTableView* grid = window->gridOf(1);
        const QModelIndex index = grid->model()->index(0, 14);
        QCOMPARE(index.data().toString(), QString::number(hours));
        QStyleOptionViewItem option = look(1, index);
        option.rect = grid->visualRect(index);
        const QSize needed = grid->itemDelegate()->sizeHint(option, index);
        QVERIFY2(needed.width() <= option.rect.width(), qPrintable(QStringLiteral("%1 > %2").arg(needed.width()).arg(option.rect.width())));
        QCOMPARE(grid->horizontalScrollBar()->maximum(), 0);
    }

    // The pixels of the shown grid: green behind 9 hours, red digits on a weekend, nothing
    // in a day the month does not have, and the selected cell in the selection colours.
    void theShownGridPaintsTheMarks()
    {
        db->exec(QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d3, d8, d31) values (%1, 1, 6, 2024, 9, 7, 0)").arg(orlov));
        window->selectPeriod(QDate(2024, 6, 1));
        window->show();
        auto hide = qScopeGuard([this] { window->hide(); });
        QTableView* grid = window->gridOf(1);
        grid->clearSelection();
        grid->setCurrentIndex(QModelIndex());
        auto cellImage = [&](int column) {
            const QRect rect = grid->visualRect(grid->model()->index(0, column));
            return grid->viewport()->grab(rect.adjusted(1, 1, -1, -1)).toImage();
        };
        auto count = [](const QImage& image, const std::function<bool(QColor)>& test) {
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += test(image.pixelColor(x, y)) ? 1 : 0;
            return n;
        };
        const QImage long_ = cellImage(3);
        QCOMPARE(long_.pixelColor(1, 1), QColor(192, 220, 192));
        const QImage weekend = cellImage(8);
        QVERIFY(count(weekend, [](QColor c) { return c.red() > 200 && c.green() < 120 && c.blue() < 120; }) > 3);
        const QImage missing = cellImage(31);
        const QColor base = grid->viewport()->palette().color(QPalette::Base);
        QCOMPARE(count(missing, [&](QColor c) { return c != base; }), 0);

        grid->setCurrentIndex(grid->model()->index(0, 3));
        const QImage selected = cellImage(3);
        const QPalette palette = grid->viewport()->palette();
        // The style shades its selection a little: near the highlight colour, far from green.
        const QColor corner = selected.pixelColor(1, 1);
        auto near = [&](const QColor& c) {
            return std::abs(corner.red() - c.red()) + std::abs(corner.green() - c.green()) + std::abs(corner.blue() - c.blue()) < 30;
        };
        QVERIFY2(near(palette.color(QPalette::Active, QPalette::Highlight)) || near(palette.color(QPalette::Inactive, QPalette::Highlight)),
                 qPrintable(corner.name()));
    }

    // ---- rebuild ---------------------------------------------------------------------------

    void theRebuildRunsEveryDayOfTheMonth_data()
    {
        QTest::addColumn<QDate>("month");
        QTest::addColumn<int>("days");
        QTest::newRow("28-day February") << QDate(2023, 2, 1) << 28;
        QTest::newRow("leap February") << QDate(2024, 2, 1) << 29;
        QTest::newRow("April") << QDate(2024, 4, 1) << 30;
        QTest::newRow("December") << QDate(2024, 12, 1) << 31;
    }
    void theRebuildRunsEveryDayOfTheMonth()
    {
        QFETCH(QDate, month);
        QFETCH(int, days);
        addEntry(ivanov, month.addDays(days - 1), 1, 6);    // the last day of the month
        addEntry(ivanov, month.addDays(days), 1, 5);        // the first of the next one
        auto* bar = child<QProgressBar>("PB");
        QList<int> steps;
        bool shownWhileRunning = true;
        auto link = connect(bar, &QProgressBar::valueChanged, this, [&](int v) {
            steps << v;
            shownWhileRunning = shownWhileRunning && !bar->isHidden();
        });
        Messages::Recorder messages;
        rebuild(month);
        disconnect(link);
        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.lastText()));
        QList<int> expected;
        for (int day = 2; day <= days; ++day)   // from position 1, where it starts
            expected << day;
        QCOMPARE(steps.mid(steps.lastIndexOf(1) + 1), expected);
        QCOMPARE(bar->maximum(), days);
        QVERIFY(shownWhileRunning);
        QVERIFY(bar->isHidden());
        QCOMPARE(storedMonth(month.month(), month.year()), monthByTheRule(month.month(), month.year()));
        QCOMPARE(db->scalar(QStringLiteral("select d%1 from accounts_dep.h_tabel where w_id=%2 and month=%3")
                                .arg(days).arg(ivanov).arg(month.month())).toInt(), 6);
        QCOMPARE(names(1), QStringList{"Иванов И.И."});
    }

    // Shifts 1 and 2 on one day give a row on each page; shift 4 has no page; a worker
    // without entries that month loses his row; other months stay.
    void theRebuildTakesTheMonthFromTheJournal()
    {
        const QDate day(2024, 6, 3);
        addEntry(ivanov, day, 1, 8);
        addEntry(ivanov, day, 1, 2);
        addEntry(ivanov, day, 2, 4);
        addEntry(petrov, day.addDays(1), 4, 3);
        setDay(sidorov, 3, day, 8);                        // no entries: the row goes
        setDay(sidorov, 3, QDate(2024, 7, 1), 5);          // another month: it stays
        setDay(ivanov, 1, day.addDays(10), 6);             // a day without entries: back to 0
        rebuild(day);
        QCOMPARE(storedMonth(6, 2024),
                 QStringList({QStringLiteral("1 %1 0 0 10").arg(ivanov) + QString(" 0").repeated(28),
                              QStringLiteral("2 %1 0 0 4").arg(ivanov) + QString(" 0").repeated(28),
                              QStringLiteral("4 %1 0 0 0 3").arg(petrov) + QString(" 0").repeated(27)}));
        QCOMPARE(storedMonth(7, 2024).size(), 1);
        QCOMPARE(names(1), QStringList{"Иванов И.И."});
        QCOMPARE(names(2), QStringList{"Иванов И.И."});
        QCOMPARE(names(3), QStringList{});
        QCOMPARE(cell(1, QStringLiteral("Иванов И.И."), 3).data().toString(), QStringLiteral("10"));
        QCOMPARE(cell(1, QStringLiteral("Иванов И.И."), 32).data().toString(), QStringLiteral("10"));
        QCOMPARE(cell(2, QStringLiteral("Иванов И.И."), 3).data().toString(), QStringLiteral("4"));
    }

    void anEmptyMonthRebuiltHasNoRows()
    {
        setDay(ivanov, 1, QDate(2024, 9, 2), 8);
        setDay(petrov, 4, QDate(2024, 9, 3), 8);
        addEntry(ivanov, QDate(2024, 8, 31), 1, 8);
        rebuild(QDate(2024, 9, 1));
        QCOMPARE(storedMonth(9, 2024), QStringList{});
        QCOMPARE(names(1), QStringList{});
    }

    void aRebuildEqualsTheRuleRowForRow()
    {
        const quint32 seed = 20240611;
        QRandomGenerator random(seed);
        const int workers[] = {ivanov, petrov, sidorov, orlov, 4711, 900002};
        QStringList values;
        for (int i = 0; i < 600; ++i) {
            const QDate date = QDate(2024, 5, 30).addDays(random.bounded(34));   // a little of May and July too
            const int worker = workers[random.bounded(6)];
            const int shift = 1 + random.bounded(worker == orlov ? 2 : 4);       // Orlov never in shifts 3, 4
            values << QStringLiteral("(%1, %2, %3, to_date('%4', 'DD.MM.YYYY'), %5, %6, 10, 0, 1, 0, 'no')")
                          .arg(worker).arg(product).arg(operation).arg(date.toString(QStringLiteral("dd.MM.yyyy")))
                          .arg(shift).arg(random.bounded(13));
        }
        db->exec(QStringLiteral("insert into accounts_dep.smena(w_id, i_id, o_id, data, smena, time, kol_vo, brak, cena, color, ok) values ")
                 + values.join(u','));
        setDay(orlov, 3, QDate(2024, 6, 5), 8);   // a stale row of a shift he has no entries in
        setDay(orlov, 1, QDate(2024, 6, 5), 99);  // a stale day
        rebuild(QDate(2024, 6, 1));
        const QStringList expected = monthByTheRule(6, 2024);
        QVERIFY(expected.size() > 15);
        QCOMPARE(storedMonth(6, 2024), expected);
    }

    // A rebuild writes only rows that really change, so the history shows what changed:
    // rebuilt again it writes nothing and every row keeps its key; a changed day updates
    // that row alone, a row without entries goes, a new worker's row comes.
    void aRebuildWritesOnlyWhatChanges()
    {
        addEntry(ivanov, QDate(2024, 6, 3), 1, 8);
        addEntry(petrov, QDate(2024, 6, 4), 2, 7);
        addEntry(sidorov, QDate(2024, 6, 5), 1, 6);
        rebuild(QDate(2024, 6, 1));
        const QString keysSql = QStringLiteral("select id, smena, w_id from accounts_dep.h_tabel where month=6 and year=2024 order by id");
        const QStringList keys = rowsOf(keysSql);
        QCOMPARE(keys.size(), 3);
        const QString traceSql = QStringLiteral("select operation, w_id from (select c.operation, c.worker_id as w_id, c.id "
                                                "from accounts_dep.change_log c where c.table_name='h_tabel' and c.id > %1) t "
                                                "order by operation, w_id");
        auto lastTrace = [&] {
            return db->scalar(QStringLiteral("select coalesce(max(id), 0) from accounts_dep.change_log")).toLongLong();
        };

        qint64 mark = lastTrace();
        rebuild(QDate(2024, 6, 1));
        QCOMPARE(rowsOf(traceSql.arg(mark)), QStringList());
        QCOMPARE(rowsOf(keysSql), keys);

        addEntry(ivanov, QDate(2024, 6, 3), 1, 2);     // his day 3 becomes 10
        addEntry(orlov, QDate(2024, 6, 20), 2, 5);     // a new row
        setDay(petrov, 3, QDate(2024, 6, 9), 4);       // a row without entries behind it
        mark = lastTrace();
        rebuild(QDate(2024, 6, 1));
        QCOMPARE(rowsOf(traceSql.arg(mark)), (QStringList{QStringLiteral("D %1").arg(petrov), QStringLiteral("I %1").arg(orlov),
                                                          QStringLiteral("U %1").arg(ivanov)}));
        QCOMPARE(storedMonth(6, 2024), monthByTheRule(6, 2024));
        // Rows that stayed keep their keys.
        const QStringList after = rowsOf(keysSql);
        for (const QString& key : keys)
            QVERIFY2(after.contains(key), qPrintable(key));
        QCOMPARE(db->scalar(QStringLiteral("select d3 from accounts_dep.h_tabel where w_id=%1 and month=6").arg(ivanov)).toInt(), 10);
    }

    // A statement that fails anywhere in the rebuild leaves the month as it was and says why.
    void aFailedRebuildLeavesTheMonthAsItWas_data()
    {
        QTest::addColumn<QString>("breakage");
        QTest::addColumn<QString>("message");
        QTest::newRow("an entry without hours") << "insert into accounts_dep.smena(w_id, i_id, o_id, data, smena, time) "
                                                   "values (WORKER, PRODUCT, OPERATION, '20.06.2024', 1, null)"
                                                << "20.06.2024";
        QTest::newRow("an entry without a worker") << "insert into accounts_dep.smena(w_id, i_id, o_id, data, smena, time) "
                                                      "values (null, PRODUCT, OPERATION, '30.06.2024', 2, 4)"
                                                   << "30.06.2024";
        QTest::newRow("a day past what the timesheet holds")
            << "insert into accounts_dep.smena(w_id, i_id, o_id, data, smena, time) "
               "values (WORKER, PRODUCT, OPERATION, '21.06.2024', 1, 2147483000), (WORKER, PRODUCT, OPERATION, '21.06.2024', 1, 1000)"
            << "за 21.06.2024 в смене 1 (2147484000 ч) не помещается в табель";
        QTest::newRow("the server refuses the rows")
            << "create or replace function public.refuse_timesheet() returns trigger language plpgsql as "
               "$$ begin raise exception 'Табель закрыт'; end $$;"
               "create trigger refuse_timesheet before insert on accounts_dep.h_tabel for each row execute function public.refuse_timesheet()"
            << "Табель закрыт";
    }
    void aFailedRebuildLeavesTheMonthAsItWas()
    {
        QFETCH(QString, breakage);
        QFETCH(QString, message);
        addEntry(ivanov, QDate(2024, 6, 3), 1, 8);
        addEntry(petrov, QDate(2024, 6, 4), 2, 7);
        rebuild(QDate(2024, 6, 1));
        setDay(sidorov, 3, QDate(2024, 6, 5), 6);     // what the month holds before the failure
        addEntry(orlov, QDate(2024, 6, 10), 1, 5);    // what the failed rebuild would have added
        const QStringList before = storedMonth(6, 2024);
        QCOMPARE(before.size(), 3);

        breakage.replace(QStringLiteral("WORKER"), QString::number(ivanov))
            .replace(QStringLiteral("PRODUCT"), QString::number(product))
            .replace(QStringLiteral("OPERATION"), QString::number(operation));
        db->exec(breakage);
        Messages::Recorder messages;
        rebuild(QDate(2024, 6, 1));
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown.first().caption, QStringLiteral("Ошибка"));
        QVERIFY2(messages.lastText().contains(message), qPrintable(messages.lastText()));
        QCOMPARE(storedMonth(6, 2024), before);
        QVERIFY(child<QProgressBar>("PB")->isHidden());
        QCOMPARE(names(3), QStringList{"Сидоров С.С."});   // the listings are shown again
        // The connection is usable and back in autocommit: a later posting stays.
        db->exec(QStringLiteral("drop trigger if exists refuse_timesheet on accounts_dep.h_tabel"));
        PostDayHours(*db->dm(), orlov, 1, QDate(2024, 6, 10), true);
        QCOMPARE(db->scalar(QStringLiteral("select d10 from accounts_dep.h_tabel where w_id=%1 and month=6").arg(orlov)).toInt(), 5);
    }

    // Another workstation posts a day that the rebuild has already gathered: the posting
    // waits for the rebuild and then lands in the rebuilt month, whether it updates the
    // worker's row or must create it because the rebuild removed a stale one.
    void aPostingDuringTheRebuildIsNotLost_data()
    {
        QTest::addColumn<bool>("staleRow");
        QTest::newRow("the worker's row stays") << false;
        QTest::newRow("a stale row goes") << true;
    }
    void aPostingDuringTheRebuildIsNotLost()
    {
        QFETCH(bool, staleRow);
        const QDate posted(2024, 6, 5);
        if (staleRow)
            setDay(petrov, 2, QDate(2024, 6, 2), 3);   // a row without entries behind it
        else
            addEntry(petrov, QDate(2024, 6, 2), 2, 3);
        addEntry(ivanov, QDate(2024, 6, 3), 1, 8);
        if (!staleRow)
            rebuild(QDate(2024, 6, 1));

        const QString connection = db->connectionString();
        const int worker = petrov;
        std::atomic<bool> postingDone{false};
        QString postingError;
        QThread* poster = nullptr;

        QSqlDatabase watcher = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("watcher"));
        watcher.setDatabaseName(connection);
        QVERIFY(watcher.open());
        bool sawTheWait = false;
        bool doneBeforeCommit = true;
        auto* bar = child<QProgressBar>("PB");
        auto link = connect(bar, &QProgressBar::valueChanged, this, [&](int day) {
            if (day != 10 || poster)
                return;
            poster = QThread::create([&] {
                DataModule other;
                if (!other.connectTo(connection)) {
                    postingError = other.lastError();
                    return;
                }
                try {
                    other.execute(QStringLiteral("insert into accounts_dep.smena(w_id, i_id, o_id, cena, data, smena, time, ok) "
                                                 "values (%1, %2, %3, 10, '05.06.2024', 2, 6, 'no')").arg(worker).arg(product).arg(operation));
                    PostDayHours(other, worker, 2, posted, true);
                } catch (const DbError& e) {
                    postingError = e.message();
                }
                postingDone = true;
            });
            poster->start();
            // Until the posting waits on the timesheet (or has finished, which fails below).
            for (int i = 0; i < 1000 && !sawTheWait && !postingDone; ++i) {
                const SqlRun::Result waiting = SqlRun::select(QStringLiteral("watcher"), QStringLiteral(
                    "select count(*) from pg_locks where not granted"));
                sawTheWait = waiting.rows.first().value(0).toInt() > 0;
                if (!sawTheWait)
                    QThread::msleep(20);
            }
            doneBeforeCommit = postingDone;
        });
        rebuild(QDate(2024, 6, 1));
        disconnect(link);
        QVERIFY(poster);
        poster->wait();
        delete poster;
        watcher.close();
        watcher = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("watcher"));

        QVERIFY2(postingError.isEmpty(), qPrintable(postingError));
        QCOMPARE(db->scalar(QStringLiteral("select d5 from accounts_dep.h_tabel where w_id=%1 and smena=2 and month=6").arg(petrov)).toInt(), 6);
        QVERIFY(sawTheWait);
        QVERIFY(!doneBeforeCommit);
        QCOMPARE(storedMonth(6, 2024), monthByTheRule(6, 2024));
    }

    // ---- export ---------------------------------------------------------------------------

    void theExportWritesTheMonthSummedOverAllShifts()
    {
        const QDate day(2024, 6, 3);
        addEntry(ivanov, day, 1, 8);
        addEntry(ivanov, day, 2, 4);
        addEntry(ivanov, day.addDays(1), 1, 9);
        addEntry(petrov, day, 4, 3);   // overtime only: no page, but exported
        rebuild(day);
        QCOMPARE(names(1), QStringList{"Иванов И.И."});
        QCOMPARE(names(2), QStringList{"Иванов И.И."});
        auto* excel = child<QPushButton>("Button2");
        shownFiles.clear();
        Messages::Recorder messages;
        excel->click();
        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.lastText()));
        QCOMPARE(excel->text(), QStringLiteral("Excel (2 из 2)"));
        QVERIFY(!appWindows().timesheetLayout->H_Tabel->isOpen());
        QCOMPARE(shownFiles.size(), 1);

        QCOMPARE(QFileInfo(shownFiles.first()).fileName(), QStringLiteral("Табель Июнь 2024.xlsx"));
        QCOMPARE(QFileInfo(shownFiles.first()).dir(), QDir(documents.path()));
        const optest::XlsxSheet sheet = optest::readSheet1(shownFiles.first());
        QVERIFY(sheet.ok);
        QCOMPARE(sheet.text("A1"), QStringLiteral("Июнь 2024"));
        QVERIFY(sheet.isBold("A1"));
        QVERIFY(sheet.isTextFormat("A1"));
        QCOMPARE(sheet.text("A2"), QStringLiteral("Фамилия И.О."));
        QVERIFY(sheet.isBold("A2") && sheet.isTextFormat("A2"));
        auto column = [](int n) {   // 1 → "A", 27 → "AA"
            QString name;
            for (; n > 0; n = (n - 1) / 26)
                name.prepend(QChar(u'A' + (n - 1) % 26));
            return name;
        };
        for (int day = 1; day <= 31; ++day) {
            const QString ref = column(day + 1) + u'2';
            QCOMPARE(sheet.shown(ref), QString::number(day));
            QVERIFY(sheet.isBold(ref));
            QVERIFY(!sheet.isTextFormat(ref));
        }
        QCOMPARE(sheet.text("AG2"), QStringLiteral("Итого"));
        QVERIFY(sheet.isBold("AG2") && sheet.isTextFormat("AG2"));

        const QList<QPair<QString, QList<int>>> expected = {
            {QStringLiteral("Иванов И.И."), {0, 0, 12, 9}},
            {QStringLiteral("Петров П.П."), {0, 0, 3}},
        };
        for (int i = 0; i < expected.size(); ++i) {
            const QString row = QString::number(3 + i);
            QCOMPARE(sheet.text("A" + row), expected[i].first);
            QVERIFY(!sheet.isBold("A" + row));
            QVERIFY(sheet.isTextFormat("A" + row));
            int sum = 0;
            for (int day = 1; day <= 31; ++day) {
                const int hours = expected[i].second.value(day - 1, 0);
                sum += hours;
                const QString ref = column(day + 1) + row;
                QCOMPARE(sheet.shown(ref), QString::number(hours));   // zero is written as "0"
                QVERIFY(sheet.isNumber(ref));   // hours a spreadsheet adds up
                QVERIFY(!sheet.isBold(ref));
            }
            QCOMPARE(sheet.shown("AG" + row), QString::number(sum));
            QVERIFY(sheet.isNumber("AG" + row));
        }
        QVERIFY(!sheet.has("A5"));

        // Coming back to the window shows the plain caption again.
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(window, &activate);
        QCOMPARE(excel->text(), QStringLiteral("Excel"));
    }

    void anEmptyMonthExportsItsHeadingOnly()
    {
        window->selectPeriod(QDate(2024, 2, 1));
        shownFiles.clear();
        auto* excel = child<QPushButton>("Button2");
        excel->click();
        QCOMPARE(excel->text(), QStringLiteral("Excel (0 из 0)"));
        QCOMPARE(shownFiles.size(), 1);
        const optest::XlsxSheet sheet = optest::readSheet1(shownFiles.first());
        QCOMPARE(sheet.text("A1"), QStringLiteral("Февраль 2024"));
        QCOMPARE(sheet.text("AG2"), QStringLiteral("Итого"));
        QVERIFY(!sheet.has("A3"));
    }
};

QTEST_MAIN(TimesheetWindowTest)
#include "tst_timesheetwindow.moc"
