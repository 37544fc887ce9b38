#include "app/startup.h"
#include "core/buildstamp.h"
#include "ui/numbertext.h"

#include <QApplication>
#include <clocale>

extern const char* const kBuildDateText;
extern const char* const kBuildTimeText;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Desktops match the windows to the menu entry tabel.desktop and show its icon. The
    // windows' own icon is drawn from SVG once the login is on screen (Startup).
    QGuiApplication::setDesktopFileName(QStringLiteral("tabel"));
    // Qt has set the C library's locale from the desktop; the C libraries underneath
    // (the spreadsheet writer, the ODBC driver) must keep writing and reading numbers
    // with a point.
    std::setlocale(LC_NUMERIC, "C");
    // The interface is Russian whatever the desktop runs: numbers, dates and calendars.
    QLocale::setDefault(NumberText::russian());
    BuildStamp::setCompileTexts(QString::fromLatin1(kBuildDateText), QString::fromLatin1(kBuildTimeText));
    return Startup::run(app);
}
