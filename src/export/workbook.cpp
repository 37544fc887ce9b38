#include "export/workbook.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <xlsxwriter.h>
#include <algorithm>
#include <locale.h>

namespace {

// libxlsxwriter writes its decimal numbers (column widths, number cells) with the C
// library's printf, which follows LC_NUMERIC: under a Russian locale a width comes out
// as "22,4", which the file format does not allow. While it exists, this thread formats
// numbers the C way, whatever locale the process runs.
class CNumbersOnThisThread {
public:
    CNumbersOnThisThread()
    {
        if (locale_t base = duplocale(LC_GLOBAL_LOCALE)) {
            c_ = newlocale(LC_NUMERIC_MASK, "C", base);
            if (!c_)
                freelocale(base);
        }
        if (c_)
            previous_ = uselocale(c_);
    }
    ~CNumbersOnThisThread()
    {
        if (c_) {
            uselocale(previous_);
            freelocale(c_);
        }
    }
    CNumbersOnThisThread(const CNumbersOnThisThread&) = delete;
    CNumbersOnThisThread& operator=(const CNumbersOnThisThread&) = delete;

private:
    locale_t c_ = nullptr;
    locale_t previous_ = nullptr;
};

}

Workbook::Workbook()
{
    sheets_.push_back(Sheet{QStringLiteral("Лист1"), {}, {}});
}

bool Workbook::isCellInRange(int column, int row)
{
    return column >= 1 && column <= kMaxColumns && row >= 1 && row <= kMaxRows;
}

Workbook::Cell& Workbook::cell(int sheet, int column, int row)
{
    return sheets_[sheet - 1].cells[qMakePair(row, column)];
}

const Workbook::Cell* Workbook::findCell(int sheet, int column, int row) const
{
    if (!hasSheet(sheet))
        return nullptr;
    const auto& cells = sheets_[sheet - 1].cells;
    const auto it = cells.constFind(qMakePair(row, column));
    return it == cells.cend() ? nullptr : &it.value();
}

bool Workbook::readsAsNumber(const QString& text, double* value, int* decimals)
{
    static const QRegularExpression number(QStringLiteral("^-?(0|[1-9][0-9]*)(?:,([0-9]+))?$"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return false;
    const QString places = m.captured(2);
    if (m.capturedLength(1) + places.size() > 15 || text == u"-0")
        return false;
    if (value)
        *value = QString(text).replace(u',', u'.').toDouble();
    if (decimals)
        *decimals = int(places.size());
    return true;
}

double Workbook::widthForText(const QString& text, bool bold)
{
    // Excel measures widths in characters of the standard font; bold letters are about a
    // tenth wider, and a little margin keeps the text off the grid lines.
    qsizetype longest = 0;
    const QStringList lines = text.split(u'\n');
    for (const QString& line : lines)
        longest = std::max(longest, line.trimmed().size());
    const double width = double(longest) * (bold ? 1.1 : 1.0) + 1.5;
    return std::min(width, 255.0);
}

void Workbook::fitColumn(int sheet, int column)
{
    Sheet& s = sheets_[sheet - 1];
    double width = 0;
    for (auto it = s.cells.cbegin(); it != s.cells.cend(); ++it)
        if (it.key().second == column)
            width = std::max(width, widthForText(it.value().text, it.value().bold));
    if (width > 0)
        s.widths[column] = width;
}

double Workbook::columnWidth(int sheet, int column) const
{
    return hasSheet(sheet) ? sheets_[sheet - 1].widths.value(column, 0.0) : 0.0;
}

bool Workbook::saveXlsx(const QString& path, const QString& tempDir, QString* error) const
{
    const CNumbersOnThisThread cNumbers;
    const QByteArray fileName = QFile::encodeName(path);
    QByteArray tmp = QFile::encodeName(tempDir);
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    options.tmpdir = tmp.isEmpty() ? nullptr : tmp.data();
    lxw_workbook* book = workbook_new_opt(fileName.constData(), &options);
    if (!book) {
        if (error)
            *error = QStringLiteral("не удалось создать книгу");
        return false;
    }

    // One format per combination of "@", bold and a number's places, made only when used.
    QHash<int, lxw_format*> formats;
    auto formatFor = [&](const Cell& c, int places) -> lxw_format* {
        if (!c.asText && !c.bold && places < 0)
            return nullptr;
        const int key = (c.asText ? 1 : 0) + (c.bold ? 2 : 0) + 4 * (places + 1);
        lxw_format*& f = formats[key];
        if (!f) {
            f = workbook_add_format(book);
            if (c.asText)
                format_set_num_format_index(f, 49);   // Excel's built-in "@", Text
            else if (places == 0)
                format_set_num_format_index(f, 1);    // "0": a whole number, plain
            else if (places > 0)
                format_set_num_format(f, ("0." + QByteArray(places, '0')).constData());
            if (c.bold)
                format_set_bold(f);
        }
        return f;
    };

    lxw_error failure = LXW_NO_ERROR;
    for (const Sheet& sheet : sheets_) {
        const QByteArray name = sheet.name.toUtf8();
        lxw_worksheet* ws = workbook_add_worksheet(book, name.constData());
        if (!ws) {
            failure = LXW_ERROR_MEMORY_MALLOC_FAILED;
            break;
        }
        for (auto it = sheet.cells.cbegin(); it != sheet.cells.cend() && failure == LXW_NO_ERROR; ++it) {
            const Cell& c = it.value();
            const lxw_row_t row = lxw_row_t(it.key().first - 1);
            const lxw_col_t column = lxw_col_t(it.key().second - 1);
            double number = 0;
            int places = -1;
            if (!c.asText && readsAsNumber(c.text, &number, &places)) {
                failure = worksheet_write_number(ws, row, column, number, formatFor(c, places));
            } else {
                const QByteArray text = c.text.toUtf8();
                failure = worksheet_write_string(ws, row, column, text.constData(), formatFor(c, -1));
            }
        }
        for (auto it = sheet.widths.cbegin(); it != sheet.widths.cend() && failure == LXW_NO_ERROR; ++it)
            failure = worksheet_set_column(ws, lxw_col_t(it.key() - 1), lxw_col_t(it.key() - 1), it.value(), nullptr);
        if (failure != LXW_NO_ERROR)
            break;
    }
    if (failure != LXW_NO_ERROR) {
        // Nothing is written to disk before workbook_close(); drop the half-built book.
        lxw_workbook_free(book);
        if (error)
            *error = QString::fromUtf8(lxw_strerror(failure));
        return false;
    }
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        if (error)
            *error = QString::fromUtf8(lxw_strerror(closed));
        return false;
    }
    return true;
}
