#pragma once
#include "export/workbook.h"

#include <QString>
#include <functional>
#include <memory>

// The spreadsheet application as the exports see it: they open a new workbook, write it
// cell by cell and show it. Showing saves the workbook as a new .xlsx file in the temp
// folder and opens that file with the desktop's spreadsheet program.
//
// Sheets, rows and columns count from 1; every value is passed as text. Results: 1 done,
// -1 failed (the message has been shown). Callers ignore the results of the writes and
// go on with the next cell.
class Spreadsheet {
public:
    // The handle shared by the summary-report and the price-list exports.
    static Spreadsheet& reports();
    // The handle of the timesheet export.
    static Spreadsheet& timesheet();

    Spreadsheet();
    ~Spreadsheet();
    Spreadsheet(const Spreadsheet&) = delete;
    Spreadsheet& operator=(const Spreadsheet&) = delete;

    // Starts a new workbook with one sheet; later writes go to it. Only new workbooks are
    // made: a file name is refused ("Ошибка открытия файла Microsoft Excel.").
    int OpenWorkbook(const QString& fileName);
    // true saves the workbook as a new file and opens it; false keeps it hidden. Without a
    // workbook it does nothing.
    int ShowExcel(bool visible);
    // An empty text writes nothing and yields 1.
    int WriteCell(int sheet, int column, int row, const QString& text);
    // As WriteCell, and: number format "@" if asText; the column's width fitted to its
    // longest text if autofit; bold set or cleared as bold says.
    int WriteCellFormatted(int sheet, int column, int row, const QString& text, bool asText,
                           bool autofit, bool bold);

    // The workbook being written, or null before the first OpenWorkbook.
    const Workbook* workbook() const { return workbook_.get(); }
    // The file the last ShowExcel(true) saved, empty before that.
    QString lastShownFile() const { return lastShownFile_; }

    // Opens a saved workbook for the user; answers false when nothing could show it.
    // Tests install their own so that no program is started.
    using Viewer = std::function<bool(const QString& path)>;
    static void setViewer(Viewer viewer);   // an empty one restores the desktop's
    static Viewer viewer();

private:
    // Checks sheet and cell and shows the message when they cannot be written.
    Workbook::Cell* cellToWrite(int sheet, int column, int row, const QString& text);

    std::unique_ptr<Workbook> workbook_;
    QString lastShownFile_;
};
