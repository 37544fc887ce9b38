#pragma once
#include "reportengine/document.h"
#include "reportengine/expression.h"
#include "reportengine/format.h"
#include "reportengine/layout.h"

#include <QVector>
#include <memory>
#include <vector>

// A layout checked and made ready for laying rows out: expressions compiled once, the
// fixed items of each band (fills, rules, labels' sizes) computed, bands sorted by what
// they do. Throws LayoutError. Used by the engine only.
namespace ReportEngine {


struct CompiledField {
    std::unique_ptr<Expr> expr;   // null: a label
    NumberMask mask;
    QString label;
    float x = 0, y = 0, w = 0, h = 0;   // y from the band's top
    quint16 align = 0;
    bool bold = false;
};

struct CompiledBand {
    const Band* band = nullptr;
    float height = 0;
    QVector<Item> under;   // fills, y from the band's top
    QVector<Item> over;    // rules
    std::vector<CompiledField> fields;
    QVector<int> children;
    int firstSlot = 0, slotCount = 0;
};

struct GroupLevel {
    int header = -1;
    int footer = -1;
    std::unique_ptr<Expr> key;
    bool keepWithFooter = false;
};

class CompiledLayout {
public:
    // rows: where field names are looked up (nullptr: not checked).
    CompiledLayout(const Layout& layout, const RowSource* rows);
    CompiledLayout(const CompiledLayout&) = delete;
    CompiledLayout& operator=(const CompiledLayout&) = delete;

    // A band with its children, in millimetres.
    float chainHeight(int band) const;

    const Layout layout;
    std::vector<CompiledBand> bands;      // as in the layout
    std::vector<GroupLevel> levels;       // outermost first
    SumSlots sumSlots;
    QVector<int> titles, summaries, pageFooters;
    int detail = -1;

    float pageHeight = 0, margin = 0, printable = 0;
    float footerHeight = 0;   // all page footers
    float bodyBottom = 0;     // where the page footers begin
    float freshBody = 0;      // the height a new page offers below its repeated titles

private:
    void compileBand(int index);

    const RowSource* rows_;
};

}
