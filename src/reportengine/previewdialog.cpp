#include "reportengine/previewdialog.h"
#include "ui_previewdialog.h"

#include "reportengine/engine.h"
#include "reportengine/renderer.h"
#include "reportengine/reportdialogs.h"
#include "ui/documentsfolder.h"
#include "ui/guard.h"
#include "ui/messages.h"
#include "ui/waitcursor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>
#include <QScrollBar>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QTimer>
#include <cmath>

namespace ReportEngine {

// The page as a picture in the scroll area.
class PageView : public QWidget {
public:
    explicit PageView(QWidget* parent) : QWidget(parent) { setObjectName(QStringLiteral("pageView")); }
    void setImage(const QImage& image)
    {
        image_ = image;
        resize(image.size());
        update();
    }
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawImage(0, 0, image_);
    }

private:
    QImage image_;
};

namespace {

constexpr double kMinZoom = 0.5;    // pixels per millimetre
constexpr double kMaxZoom = 16;
constexpr double kZoomStep = 1.25;
constexpr int kSliceMs = 25;        // layout work per turn of the event loop
constexpr int kProgressPages = 40;  // from this many pages saving and printing show progress

QString fileNameFrom(const QString& name)
{
    QString clean = name.trimmed();
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (QChar& c : clean)
        if (forbidden.contains(c) || c.unicode() < 32)
            c = QLatin1Char('_');
    if (clean.isEmpty())
        clean = QStringLiteral("Отчет");
    if (!clean.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        clean += QLatin1String(".pdf");
    return clean;
}

}

PreviewDialog::PreviewDialog(Job& job, const QString& title, const QString& defaultPdfName, QWidget* parent)
    : QDialog(parent), ui(new Ui::PreviewDialog), job_(job), defaultPdfName_(defaultPdfName)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("PreviewDialog"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    if (!title.trimmed().isEmpty())
        setWindowTitle(title.trimmed());
    view_ = new PageView(ui->scrollArea);
    ui->scrollArea->setWidget(view_);
    ui->scrollArea->setBackgroundRole(QPalette::Dark);

    connect(ui->firstButton, &QPushButton::clicked, this, guardedSlot(this, &PreviewDialog::onFirst));
    connect(ui->priorButton, &QPushButton::clicked, this, guardedSlot(this, &PreviewDialog::onPrior));
    connect(ui->nextButton, &QPushButton::clicked, this, guardedSlot(this, &PreviewDialog::onNext));
    connect(ui->lastButton, &QPushButton::clicked, this, guardedSlot(this, &PreviewDialog::onLast));
    connect(ui->wholePageButton, &QPushButton::clicked, this, guardedSlot(this, &PreviewDialog::onWholePage));
    connect(ui->pageWidthButton, &QPushButton::clicked, this, guardedSlot(this, &PreviewDialog::onPageWidth));
    connect(ui->zoomInButton, &QPushButton::clicked, this, guardedSlot(this, &PreviewDialog::onZoomIn));
    connect(ui->zoomOutButton, &QPushButton::clicked, this, guardedSlot(this, &PreviewDialog::onZoomOut));
    connect(ui->printButton, &QPushButton::clicked, this, guardedSlot(this, &PreviewDialog::onPrint));
    connect(ui->pdfButton, &QPushButton::clicked, this, guardedSlot(this, &PreviewDialog::onSavePdf));
    connect(ui->closeButton, &QPushButton::clicked, this, &QDialog::reject);

    // Keys reach the dialog whichever button has the focus; the page itself takes none,
    // so PgUp/PgDn turn pages instead of scrolling.
    ui->scrollArea->setFocusPolicy(Qt::NoFocus);
    ui->scrollArea->viewport()->installEventFilter(this);

    // The first page now; the rest while the user looks at it.
    if (!job_.finished() && job_.readyPages() == 0)
        job_.layOutPages(1);
    const QSize screen = parent && parent->screen() ? parent->screen()->availableSize()
                                                    : QGuiApplication::primaryScreen()->availableSize();
    resize(std::min(screen.width() - 40, 1000), std::max(400, screen.height() - 60));
    updateTexts();
    if (!job_.finished())
        QTimer::singleShot(0, this, [this] { guarded([this] { layOutMore(); }); });
}

PreviewDialog::~PreviewDialog()
{
    delete ui;
}

int PreviewDialog::pageCount() const
{
    return job_.readyPages();
}

void PreviewDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    applyFit();
}

void PreviewDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    applyFit();
}

void PreviewDialog::keyPressEvent(QKeyEvent* event)
{
    using Handler = void (PreviewDialog::*)();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    Handler handler = nullptr;
    switch (event->key()) {
    case Qt::Key_PageUp: handler = &PreviewDialog::onPrior; break;
    case Qt::Key_PageDown: handler = &PreviewDialog::onNext; break;
    case Qt::Key_Home: handler = &PreviewDialog::onFirst; break;
    case Qt::Key_End: handler = &PreviewDialog::onLast; break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: handler = &PreviewDialog::onZoomIn; break;
    case Qt::Key_Minus: handler = &PreviewDialog::onZoomOut; break;
    case Qt::Key_P: handler = ctrl ? &PreviewDialog::onPrint : nullptr; break;
    case Qt::Key_S: handler = ctrl ? &PreviewDialog::onSavePdf : nullptr; break;
    default: break;
    }
    if (!handler) {
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
    guarded([&] { (this->*handler)(); });
}

// The wheel turns the page over past its end (and back past its top); with Ctrl it zooms.
bool PreviewDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ui->scrollArea->viewport() || event->type() != QEvent::Wheel)
        return QDialog::eventFilter(watched, event);
    auto* wheel = static_cast<QWheelEvent*>(event);
    const int delta = wheel->angleDelta().y();
    if (delta == 0)
        return false;
    if (wheel->modifiers() & Qt::ControlModifier) {
        guarded([&] { delta > 0 ? onZoomIn() : onZoomOut(); });
        return true;
    }
    QScrollBar* bar = ui->scrollArea->verticalScrollBar();
    if (delta < 0 && bar->value() >= bar->maximum() && (page_ + 1 < job_.readyPages() || !job_.finished())) {
        guarded([&] { onNext(); });
        return true;
    }
    if (delta > 0 && bar->value() <= bar->minimum() && page_ > 0) {
        guarded([&] {
            onPrior();
            bar->setValue(bar->maximum());
        });
        return true;
    }
    return false;
}

void PreviewDialog::layOutMore()
{
    QElapsedTimer slice;
    slice.start();
    while (!job_.finished() && slice.elapsed() < kSliceMs)
        job_.layOutPages(1);
    updateTexts();
    if (!job_.finished())
        QTimer::singleShot(0, this, [this] { guarded([this] { layOutMore(); }); });
}

void PreviewDialog::finishLayout()
{
    if (job_.finished())
        return;
    WaitCursor wait;
    job_.finish();
    updateTexts();
}

void PreviewDialog::onFirst()
{
    showPage(0);
}

void PreviewDialog::onPrior()
{
    showPage(page_ - 1);
}

void PreviewDialog::onNext()
{
    if (page_ + 1 >= job_.readyPages() && !job_.finished())
        job_.layOutPages(1);
    showPage(page_ + 1);
}

void PreviewDialog::onLast()
{
    finishLayout();
    showPage(job_.readyPages() - 1);
}

void PreviewDialog::showPage(int page)
{
    page_ = std::clamp(page, 0, std::max(0, job_.readyPages() - 1));
    const double ratio = devicePixelRatioF();
    QImage image = pageImage(job_.document(), page_, zoom_ * ratio);
    image.setDevicePixelRatio(ratio);
    view_->setImage(image);
    view_->resize(image.size() / ratio);
    ui->scrollArea->verticalScrollBar()->setValue(0);
    updateTexts();
}

void PreviewDialog::setZoom(double pixelsPerMm, Fit fit)
{
    zoom_ = std::clamp(pixelsPerMm, kMinZoom, kMaxZoom);
    fit_ = fit;
    const int scroll = ui->scrollArea->verticalScrollBar()->value();
    showPage(page_);
    ui->scrollArea->verticalScrollBar()->setValue(scroll);
}

