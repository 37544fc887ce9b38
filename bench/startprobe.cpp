// Preloaded (LD_PRELOAD) into a program that bench_startup launches: when the program's
// first window has been exposed and painted, writes the time since the launcher started
// it (BENCH_T0, monotonic nanoseconds) and the window's objectName to BENCH_STARTUP_OUT,
// and ends the program.
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <ctime>

namespace {

class ExposeProbe : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!done_ && event->type() == QEvent::Expose) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window && window->isExposed()) {
                done_ = true;
                // Queued: the exposed window paints first.
                QTimer::singleShot(0, [] { report(); });
            }
        }
        return false;
    }

private:
    static void report()
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const qint64 t0 = qEnvironmentVariable("BENCH_T0").toLongLong();
        const double ms = ((qint64(now.tv_sec) * 1000000000 + now.tv_nsec) - t0) / 1e6;
        QString shown;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                shown += w->objectName() + QLatin1Char(' ');
        QFile out(qEnvironmentVariable("BENCH_STARTUP_OUT"));
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(QStringLiteral("%1 %2\n").arg(ms, 0, 'f', 3).arg(shown.trimmed()).toUtf8());
        out.close();
        std::_Exit(0);
    }

    bool done_ = false;
};

void installProbe()
{
    qApp->installEventFilter(new ExposeProbe);
}

}

Q_COREAPP_STARTUP_FUNCTION(installProbe)
