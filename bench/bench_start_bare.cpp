// The floor of a start: a bare Qt window shown after one ODBC connection opened with the
// client's connection string (BENCH_CONNECTION), nothing else. bench_startup launches it.
#include <QApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QWidget>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"));
    db.setDatabaseName(qEnvironmentVariable("BENCH_CONNECTION"));
    if (!db.open()) {
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(db.lastError().text()));
        return 1;
    }
    QWidget window;
    window.setObjectName(QStringLiteral("bare"));
    window.resize(400, 300);
    window.show();
    return app.exec();
}
