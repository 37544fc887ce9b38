#include "journal/entryeditor.h"

EntryEditor::EntryEditor(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm11"));
}

void EntryEditor::prepareNew(const QDate&)
{
    setWindowTitle(QStringLiteral("Заведение новой позиции"));
}

void EntryEditor::prepareChange(const QSqlRecord&)
{
    setWindowTitle(QStringLiteral("Изменение данных о позиции"));
}
