#include "directories/kindslist.h"

KindsList::KindsList(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm8"));
    setWindowTitle(QStringLiteral("Операции"));
}

void KindsList::showDirectory()
{
    exec();
}

std::optional<KindsList::Choice> KindsList::choose()
{
    exec();
    return std::nullopt;
}
