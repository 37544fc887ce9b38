#include "directories/workerslist.h"

WorkersList::WorkersList(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(QStringLiteral("Список рабочих"));
}

void WorkersList::showDirectory()
{
    exec();
}

std::optional<WorkersList::Choice> WorkersList::choose()
{
    exec();
    return std::nullopt;
}
