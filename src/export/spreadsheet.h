#pragma once
#include "export/workbook.h"

#include <QString>
#include <functional>
#include <memory>

// The spreadsheet application as the exports see it: they open a new workbook, write it
// cell by cell and show it. Showing saves the workbook as an .xlsx file named after what
// it holds ("Табель Май 2021.xlsx") in the user's documents folder and opens that file
// with the desktop's spreadsheet program.
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
    // The name the workbook's file gets when it is shown, without ".xlsx"; OpenWorkbook
    // sets it back to "Книга". A name taken already gets " (2)", " (3)"…
    void setTitle(const QString& title);
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

    // The folder shown workbooks are saved in: the user's documents folder unless a test
    // sets another (an empty one restores the documents folder).
    static void setFolder(const QString& folder);
    static QString folder();

private:
    // Checks sheet and cell and shows the message when they cannot be written.
    Workbook::Cell* cellToWrite(int sheet, int column, int row, const QString& text);

    // A path in the folder, named after the title, that no file has yet.
    QString freeFileName(const QString& folder) const;

    std::unique_ptr<Workbook> workbook_;
    QString title_;
    QString lastShownFile_;
};
