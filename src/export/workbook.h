#pragma once
#include <QMap>
#include <QPair>
#include <QString>
#include <QVector>

// A workbook held in memory while an export writes it cell by cell, saved as an .xlsx
// file in one go. Sheets, rows and columns count from 1; every value is given as text.
// As a spreadsheet program does with typed text, a cell not formatted as text ("@") whose
// text reads as a number is saved as a number cell, shown with the places the text had;
// everything else is saved as a string.
class Workbook {
public:
    // Excel's limits: a sheet has 1,048,576 rows and 16,384 columns, a cell holds at most
    // 32,767 characters.
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;
    static constexpr int kMaxTextLength = 32767;

    struct Cell {
        QString text;
        bool asText = false;   // number format "@"
        bool bold = false;
    };

    // A new workbook has one sheet, "Лист1".
    Workbook();

    int sheetCount() const { return int(sheets_.size()); }
    bool hasSheet(int sheet) const { return sheet >= 1 && sheet <= sheetCount(); }
    static bool isCellInRange(int column, int row);

    // The cell, created empty when it does not exist yet. The sheet must exist and the
    // cell must be in range.
    Cell& cell(int sheet, int column, int row);
    const Cell* findCell(int sheet, int column, int row) const;

    // Fits the column's width to the longest text it holds now (a later, longer text does
    // not widen it again until the next fit).
    void fitColumn(int sheet, int column);
    // The width set by the last fit, 0 when the column keeps the standard width.
    double columnWidth(int sheet, int column) const;

    // Writes the workbook into an .xlsx file (replacing it). Temporary files of the writer
    // go to tempDir. Returns false and the writer's reason in *error when it fails.
    bool saveXlsx(const QString& path, const QString& tempDir, QString* error) const;

    // A number the way the exports write them: an optional minus, digits without grouping
    // and without needless leading zeros, optionally a decimal comma and its places, at
    // most 15 digits in all (what a double holds exactly). Gives the value and the number
    // of places; a text such as "0012", "1e5", "1 000" or "12.5" stays a string.
    static bool readsAsNumber(const QString& text, double* value = nullptr, int* decimals = nullptr);

    // The width, in Excel's character units, that shows the text whole.
    static double widthForText(const QString& text, bool bold);

private:
    struct Sheet {
        QString name;
        QMap<QPair<int, int>, Cell> cells;   // (row, column) → cell, in row order
        QMap<int, double> widths;            // column → width
    };
    QVector<Sheet> sheets_;
};
