#include "export/spreadsheet.h"
#include "ui/documentsfolder.h"

#include "ui/messages.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
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

QString& folderOverride()
{
    static QString folder;
    return folder;
}

const QString kDefaultTitle = QStringLiteral("Книга");

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

void Spreadsheet::setFolder(const QString& folder)
{
    folderOverride() = folder;
}

QString Spreadsheet::folder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return documentsFolder();
}

void Spreadsheet::setTitle(const QString& title)
{
    // A file name takes neither a slash nor control characters.
    QString name;
    for (const QChar c : title)
        name += (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control) ? u'_' : c;
    name = name.trimmed();
    title_ = name.isEmpty() || name.startsWith(u'.') ? kDefaultTitle : name;
}

QString Spreadsheet::freeFileName(const QString& folder) const
{
    const QDir dir(folder);
    QString path = dir.filePath(title_ + QStringLiteral(".xlsx"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(QStringLiteral("%1 (%2).xlsx").arg(title_).arg(n));
    return path;
}

int Spreadsheet::OpenWorkbook(const QString& fileName)
{
    // The workbook is saved into the documents folder when it is shown; a folder that
    // cannot take it fails now, before the export has written anything.
    const QString target = folder();
    QDir().mkpath(target);
    const QFileInfo place(target);
    if (!fileName.isEmpty() || !place.isDir() || !place.isWritable()) {
        Messages::error(QStringLiteral("Ошибка открытия файла Microsoft Excel."), kCaptionError);
        return -1;
    }
    workbook_ = std::make_unique<Workbook>();
    title_ = kDefaultTitle;
    return 1;
}

int Spreadsheet::ShowExcel(bool visible)
{
    if (!workbook_ || !visible)
        return 1;

    // Saved with the permissions every new file of the user gets, beside the user's other
    // documents; libxlsxwriter's own temporary files go to the temp folder.
    const QString target = folder();
    QDir().mkpath(target);
    const QString path = freeFileName(target);
    QString reason;
    if (!workbook_->saveXlsx(path, QDir::tempPath(), &reason)) {
        QFile::remove(path);
        if (reason.isEmpty())
            reason = QStringLiteral("ошибка записи");
        Messages::error(QStringLiteral("Не удалось сохранить книгу в файл %1: %2.\n"
                                       "Проверьте, что папка существует и доступна для записи.")
                            .arg(QDir::toNativeSeparators(path), reason),
                        kCaptionError);
        return -1;
    }

    lastShownFile_ = QDir::toNativeSeparators(path);
    if (!currentViewer()(lastShownFile_)) {
        // The file is there; tell where, so the export is not lost.
        Messages::error(QStringLiteral("Невозможно открыть Microsoft Excel.") + u'\n'
                            + QStringLiteral("Книга сохранена в файле %1\n"
                                             "Откройте его программой для работы с таблицами "
                                             "(например, LibreOffice Calc).")
                                  .arg(lastShownFile_),
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
