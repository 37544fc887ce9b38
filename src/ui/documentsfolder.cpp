#include "ui/documentsfolder.h"

#include <QDir>
#include <QStandardPaths>

QString documentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty() || !QDir().mkpath(documents))
        return QDir::homePath();
    return documents;
}
