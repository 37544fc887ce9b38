#pragma once
#include <QDate>
#include <QString>
#include <functional>

class Dataset;
class Spreadsheet;

// The per-product summary written onto sheet 1 of a new workbook: a heading row, then
// one row per record of the opened export query (its filter applied).
namespace ProductExport {

// Called with the records written so far and the number of records, first with 0.
using Progress = std::function<void(int written, int total)>;

// Writes and shows the workbook, its file named title. Answers false when no workbook
// could be opened (the message has been shown and nothing was written).
bool write(const Dataset& rows, Spreadsheet& excel, const Progress& progress, const QString& title = QString());

// The workbook's name for a period: "Отчет по продукции с 01.03.2021 по 01.04.2021".
QString fileTitle(const QDate& from, const QDate& to);

// "Excel (k из N)".
QString caption(int written, int total);
// The operation with its colour: " (грунт)" for 1, " (цвет: N)" above 1, alone otherwise.
QString operationText(const QString& vid, int color);
// "Готовая продукция" for 0, "Заготовки" otherwise.
QString kindText(int naimen);
// General decimal form, up to 15 significant digits, the Russian decimal comma.
QString massText(double mass);
// A whole number, halves rounded away from zero (2.5 → 3, −2.5 → −3).
QString piecesText(double pieces);

}
