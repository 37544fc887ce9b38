// Times what a foreman waits for on the plant database, through the program's own code,
// beside the server's time for the same statements: one shift journal of one date,
// choosing a date in the journal window (the four journals re-read and the window
// painted), every directory list, a month's timesheet listing of one shift, and posting
// a worker's day. Prints rows of bench/run's table.
//
//   bench_journal   (on the plant database of bench/run: BENCH_DATABASE)
#include "app/windows.h"
#include "core/clock.h"
#include "benchtable.h"
#include "directories/normsstore.h"
#include "journal/journalwindow.h"
#include "plantdata.h"
#include "timesheet/hoursposting.h"

#include <QApplication>
#include <QDateEdit>
#include <QKeyEvent>
#include <QTableView>
#include <cstdlib>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const int runs = argc > 1 ? atoi(argv[1]) : 41;

    DataModule dm;
    if (!Bench::signIn(dm))
        return 1;
    const QDate day = plantDay();
    const int perDay = dm.select(QStringLiteral("select count(*) from accounts_dep.smena where data=:d and smena=1"),
                                 {{QStringLiteral("d"), day}}).rows.first().value(0).toInt();
    const int worker = dm.select(QStringLiteral("select min(w_id) from accounts_dep.smena where data=:d and smena=1"),
                                 {{QStringLiteral("d"), day}}).rows.first().value(0).toInt();
    // As after a login with full access.
    for (int shift = 1; shift <= 4; ++shift)
        dm.smenaForShift(shift)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));

    Dataset* journal = dm.Smena1;
    journal->setParam(QStringLiteral("data"), day);
    auto reopenJournal = [&] { journal->reopen(); };
    Bench::row(QStringLiteral("one shift journal of one date (%1 rows)").arg(perDay),
               Bench::withFloor(Bench::measure(&dm, QStringLiteral("journal"), runs, reopenJournal), QStringLiteral("journal"),
                                runs, reopenJournal),
               QStringLiteral("x1.5"));

    {
        // The journal window as the login leaves it, shown; the date typed into its
        // picker and confirmed with Enter, the window painted at once.
        Clock::setToday(day);
        auto* window = new JournalWindow;
        appWindows().journal = window;
        window->CurrentShift = 1;
        window->RoleCode = QStringLiteral("0583");
        window->resize(1200, 800);
        window->show();
        QCoreApplication::processEvents();
        auto* picker = window->findChild<QDateEdit*>(QStringLiteral("DateT"));
        int round = 0;
        auto choose = [&] {
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(picker, &enter);
            window->repaint();
        };
        auto typeDate = [&] {
            QCoreApplication::processEvents();
            picker->setDate(day.addDays(round++ % 2));
        };
        const Bench::Measure m = Bench::withFloor(Bench::measure(&dm, QStringLiteral("date"), runs, choose, 3, typeDate),
                                                  QStringLiteral("date"), runs, choose, typeDate);
        const int shown = window->findChild<QTableView*>(QStringLiteral("DBGrid2"))->model()->rowCount();
        Bench::row(QStringLiteral("choosing a date in the journal window: four journals, painted (%1 rows shown)").arg(shown),
                   m, QStringLiteral("x2"));
        delete window;
        appWindows() = AppWindows();
    }

    struct List {
        QString what;
        Dataset* dataset;
    };
    for (const List& list : {List{QStringLiteral("workers list"), dm.Workers}, List{QStringLiteral("products list"), dm.Izdel},
                             List{QStringLiteral("operation kinds list"), dm.Vid_oper},
                             List{QStringLiteral("operations list with prices"), dm.Oper}}) {
        list.dataset->open();
        const int rows = list.dataset->recordCount();
        auto reopen = [&] { list.dataset->reopen(); };
        // A list of a few rows takes a tenth of a millisecond, where the machine's other
        // work shows: more repetitions for a steady median.
        const int repetitions = rows < 100 ? runs * 10 : runs;
        const Bench::Measure m = Bench::withFloor(Bench::measure(&dm, list.what, repetitions, reopen), list.what,
                                                  repetitions, reopen);
        list.dataset->close();
        Bench::row(QStringLiteral("%1 (%2 rows)").arg(list.what).arg(rows), m, QStringLiteral("x1.5"));
    }
    {
        NormsStore norms(&dm);
        const int operation = dm.select(QStringLiteral("select min(id) from accounts_dep.oper")).rows.first().value(0).toInt();
        int levels = 0;
        auto read = [&] { levels = norms.levels(operation).size(); };
        const Bench::Measure m = Bench::withFloor(Bench::measure(&dm, QStringLiteral("norms"), runs * 10, read),
                                                  QStringLiteral("norms"), runs * 10, read);
        Bench::row(QStringLiteral("norms of an operation (%1 rows)").arg(levels), m, QStringLiteral("x1.5"));
    }

    Dataset* timesheet = dm.H_Tabel_1;
    timesheet->setParam(QStringLiteral("mnth"), plantMonth().month());
    timesheet->setParam(QStringLiteral("yea"), plantMonth().year());
    timesheet->open();
    const int sheetRows = timesheet->recordCount();
    const int sheetColumns = timesheet->fieldNames().size();
    auto reopenTimesheet = [&] { timesheet->reopen(); };
    Bench::row(QStringLiteral("a month's timesheet listing of one shift (%1 x %2 cells)").arg(sheetRows).arg(sheetColumns),
               Bench::withFloor(Bench::measure(&dm, QStringLiteral("timesheet"), runs, reopenTimesheet),
                                QStringLiteral("timesheet"), runs, reopenTimesheet),
               QStringLiteral("x1.5"));

    auto post = [&] { PostDayHours(dm, worker, 1, day, true); };
    Bench::row(QStringLiteral("posting a worker's day (row exists)"),
               Bench::withFloor(Bench::measure(&dm, QStringLiteral("posting"), runs * 2, post), QStringLiteral("posting"),
                                runs * 2, post),
               QStringLiteral("x1.5"));
    return 0;
}
