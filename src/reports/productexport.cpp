#include "reports/productexport.h"

#include "db/dataset.h"
#include "export/spreadsheet.h"

#include <QLocale>
#include <cmath>

namespace ProductExport {

QString caption(int written, int total)
{
    return QStringLiteral("Excel (%1 из %2)").arg(written).arg(total);
}

QString operationText(const QString& vid, int color)
{
    if (color == 1)
        return vid + QStringLiteral(" (грунт)");
    if (color > 1)
        return vid + QStringLiteral(" (цвет: %1)").arg(color);
    return vid;
}

QString kindText(int naimen)
{
    return naimen == 0 ? QStringLiteral("Готовая продукция") : QStringLiteral("Заготовки");
}

QString massText(double mass)
{
    QLocale russian(QLocale::Russian, QLocale::Russia);
    russian.setNumberOptions(QLocale::OmitGroupSeparator);
    return russian.toString(mass, 'g', 15);
}

QString piecesText(double pieces)
{
    return QString::number(std::llround(pieces));
}

QString fileTitle(const QDate& from, const QDate& to)
{
    const QString format = QStringLiteral("dd.MM.yyyy");
    return QStringLiteral("Отчет по продукции с %1 по %2").arg(from.toString(format), to.toString(format));
}

bool write(const Dataset& rows, Spreadsheet& excel, const Progress& progress, const QString& title)
{
    if (excel.OpenWorkbook(QString()) == -1)
        return false;
    if (!title.isEmpty())
        excel.setTitle(title);
    const int total = rows.recordCount();
    if (progress)
        progress(0, total);
    const QStringList heading = {QStringLiteral("Наименование"), QStringLiteral("Операция"),
                                 QStringLiteral("Вид продукции"), QStringLiteral("Коробки"), QStringLiteral("Кол-во")};
    for (int column = 1; column <= heading.size(); ++column)
        excel.WriteCell(1, column, 1, heading[column - 1]);
    for (int i = 0; i < total; ++i) {
        const int row = i + 2;
        const QSqlRecord record = rows.record(i);
        excel.WriteCell(1, 1, row, record.value(QStringLiteral("nom")).toString().trimmed());
        excel.WriteCell(1, 2, row, operationText(record.value(QStringLiteral("vid")).toString().trimmed(),
                                                 record.value(QStringLiteral("color")).toInt()));
        excel.WriteCell(1, 3, row, kindText(record.value(QStringLiteral("naimen")).toInt()));
        excel.WriteCell(1, 4, row, massText(record.value(QStringLiteral("mass")).toDouble()));
        excel.WriteCell(1, 5, row, piecesText(record.value(QStringLiteral("kolvo")).toDouble()));
        if (progress)
            progress(i + 1, total);
    }
    excel.ShowExcel(true);
    return true;
}

}