void PreviewDialog::applyFit()
{
    const QSizeF page = job_.document().pageSizeMm;
    const QSize area = ui->scrollArea->viewport()->size();
    const int frame = 2 * ui->scrollArea->frameWidth();
    if (fit_ == Fit::WholePage)
        setZoom(std::min((area.width() - 8) / page.width(), (area.height() - 8) / page.height()), fit_);
    else if (fit_ == Fit::PageWidth)
        setZoom((ui->scrollArea->width() - frame - ui->scrollArea->verticalScrollBar()->sizeHint().width() - 8) / page.width(), fit_);
}

void PreviewDialog::onWholePage()
{
    fit_ = Fit::WholePage;
    applyFit();
}

void PreviewDialog::onPageWidth()
{
    fit_ = Fit::PageWidth;
    applyFit();
}

void PreviewDialog::onZoomIn()
{
    setZoom(zoom_ * kZoomStep, Fit::None);
}

void PreviewDialog::onZoomOut()
{
    setZoom(zoom_ / kZoomStep, Fit::None);
}

void PreviewDialog::updateTexts()
{
    const int count = job_.readyPages();
    ui->pageLabel->setText(job_.finished() ? QStringLiteral("Страница %1 из %2").arg(page_ + 1).arg(count)
                                           : QStringLiteral("Страница %1 из %2…").arg(page_ + 1).arg(count));
    ui->pageLabel->setToolTip(job_.finished() ? QString() : QStringLiteral("Остальные страницы еще готовятся"));
    const double actualSize = logicalDpiX() / 25.4;
    ui->zoomLabel->setText(QStringLiteral("%1%").arg(std::lround(100 * zoom_ / actualSize)));
    ui->firstButton->setEnabled(page_ > 0);
    ui->priorButton->setEnabled(page_ > 0);
    const bool more = page_ + 1 < count || !job_.finished();
    ui->nextButton->setEnabled(more);
    ui->lastButton->setEnabled(more);
    ui->zoomInButton->setEnabled(zoom_ < kMaxZoom);
    ui->zoomOutButton->setEnabled(zoom_ > kMinZoom);
}

// A progress window with a cancel button for long documents; short ones only get the
// hourglass.
Progress PreviewDialog::progress(const QString& text, bool* cancelled)
{
    auto dialog = std::make_shared<std::unique_ptr<QProgressDialog>>();
    auto wait = std::make_shared<std::unique_ptr<WaitCursor>>(std::make_unique<WaitCursor>());
    return [this, text, cancelled, dialog, wait](int page, int count) {
        if (count < kProgressPages)
            return true;
        if (!*dialog) {
            *dialog = std::make_unique<QProgressDialog>(text, QStringLiteral("Прервать"), 0, count, this);
            (*dialog)->setWindowTitle(windowTitle());
            (*dialog)->setWindowModality(Qt::WindowModal);
            (*dialog)->setMinimumDuration(300);
        }
        (*dialog)->setValue(page);
        if ((*dialog)->wasCanceled()) {
            *cancelled = true;
            return false;
        }
        return true;
    };
}

void PreviewDialog::onPrint()
{
    finishLayout();
    const Document& doc = job_.document();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(doc.pageLayout());
    printer.setDocName(windowTitle());
    if (!ReportDialogs::choosePrinter(printer, this, doc.pageCount()))
        return;
    bool cancelled = false;
    if (!print(doc, printer, progress(QStringLiteral("Печать…"), &cancelled)) && !cancelled)
        Messages::error(QStringLiteral("Не удалось напечатать отчет на принтере «%1».").arg(printer.printerName()),
                        QStringLiteral("Печать"));
}

void PreviewDialog::onSavePdf()
{
    finishLayout();
    const QString suggested = QDir(documentsFolder()).filePath(fileNameFrom(defaultPdfName_));
    QString path = ReportDialogs::saveFileName(this, QStringLiteral("Сохранить отчет в PDF"), suggested,
                                               QStringLiteral("Файлы PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QLatin1String(".pdf");
    bool cancelled = false;
    if (!writePdf(job_.document(), path, progress(QStringLiteral("Сохранение в PDF…"), &cancelled)) && !cancelled)
        Messages::error(QStringLiteral("Не удалось записать файл «%1».\nПроверьте, что папка доступна для записи и файл не открыт в другой программе.")
                            .arg(QDir::toNativeSeparators(path)),
                        QStringLiteral("Сохранение в PDF"));
}

}
