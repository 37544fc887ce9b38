#include "directories/productslist.h"

ProductsList::ProductsList(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("Изделия"));
}

void ProductsList::showDirectory()
{
    exec();
}

std::optional<ProductsList::Choice> ProductsList::choose()
{
    exec();
    return std::nullopt;
}
