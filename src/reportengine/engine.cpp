#include "reportengine/engine.h"

#include "reportengine/expression.h"
#include "reportengine/format.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <vector>

namespace ReportEngine {

LayoutError::LayoutError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}

namespace {

constexpr float kEps = 0.001f;

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

struct Level {
    int header = -1;
    int footer = -1;
    std::unique_ptr<Expr> key;
    bool keepWithFooter = false;
};

double textWidthMm(const QFont& font, const QString& text)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return text.size() * font.pointSizeF() * 0.6 * 25.4 / 72;
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        image.setDotsPerMeterX(int(1200 / 0.0254));
        image.setDotsPerMeterY(int(1200 / 0.0254));
        return image;
    }();
    return QFontMetricsF(font, &device).horizontalAdvance(text) * 25.4 / 1200 + 0.5;
}

Item fill(float x, float y, float w, float h, const QColor& color)
{
    Item item;
    item.kind = Item::Kind::Fill;
    item.color = color.rgba();
    item.x = x; item.y = y; item.w = w; item.h = h;
    return item;
}

void addFrame(QVector<Item>& items, float x, float y, float w, float h, const Frame& frame)
{
    auto line = [&](const Rule& rule, float lx, float ly, float lw, float lh) {
        if (!rule.visible())
            return;
        Item item;
        item.kind = Item::Kind::Line;
        item.style = rule.style;
        item.color = rule.color.rgba();
        item.x = lx; item.y = ly; item.w = lw; item.h = lh;
        items.push_back(item);
    };
    line(frame.top, x, y, w, 0);
    line(frame.bottom, x, y + h, w, 0);
    line(frame.left, x, y, 0, h);
    line(frame.right, x + w, y, 0, h);
}

QString bandName(const Band& band)
{
    return band.name.isEmpty() ? QStringLiteral("(без имени)") : band.name;
}

}

class Job::Pager {
public:
    Pager(const Layout& layout, std::shared_ptr<const RowSource> rows)
        : layout_(layout), holder_(std::move(rows)), rows_(holder_.get())
    {
        compile();
    }

    Document doc;

    bool finished() const { return phase_ == Phase::Done; }
    int readyPages() const { return finished() ? doc.pageCount() : std::max(0, doc.pageCount() - 1); }

    void layOutPages(int count)
    {
        const int target = readyPages() + std::max(1, count);
        while (!finished() && readyPages() < target)
            step();
    }

    void finish()
    {
        while (!finished())
            step();
    }

private:
    enum class Phase { Start, Rows, Done };

    // ---- compiling -------------------------------------------------------------------

    void compile()
    {
        const QSizeF page = layout_.pageSizeMm();
        doc.orientation = layout_.orientation;
        doc.pageSizeMm = page;
        doc.marginsMm = layout_.marginsMm;
        doc.font = layout_.font;
        pageH_ = float(page.height());
        margin_ = float(layout_.marginsMm);
        printable_ = float(layout_.printableWidthMm());
        rowCount_ = rows_ ? rows_->rowCount() : 0;

        const QVector<Band>& list = layout_.bands;
        bands_.resize(list.size());
        for (int i = 0; i < list.size(); ++i)
            compileBand(i);

        auto indexOf = [&](const QString& name) {
            for (int i = 0; i < list.size(); ++i)
                if (list[i].name == name)
                    return i;
            return -1;
        };
        for (int i = 0; i < list.size(); ++i) {
            const Band& b = list[i];
            switch (b.kind) {
            case BandKind::Title: titles_.push_back(i); break;
            case BandKind::Summary: summaries_.push_back(i); break;
            case BandKind::PageFooter: pageFooters_.push_back(i); break;
            case BandKind::Detail:
                if (detail_ >= 0)
                    throw LayoutError(QStringLiteral("В макете отчета больше одной полосы данных: «%1» и «%2»")
                                          .arg(bandName(list[detail_]), bandName(b)));
                detail_ = i;
                break;
            case BandKind::GroupHeader: {
                // Without an expression it is the report's header and its footer the
                // grand total: printed also when there are no rows.
                if (b.groupExpression.trimmed().isEmpty()) {
                    titles_.push_back(i);
                    break;
                }
                Level level;
                level.header = i;
                level.key = compileExpression(b.groupExpression, rows_, nullptr);
                levels_.push_back(std::move(level));
                break;
            }
            case BandKind::Child: {
                const int parent = indexOf(b.header);
                if (parent < 0 || parent == i)
                    throw LayoutError(QStringLiteral("Дочерняя полоса «%1» ссылается на отсутствующую полосу «%2»")
                                          .arg(bandName(b), b.header));
                bands_[parent].children.push_back(i);
                break;
            }
            case BandKind::GroupFooter:
                break;
            }
        }
        for (int i = 0; i < list.size(); ++i) {
            const Band& b = list[i];
            if (b.kind != BandKind::GroupFooter)
                continue;
            Level* level = nullptr;
            for (Level& l : levels_)
                if (list[l.header].name == b.header)
                    level = &l;
            const int once = indexOf(b.header);
            if (!level && once >= 0 && list[once].kind == BandKind::GroupHeader) {
                summaries_.push_front(i);
                continue;
            }
            if (!level)
                throw LayoutError(QStringLiteral("Итог группы «%1» ссылается на отсутствующий заголовок группы «%2»")
                                      .arg(bandName(b), b.header));
            if (level->footer >= 0)
                throw LayoutError(QStringLiteral("У группы «%1» два итога").arg(b.header));
            level->footer = i;
        }
        for (Level& l : levels_) {
            const QString& keep = list[l.header].keepWith;
            l.keepWithFooter = !keep.isEmpty() && l.footer >= 0 && list[l.footer].name == keep;
        }
        for (const CompiledBand& b : bands_)
            if (b.band->kind == BandKind::PageFooter)
                footerHeight_ += chainHeight(int(&b - bands_.data()));
        bodyBottom_ = pageH_ - margin_ - footerHeight_;
        float top = margin_;
        for (int t : titles_)
            if (list[t].repeatOnEveryPage)
                top += chainHeight(t);
        freshBody_ = bodyBottom_ - top;
        sums_.assign(slots_.arguments.size(), 0.0);
        keys_.resize(levels_.size());
    }

