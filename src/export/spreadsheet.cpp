#include "export/spreadsheet.h"

#include "ui/messages.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>

namespace {

const QString kCaptionError = QStringLiteral("Ошибка");

bool openWithDesktop(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

Spreadsheet::Viewer& currentViewer()
{
    static Spreadsheet::Viewer viewer = openWithDesktop;
    return viewer;
}

QString writeErrorText(int sheet, int column, int row)
{
    return QStringLiteral("Ошибка при записи: лист %1, столбец %2, строка %3").arg(sheet).arg(column).arg(row);
}

}

Spreadsheet& Spreadsheet::reports()
{
    static Spreadsheet handle;
    return handle;
}

Spreadsheet& Spreadsheet::timesheet()
{
    static Spreadsheet handle;
    return handle;
}

Spreadsheet::Spreadsheet() = default;
Spreadsheet::~Spreadsheet() = default;

void Spreadsheet::setViewer(Viewer viewer)
{
    currentViewer() = viewer ? std::move(viewer) : Viewer(openWithDesktop);
}

Spreadsheet::Viewer Spreadsheet::viewer()
{
    return currentViewer();
}

int Spreadsheet::OpenWorkbook(const QString& fileName)
{
    // The workbook is saved into the temp folder when it is shown; a folder that cannot
    // take it fails now, before the export has written anything.
    const QFileInfo temp(QDir::tempPath());
    if (!fileName.isEmpty() || !temp.isDir() || !temp.isWritable()) {
        Messages::error(QStringLiteral("Ошибка открытия файла Microsoft Excel."), kCaptionError);
        return -1;
    }
    workbook_ = std::make_unique<Workbook>();
    return 1;
}

int Spreadsheet::ShowExcel(bool visible)
{
    if (!workbook_ || !visible)
        return 1;

    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/tabel-XXXXXX.xlsx"));
    file.setAutoRemove(false);
    QString reason;
    if (!file.open()) {
        reason = file.errorString();
    } else {
        file.close();
        if (workbook_->saveXlsx(file.fileName(), QDir::tempPath(), &reason))
            reason.clear();
        else if (reason.isEmpty())
            reason = QStringLiteral("ошибка записи");
    }
    if (!reason.isEmpty()) {
        if (!file.fileName().isEmpty())
            QFile::remove(file.fileName());
        Messages::error(QStringLiteral("Не удалось сохранить книгу Microsoft Excel: %1").arg(reason), kCaptionError);
        return -1;
    }

    lastShownFile_ = QDir::toNativeSeparators(file.fileName());
    if (!currentViewer()(lastShownFile_)) {
        // The file is there; tell where, so the export is not lost.
        Messages::error(QStringLiteral("Невозможно открыть Microsoft Excel.") + u'\n'
                            + QStringLiteral("Книга сохранена в файле %1").arg(lastShownFile_),
                        kCaptionError);
        return -1;
    }
    return 1;
}

Workbook::Cell* Spreadsheet::cellToWrite(int sheet, int column, int row, const QString& text)
{
    if (!workbook_ || !workbook_->hasSheet(sheet)) {
        Messages::error(writeErrorText(sheet, column, row), QStringLiteral("Ошибочный номер листа Microsoft Excel"));
        return nullptr;
    }
    if (!Workbook::isCellInRange(column, row) || text.size() > Workbook::kMaxTextLength) {
        Messages::error(writeErrorText(sheet, column, row), QStringLiteral("Ошибка Microsoft Excel"));
        return nullptr;
    }
    return &workbook_->cell(sheet, column, row);
}

int Spreadsheet::WriteCell(int sheet, int column, int row, const QString& text)
{
    if (text.isEmpty())
        return 1;
    Workbook::Cell* cell = cellToWrite(sheet, column, row, text);
    if (!cell)
        return -1;
    cell->text = text;
    return 1;
}

int Spreadsheet::WriteCellFormatted(int sheet, int column, int row, const QString& text, bool asText,
                                    bool autofit, bool bold)
{
    if (text.isEmpty())
        return 1;
    Workbook::Cell* cell = cellToWrite(sheet, column, row, text);
    if (!cell)
        return -1;
    if (asText)
        cell->asText = true;
    cell->text = text;
    cell->bold = bold;   // set before the fit, so a bold text gets its wider column
    if (autofit)
        workbook_->fitColumn(sheet, column);
    return 1;
}
