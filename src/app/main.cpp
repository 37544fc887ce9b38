#include "app/buildstamp.h"
#include "app/startup.h"

#include <QApplication>
#include <QIcon>

extern const char* const kBuildDateText;
extern const char* const kBuildTimeText;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Desktops match the windows to the menu entry tabel.desktop and show its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("tabel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tabel.svg")));
    BuildStamp::setCompileTexts(QString::fromLatin1(kBuildDateText), QString::fromLatin1(kBuildTimeText));
    return Startup::run(app);
}