    void compileBand(int index)
    {
        const Band& band = layout_.bands[index];
        CompiledBand& cb = bands_[index];
        cb.band = &band;
        cb.height = float(std::max(0.0, band.height));
        cb.firstSlot = int(slots_.arguments.size());
        if (band.background.isValid())
            cb.under.push_back(fill(margin_, 0, printable_, cb.height, band.background));
        QFont bold = layout_.font;
        bold.setBold(true);
        for (const Field& f : band.fields) {
            CompiledField cf;
            const bool sumAllowed = true;
            switch (f.kind) {
            case Field::Label:
                cf.label = f.text;
                break;
            case Field::Data:
                cf.expr = fieldExpression(f.text, f.text, rows_);
                break;
            case Field::Expression:
                cf.expr = compileExpression(f.text, rows_, sumAllowed ? &slots_ : nullptr);
                break;
            }
            bool maskOk = true;
            cf.mask = NumberMask::parse(f.mask, &maskOk);
            if (!maskOk)
                throw LayoutError(QStringLiteral("Маска «%1» поля «%2» не поддерживается").arg(f.mask, f.name.isEmpty() ? f.text : f.name));
            double width = f.width;
            if (width <= 0)
                width = f.kind == Field::Label ? textWidthMm(f.bold ? bold : layout_.font, f.text)
                                               : std::max(1.0, layout_.printableWidthMm() - f.left);
            cf.x = float(margin_ + f.left);
            cf.y = float(f.top);
            cf.w = float(width);
            cf.h = float(f.height > 0 ? f.height : std::max(0.0, band.height - f.top));
            Qt::Alignment align = f.align;
            if (!(align & Qt::AlignVertical_Mask))
                align |= Qt::AlignVCenter;
            if (!(align & Qt::AlignHorizontal_Mask))
                align |= Qt::AlignLeft;
            cf.align = quint16(align);
            cf.bold = f.bold;
            if (f.background.isValid())
                cb.under.push_back(fill(cf.x, cf.y, cf.w, cf.h, f.background));
            addFrame(cb.over, cf.x, cf.y, cf.w, cf.h, f.frame);
            cb.fields.push_back(std::move(cf));
        }
        addFrame(cb.over, margin_, 0, printable_, cb.height, band.frame);
        cb.slotCount = int(slots_.arguments.size()) - cb.firstSlot;
    }

    float chainHeight(int band) const
    {
        float h = bands_[band].height;
        for (int c : bands_[band].children)
            h += chainHeight(c);
        return h;
    }

    // ---- laying out ------------------------------------------------------------------

    void step()
    {
        switch (phase_) {
        case Phase::Start:
            newPage();
            phase_ = Phase::Rows;
            break;
        case Phase::Rows:
            if (row_ < rowCount_)
                stepRow();
            else
                finishReport();
            break;
        case Phase::Done:
            break;
        }
    }

