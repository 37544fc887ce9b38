#pragma once
#include "reportengine/layout.h"

#include <QColor>
#include <QFont>
#include <QPageLayout>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVector>

// Laid-out pages: positioned items in millimetres from the top-left corner of the paper
// (margins included). Nothing here paints; renderer.h does.
namespace ReportEngine {

struct Item {
    enum class Kind : quint8 {
        Text,   // text inside the rect with align
        Fill,   // the rect filled with color
        Line    // from (x, y) to (x + w, y + h); one of w and h is 0
    };
    Kind kind = Kind::Text;
    LineStyle style = LineStyle::Solid;   // Line
    bool bold = false;                    // Text
    quint16 align = 0;                    // Text: Qt::Alignment
    QRgb color = 0xff000000;
    float x = 0, y = 0, w = 0, h = 0;
    QString text;

    QRectF rect() const { return {x, y, w, h}; }
    Qt::Alignment alignment() const { return Qt::Alignment(align); }
};

struct Page {
    QVector<Item> items;
};

struct Document {
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QSizeF pageSizeMm{210, 297};
    double marginsMm = 10;
    QFont font;
    QVector<Page> pages;

    int pageCount() const { return int(pages.size()); }
    // The text items of a page in the order they were laid out.
    QVector<const Item*> texts(int page) const;
    // The text items of a page whose text equals text.
    QVector<const Item*> find(int page, const QString& text) const;
    QPageLayout pageLayout() const;   // A4, the orientation, no margins (items are absolute)
};

}
