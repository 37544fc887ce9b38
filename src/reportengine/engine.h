#pragma once
#include "reportengine/document.h"
#include "reportengine/layout.h"
#include "reportengine/rowsource.h"

#include <QString>
#include <memory>
#include <stdexcept>

namespace ReportEngine {

// A layout the engine cannot use: an expression it cannot parse, an unknown field, a
// footer without its header. The message is Russian and names the expression.
class LayoutError : public std::runtime_error {
public:
    explicit LayoutError(const QString& message);
    QString message() const { return message_; }

private:
    QString message_;
};

// Checks a layout's expressions and band links without rows; field names are checked
// too when fieldNames is not empty. Throws LayoutError.
void check(const Layout& layout, const QStringList& fieldNames = {});

// Laying out one layout over one set of rows, a page at a time: the layout is compiled
// once in the constructor (throws LayoutError), pages are produced on demand so the
// first can be shown before the last is laid out. The rows must not change meanwhile.
class Job {
public:
    Job(const Layout& layout, std::shared_ptr<const RowSource> rows);
    ~Job();
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // Pages laid out so far; the last may still grow until readyPages() counts it.
    const Document& document() const;
    bool finished() const;
    int readyPages() const;
    // Lays out until `count` more pages are complete, or to the end.
    void layOutPages(int count);
    void finish();

private:
    class Pager;
    std::unique_ptr<Pager> pager_;
};

// The whole document at once. Throws LayoutError.
Document layOut(const Layout& layout, const RowSource& rows);

}