    EvalContext context(int row) const
    {
        EvalContext ctx;
        ctx.rows = rows_;
        ctx.row = row;
        ctx.page = std::max(1, doc.pageCount());
        ctx.sums = sums_.data();
        return ctx;
    }

    void stepRow()
    {
        const int r = row_;
        const EvalContext ctx = context(r);
        const int levelCount = int(levels_.size());
        int changed = r == 0 ? 0 : levelCount;
        for (int l = 0; l < levelCount; ++l) {
            Value key = levels_[l].key->eval(ctx);
            if (changed == levelCount && !(key == keys_[l]))
                changed = l;
            keys_[l] = std::move(key);
        }
        if (r > 0)
            for (int l = levelCount - 1; l >= changed; --l)
                if (levels_[l].footer >= 0)
                    place(levels_[l].footer, r - 1);
        for (int l = changed; l < levelCount; ++l) {
            if (levels_[l].keepWithFooter)
                keepGroupTogether(l, r);
            place(levels_[l].header, r);
        }
        accumulate(ctx);
        if (detail_ >= 0)
            place(detail_, r);
        lastRow_ = r;
        ++row_;
    }

    void finishReport()
    {
        const int last = rowCount_ - 1;
        if (rowCount_ > 0)
            for (int l = int(levels_.size()) - 1; l >= 0; --l)
                if (levels_[l].footer >= 0)
                    place(levels_[l].footer, last);
        for (int s : summaries_)
            place(s, last);
        closePage();
        phase_ = Phase::Done;
    }

    void accumulate(const EvalContext& ctx)
    {
        const int n = int(slots_.arguments.size());
        for (int s = 0; s < n; ++s)
            sums_[s] += slots_.arguments[s]->eval(ctx).toNumber();
    }

    // Starts the group of level at row on a new page when the whole group, header to
    // footer, fits on a fresh page but not on the rest of this one.
    void keepGroupTogether(int level, int row)
    {
        if (y_ <= pageBodyTop_ + kEps)
            return;
        const float need = groupHeight(level, row, freshBody_);
        if (y_ + need > bodyBottom_ + kEps && need <= freshBody_ + kEps)
            breakPage(inHeaderChain_);
    }

    float groupHeight(int level, int first, float limit) const
    {
        const int levelCount = int(levels_.size());
        float h = chainHeight(levels_[level].header);
        for (int l = level + 1; l < levelCount; ++l)
            h += chainHeight(levels_[l].header);
        QVector<Value> keys(levelCount);
        const float detail = detail_ >= 0 ? chainHeight(detail_) : 0;
        for (int r = first; r < rowCount_; ++r) {
            const EvalContext ctx = context(r);
            int changed = levelCount;
            for (int l = 0; l < levelCount; ++l) {
                Value key = levels_[l].key->eval(ctx);
                if (r > first && changed == levelCount && !(key == keys[l]))
                    changed = l;
                keys[l] = std::move(key);
            }
            if (r > first && changed <= level)
                break;
            if (r > first && changed < levelCount) {
                for (int l = changed; l < levelCount; ++l) {
                    if (levels_[l].footer >= 0)
                        h += chainHeight(levels_[l].footer);
                    h += chainHeight(levels_[l].header);
                }
            }
            h += detail;
            if (h > limit)
                return h;
        }
        for (int l = level; l < levelCount; ++l)
            if (levels_[l].footer >= 0)
                h += chainHeight(levels_[l].footer);
        return h;
    }

    bool keptWithPrevious(int band) const
    {
        const Band& b = *bands_[band].band;
        if (lastBand_ < 0)
            return false;
        if (b.kind == BandKind::Child || inHeaderChain_)
            return true;
        return !b.keepWith.isEmpty() && bands_[lastBand_].band->name == b.keepWith;
    }

    void place(int band, int row)
    {
        const CompiledBand& b = bands_[band];
        const bool keep = keptWithPrevious(band);
        if (y_ + b.height > bodyBottom_ + kEps && y_ > pageBodyTop_ + kEps)
            breakPage(keep);
        if (!keep || chainItem_ < 0) {
            chainItem_ = int(doc.pages.last().items.size());
            chainY_ = y_;
        }
        emitBand(band, row, y_);
        y_ += b.height;
        const BandKind kind = b.band->kind;
        if (kind == BandKind::GroupHeader)
            inHeaderChain_ = true;
        else if (kind != BandKind::Child)
            inHeaderChain_ = false;
        lastBand_ = band;
        for (int c : b.children)
            place(c, row);
    }

