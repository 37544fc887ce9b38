#include "reportengine/engine.h"

#include "reportengine/compiledlayout.h"

#include <vector>

namespace ReportEngine {

LayoutError::LayoutError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}

namespace {

constexpr float kEps = 0.001f;

}

// Lays the rows out band by band, a row per step, keeping its place between steps so
// that pages can be asked for a few at a time.
class Job::Pager {
public:
    Pager(const Layout& layout, std::shared_ptr<const RowSource> rows)
        : holder_(std::move(rows)), rows_(holder_.get()), c_(layout, rows_)
    {
        doc.orientation = layout.orientation;
        doc.pageSizeMm = layout.pageSizeMm();
        doc.marginsMm = layout.marginsMm;
        doc.font = layout.font;
        rowCount_ = rows_ ? rows_->rowCount() : 0;
        sums_.assign(c_.sumSlots.arguments.size(), 0.0);
        keys_.resize(int(c_.levels.size()));
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
        const int levelCount = int(c_.levels.size());
        int changed = r == 0 ? 0 : levelCount;
        for (int l = 0; l < levelCount; ++l) {
            Value key = c_.levels[l].key->eval(ctx);
            if (changed == levelCount && !(key == keys_[l]))
                changed = l;
            keys_[l] = std::move(key);
        }
        if (r > 0)
            for (int l = levelCount - 1; l >= changed; --l)
                if (c_.levels[l].footer >= 0)
                    place(c_.levels[l].footer, r - 1);
        for (int l = changed; l < levelCount; ++l) {
            if (c_.levels[l].keepWithFooter)
                keepGroupTogether(l, r);
            place(c_.levels[l].header, r);
        }
        accumulate(ctx);
        if (c_.detail >= 0)
            place(c_.detail, r);
        lastRow_ = r;
        ++row_;
    }

    void finishReport()
    {
        const int last = rowCount_ - 1;
        if (rowCount_ > 0)
            for (int l = int(c_.levels.size()) - 1; l >= 0; --l)
                if (c_.levels[l].footer >= 0)
                    place(c_.levels[l].footer, last);
        for (int s : c_.summaries)
            place(s, last);
        closePage();
        phase_ = Phase::Done;
    }

    void accumulate(const EvalContext& ctx)
    {
        const int n = int(c_.sumSlots.arguments.size());
        for (int s = 0; s < n; ++s)
            sums_[s] += c_.sumSlots.arguments[s]->eval(ctx).toNumber();
    }

    // Starts the group of level at row on a new page when the whole group, header to
    // footer, fits on a fresh page but not on the rest of this one.
    void keepGroupTogether(int level, int row)
    {
        if (y_ <= pageBodyTop_ + kEps)
            return;
        const float need = groupHeight(level, row, c_.freshBody);
        if (y_ + need > c_.bodyBottom + kEps && need <= c_.freshBody + kEps)
            breakPage(inHeaderChain_);
    }

    float groupHeight(int level, int first, float limit) const
    {
        const int levelCount = int(c_.levels.size());
        float h = c_.chainHeight(c_.levels[level].header);
        for (int l = level + 1; l < levelCount; ++l)
            h += c_.chainHeight(c_.levels[l].header);
        QVector<Value> keys(levelCount);
        const float detail = c_.detail >= 0 ? c_.chainHeight(c_.detail) : 0;
        for (int r = first; r < rowCount_; ++r) {
            const EvalContext ctx = context(r);
            int changed = levelCount;
            for (int l = 0; l < levelCount; ++l) {
                Value key = c_.levels[l].key->eval(ctx);
                if (r > first && changed == levelCount && !(key == keys[l]))
                    changed = l;
                keys[l] = std::move(key);
            }
            if (r > first && changed <= level)
                break;
            if (r > first && changed < levelCount) {
                for (int l = changed; l < levelCount; ++l) {
                    if (c_.levels[l].footer >= 0)
                        h += c_.chainHeight(c_.levels[l].footer);
                    h += c_.chainHeight(c_.levels[l].header);
                }
            }
            h += detail;
            if (h > limit)
                return h;
        }
        for (int l = level; l < levelCount; ++l)
            if (c_.levels[l].footer >= 0)
                h += c_.chainHeight(c_.levels[l].footer);
        return h;
    }

    bool keptWithPrevious(int band) const
    {
        const Band& b = *c_.bands[band].band;
        if (lastBand_ < 0)
            return false;
        if (b.kind == BandKind::Child || inHeaderChain_)
            return true;
        return !b.keepWith.isEmpty() && c_.bands[lastBand_].band->name == b.keepWith;
    }

    void place(int band, int row)
    {
        const CompiledBand& b = c_.bands[band];
        const bool keep = keptWithPrevious(band);
        if (y_ + b.height > c_.bodyBottom + kEps && y_ > pageBodyTop_ + kEps)
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
        y_ = c_.margin;
        lastBand_ = -1;
        const bool first = doc.pageCount() == 1;
        for (int t : c_.titles)
            if (first || c_.bands[t].band->repeatOnEveryPage)
                placeFurniture(t, std::min(lastRow_ + 1, rowCount_ - 1), y_);
        pageBodyTop_ = y_;
        chainItem_ = -1;
        inHeaderChain_ = false;
    }

    void placeFurniture(int band, int row, float& y)
    {
        emitBand(band, row, y);
        y += c_.bands[band].height;
        lastBand_ = band;
        for (int c : c_.bands[band].children)
            placeFurniture(c, row, y);
    }

    void closePage()
    {
        float y = c_.pageHeight - c_.margin - c_.footerHeight;
        for (int f : c_.pageFooters)
            placeFurniture(f, lastRow_, y);
    }

    void emitBand(int band, int row, float top)
    {
        CompiledBand& b = c_.bands[band];
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
                // A number that arrives as text (a driver's decimal) still takes its mask.
                if (v.type == Value::Type::Text && f.mask.decimals >= 0) {
                    bool ok = false;
                    const double number = v.text.trimmed().toDouble(&ok);
                    if (ok)
                        text = formatNumber(number, f.mask);
                }
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

    std::shared_ptr<const RowSource> holder_;
    const RowSource* rows_;
    CompiledLayout c_;
    int rowCount_ = 0;
    std::vector<double> sums_;

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
