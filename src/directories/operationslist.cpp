#include "directories/operationslist.h"

OperationsList::OperationsList(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("Цены"));
}

void OperationsList::showDirectory()
{
    exec();
}

std::optional<OperationsList::Choice> OperationsList::choose(int)
{
    exec();
    return std::nullopt;
}