    // A new page; with keepChain the bands that must stay with the next one go along.
    void breakPage(bool keepChain)
    {
        if (!keepChain || chainItem_ < 0 || chainY_ <= pageBodyTop_ + kEps) {
            newPage();
            return;
        }
        QVector<Item>& items = doc.pages.last().items;
        QVector<Item> moved(items.begin() + chainItem_, items.end());
        items.resize(chainItem_);
        const float height = y_ - chainY_;
        const int lastBand = lastBand_;
        const bool inHeaderChain = inHeaderChain_;
        newPage();
        const float dy = y_ - chainY_;
        QVector<Item>& target = doc.pages.last().items;
        chainItem_ = int(target.size());
        for (Item& item : moved) {
            item.y += dy;
            target.push_back(std::move(item));
        }
        chainY_ = y_;
        y_ += height;
        lastBand_ = lastBand;
        inHeaderChain_ = inHeaderChain;
    }

    void newPage()
    {
        if (!doc.pages.isEmpty())
            closePage();
        doc.pages.push_back(Page());
        y_ = margin_;
        lastBand_ = -1;
        const bool first = doc.pageCount() == 1;
        for (int t : titles_)
            if (first || bands_[t].band->repeatOnEveryPage)
                placeFurniture(t, std::min(lastRow_ + 1, rowCount_ - 1), y_);
        pageBodyTop_ = y_;
        chainItem_ = -1;
        inHeaderChain_ = false;
    }

    void placeFurniture(int band, int row, float& y)
    {
        emitBand(band, row, y);
        y += bands_[band].height;
        lastBand_ = band;
        for (int c : bands_[band].children)
            placeFurniture(c, row, y);
    }

    void closePage()
    {
        float y = pageH_ - margin_ - footerHeight_;
        for (int f : pageFooters_)
            placeFurniture(f, lastRow_, y);
    }

    void emitBand(int band, int row, float top)
    {
        CompiledBand& b = bands_[band];
        QVector<Item>& items = doc.pages.last().items;
        for (const Item& u : b.under) {
            items.push_back(u);
            items.last().y += top;
        }
        const EvalContext ctx = context(row);
        for (const CompiledField& f : b.fields) {
            QString text;
            if (!f.expr) {
                text = f.label;
            } else {
                const Value v = f.expr->eval(ctx);
                text = v.type == Value::Type::Number ? formatNumber(v.number, f.mask) : v.toText();
            }
            if (text.isEmpty())
                continue;
            Item item;
            item.kind = Item::Kind::Text;
            item.bold = f.bold;
            item.align = f.align;
            item.x = f.x;
            item.y = top + f.y;
            item.w = f.w;
            item.h = f.h;
            item.text = std::move(text);
            items.push_back(std::move(item));
        }
        for (const Item& o : b.over) {
            items.push_back(o);
            items.last().y += top;
        }
        // Totals restart once printed.
        for (int s = b.firstSlot; s < b.firstSlot + b.slotCount; ++s)
            sums_[s] = 0;
    }

    Layout layout_;
    std::shared_ptr<const RowSource> holder_;
    const RowSource* rows_;
    int rowCount_ = 0;

    std::vector<CompiledBand> bands_;
    std::vector<Level> levels_;
    SumSlots slots_;
    std::vector<double> sums_;
    QVector<int> titles_, summaries_, pageFooters_;
    int detail_ = -1;

    float pageH_ = 0, margin_ = 0, printable_ = 0;
    float footerHeight_ = 0, bodyBottom_ = 0, freshBody_ = 0;

    Phase phase_ = Phase::Start;
    int row_ = 0;
    int lastRow_ = -1;
    QVector<Value> keys_;
    float y_ = 0;
    float pageBodyTop_ = 0;
    int chainItem_ = -1;
    float chainY_ = 0;
    int lastBand_ = -1;
    bool inHeaderChain_ = false;
};

void check(const Layout& layout, const QStringList& fieldNames)
{
    if (fieldNames.isEmpty()) {
        Job job(layout, nullptr);
        return;
    }
    Job job(layout, std::make_shared<RowTable>(fieldNames));
}

Job::Job(const Layout& layout, std::shared_ptr<const RowSource> rows)
    : pager_(std::make_unique<Pager>(layout, std::move(rows)))
{
}

Job::~Job() = default;

const Document& Job::document() const
{
    return pager_->doc;
}

bool Job::finished() const
{
    return pager_->finished();
}

int Job::readyPages() const
{
    return pager_->readyPages();
}

void Job::layOutPages(int count)
{
    pager_->layOutPages(count);
}

void Job::finish()
{
    pager_->finish();
}

Document layOut(const Layout& layout, const RowSource& rows)
{
    Job job(layout, std::shared_ptr<const RowSource>(&rows, [](const RowSource*) {}));
    job.finish();
    return job.document();
}

}
