#pragma once
#include <QColor>
#include <QFont>
#include <QPageLayout>
#include <QSizeF>
#include <QString>
#include <QVector>

// A report layout is plain data: the page setup and the bands with their fields.
// The engine (engine.h) lays a layout and its rows out on pages; nothing here paints.
// All lengths are millimetres; field positions count from the left margin.
namespace ReportEngine {

enum class LineStyle : quint8 { None, Solid, Dotted };

struct Rule {
    LineStyle style = LineStyle::None;
    QColor color = Qt::black;

    static Rule solid(const QColor& c = Qt::black) { return {LineStyle::Solid, c}; }
    static Rule dotted(const QColor& c = Qt::black) { return {LineStyle::Dotted, c}; }
    bool visible() const { return style != LineStyle::None; }
};

// Rules along the four edges of a band or a field.
struct Frame {
    Rule top, bottom, left, right;

    static Frame box(const Rule& r) { return {r, r, r, r}; }
    bool visible() const { return top.visible() || bottom.visible() || left.visible() || right.visible(); }
};

struct Field {
    enum Kind {
        Label,       // text printed as it is
        Data,        // text is a field name of the rows ("fio" or "t_Report.fio")
        Expression   // text is an expression: "sum(kolvo)", "IF(naimen=0,'Готовая продукция','Заготовки')"
    };

    QString name;            // e.g. "QRLabel1", so callers can find the field and set its text
    Kind kind = Label;
    QString text;
    double left = 0;         // from the left margin
    double width = 0;        // 0: as wide as its text (labels) or up to the right margin
    double top = 0;          // from the band's top
    double height = 0;       // 0: down to the band's bottom
    Qt::Alignment align = Qt::AlignLeft;   // vertically centred unless a vertical flag is given
    bool bold = false;
    QColor background;       // invalid: none
    QString mask;            // "#0.00", "#0.000", "#0"; empty: the value's default form
    Frame frame;

    static Field label(const QString& text, double left, double width = 0,
                       Qt::Alignment align = Qt::AlignLeft);
    static Field data(const QString& field, double left, double width = 0,
                      Qt::Alignment align = Qt::AlignLeft, const QString& mask = {});
    static Field expression(const QString& expr, double left, double width = 0,
                            Qt::Alignment align = Qt::AlignLeft, const QString& mask = {});
    // The field spanning [from, to] mm, as layouts usually give it.
    static Field span(Kind kind, const QString& text, double from, double to,
                      Qt::Alignment align = Qt::AlignLeft, const QString& mask = {});
};

enum class BandKind {
    Title,        // header without expression: once at the start, or at the top of every
                  // page when repeatOnEveryPage
    Child,        // printed right after the band named in `header`
    GroupHeader,  // printed whenever groupExpression changes from one row to the next;
                  // the group headers nest in the order they appear in the layout.
                  // Without an expression: like Title, and its footer like Summary
    GroupFooter,  // printed after the last row of the group whose header is named in `header`
    Detail,       // once per row
    Summary,      // once after the last row: the grand totals
    PageFooter    // at the bottom of every page, the last one included
};

struct Band {
    BandKind kind = BandKind::Detail;
    QString name;
    double height = 5;
    QString groupExpression;   // GroupHeader
    QString header;            // GroupFooter: its GroupHeader; Child: its parent band
    // Keep this band on the page of the band of this name: a group header kept with
    // its footer starts on a new page when the whole group fits on a fresh page but not
    // on the rest of this one; a band kept with the band printed just before it takes
    // that band along to the next page rather than leave it alone at a page's end.
    QString keepWith;
    bool repeatOnEveryPage = false;   // Title
    QColor background;                // invalid: none
    Frame frame;
    QVector<Field> fields;

    Band() = default;
    Band(BandKind kind, const QString& name, double height) : kind(kind), name(name), height(height) {}

    Field* field(const QString& name);
    const Field* field(const QString& name) const;
};

struct Layout {
    QPageLayout::Orientation orientation = QPageLayout::Portrait;   // always A4
    double marginsMm = 10;                                          // all four sides
    QFont font = defaultFont();
    QVector<Band> bands;

    // The field of this name in any band; nullptr when there is none.
    Field* field(const QString& name);
    const Field* field(const QString& name) const;
    Band* band(const QString& name);
    const Band* band(const QString& name) const;

    QSizeF pageSizeMm() const;          // A4 in the layout's orientation
    double printableWidthMm() const;    // between the left and right margins

    static QFont defaultFont();
};

}
