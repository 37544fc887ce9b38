#include "app/buildstamp.h"
#include "app/startup.h"

#include <QApplication>

extern const char* const kBuildDateText;
extern const char* const kBuildTimeText;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    BuildStamp::setCompileTexts(QString::fromLatin1(kBuildDateText), QString::fromLatin1(kBuildTimeText));
    return Startup::run(app);
}
