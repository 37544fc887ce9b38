// The client's peak memory on the plant database after every window has been opened
// once: the program's own start (the data module, every window created, the login
// shown), the access code entered, then from the journal each shift, every directory,
// the norms, the timesheet, the summary reports, the history and the entry editor, each
// shown, painted and closed again. Prints a row of bench/run's table.
//
//   bench_memory   (on the plant database of bench/run: BENCH_DATABASE)
#include "app/loginwindow.h"
#include "app/startup.h"
#include "app/windows.h"
#include "core/buildstamp.h"
#include "core/clock.h"
#include "benchtable.h"
#include "directories/normswindow.h"
#include "journal/journalwindow.h"
#include "plantdata.h"
#include "ui/numbertext.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <clocale>
#include <functional>

namespace {

double statusMb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}

}

int main(int argc, char* argv[])
{
    QTemporaryDir dir;
    const QString setting = Bench::writePlantSetting(dir.path());
    qputenv("TABEL_CONFIG", setting.toLocal8Bit());

    // As the client's main() does.
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("tabel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tabel.svg")));
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(NumberText::russian());
    BuildStamp::setCompileTexts(QStringLiteral(__DATE__), QStringLiteral(__TIME__));
    // A working day of the plant database is "today": the journal opens on a full day.
    Clock::setToday(plantDay());

    const std::vector<std::pair<const char*, std::function<void(JournalWindow*)>>> steps = {
        {"shift 2", [](JournalWindow* j) { j->findChild<QRadioButton*>(QStringLiteral("RadioButton2"))->setChecked(true); }},
        {"shift 3", [](JournalWindow* j) { j->findChild<QRadioButton*>(QStringLiteral("RadioButton3"))->setChecked(true); }},
        {"shift 4", [](JournalWindow* j) { j->findChild<QRadioButton*>(QStringLiteral("RadioButton4"))->setChecked(true); }},
        {"shift 1", [](JournalWindow* j) { j->findChild<QRadioButton*>(QStringLiteral("RadioButton1"))->setChecked(true); }},
        {"workers", [](JournalWindow* j) { j->onWorkers(); }},
        {"products", [](JournalWindow* j) { j->onProducts(); }},
        {"prices", [](JournalWindow* j) { j->onPrices(); }},
        {"kinds", [](JournalWindow* j) { j->onKinds(); }},
        // Read once signed in: the sign-in account reads nothing of the plant.
        {"norms", [](JournalWindow*) {
             const int operation = DataModule::instance()->select(QStringLiteral("select min(id) from accounts_dep.oper")).rows.first().value(0).toInt();
             appWindows().norms->showForOperation(operation);
         }},
        {"timesheet", [](JournalWindow* j) { j->onTimesheet(); }},
        {"summary reports", [](JournalWindow* j) { j->onSummaryReports(); }},
        {"history", [](JournalWindow* j) { j->onHistory(); }},
        {"entry editor", [](JournalWindow* j) { j->onAdd(); }},
    };
    size_t next = 0;
    bool busy = false;
    QWidget* seen = nullptr;
    QStringList closed;
    QTimer stepper;
    stepper.setInterval(100);
    QObject::connect(&stepper, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        AppWindows& w = appWindows();
        if ((!modal || modal == static_cast<QWidget*>(w.login)) && w.login && w.login->isVisible() && !(w.journal && w.journal->isVisible())) {
            if (!busy) {
                busy = true;
                w.login->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("0583"));
                QTimer::singleShot(0, w.login, [&] { w.login->onEnter(); });
            }
            return;
        }
        if (modal && modal == w.journal) {
            seen = nullptr;
            if (next < steps.size()) {
                const auto& step = steps[next++];
                QTimer::singleShot(0, w.journal, [&step, &w] { step.second(w.journal); });
                return;
            }
            for (const QString& c : closed)
                if (c.startsWith(QLatin1String("QMessageBox"))) {
                    std::fprintf(stderr, "a message was shown: %s\n", qPrintable(c));
                    std::_Exit(1);
                }
            std::fprintf(stderr, "windows opened and closed: %s\n", qPrintable(closed.join(QStringLiteral("; "))));
            Bench::row(QStringLiteral("peak memory after opening every window once (%1 windows)").arg(closed.size() + 1),
                       statusMb("VmHWM:"), -1, QStringLiteral("MB"), QStringLiteral("<150"),
                       QStringLiteral("the client's own code; resident now %1 MB").arg(statusMb("VmRSS:"), 0, 'f', 1));
            std::_Exit(0);
        }
        if (modal) {
            // One tick to be shown and painted, then closed as Esc would.
            if (modal != seen) {
                seen = modal;
                return;
            }
            closed << QStringLiteral("%1 %2 %3").arg(QString::fromLatin1(modal->metaObject()->className()), modal->objectName(),
                                                   modal->windowTitle());
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                closed.last() += QLatin1Char(' ') + box->text();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        }
    });
    stepper.start();
    return Startup::run(app);
}
