#include "previewwindow.h"

#include "generator.h"
#include "render.h"
#include "reportrun.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace tv::report {

// Draws one page of the document at the window's zoom, on a grey desk.
class PageView : public QWidget {
public:
    static constexpr int kDesk = 12;

    explicit PageView(const Document& doc) : doc_(doc)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void show(int page, qreal zoom)
    {
        if (page == page_ && shown_ && zoom == zoom_)
            return;
        if (page != page_ || !shown_) {
            shown_.reset();
            if (page >= 1 && page <= doc_.pageCount())
                shown_ = std::make_unique<Page>(doc_.pages[size_t(page - 1)]);
        }
        page_ = page;
        zoom_ = zoom;
        const QSize paper = paperSize();
        setFixedSize(paper.width() + 2 * kDesk, paper.height() + 2 * kDesk);
        update();
    }

    QSize paperSize() const
    {
        return QSize(int(std::lround(doc_.pageSize.width() * zoom_)), int(std::lround(doc_.pageSize.height() * zoom_)));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Dark));
        const QRect paper(QPoint(kDesk, kDesk), paperSize());
        p.fillRect(paper.translated(3, 3), Qt::black);
        p.fillRect(paper, Qt::white);
        if (!shown_)
            return;
        p.setClipRect(paper);
        p.translate(paper.topLeft());
        p.scale(zoom_, zoom_);
        renderPage(p, *shown_);
    }

private:
    const Document& doc_;
    std::unique_ptr<Page> shown_;  // the page on view, made once when it is turned to
    int page_ = 1;
    qreal zoom_ = 1.0;
};

namespace {
const int kPercents[] = {25, 50, 75, 100, 150, 200, 300};
}

PreviewWindow::PreviewWindow(std::unique_ptr<Generation> generation, QWidget* owner)
    : PreviewWindow(generation->document(), owner)
{
    if (generation->finished())
        return;
    generation_ = std::move(generation);
    showStop(true);
    QTimer::singleShot(0, this, &PreviewWindow::layOutSlice);
    updateView();
}

PreviewWindow::~PreviewWindow() = default;

PreviewWindow::PreviewWindow(Document doc, QWidget* owner)
    : QMainWindow(owner, Qt::Window), doc_(std::move(doc))
{
    setObjectName(QStringLiteral("ReportPreview"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(doc_.title);

    QToolBar* bar = bar_ = addToolBar(QStringLiteral("Preview"));
    bar->setObjectName(QStringLiteral("PreviewToolBar"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto add = [&](const char* name, const QString& text, const QIcon& icon, const QKeySequence& key, auto slot) {
        QAction* a = bar->addAction(icon, text, this, slot);
        a->setObjectName(QLatin1String(name));
        a->setToolTip(text);
        if (!key.isEmpty())
            a->setShortcut(key);
        return a;
    };
    // The icons are made once for all previews: the pixmaps drawn from an icon are cached
    // under that icon's identity, so fresh icons for every window would pile up new cache
    // entries with every preview opened.
    auto std = [&](QStyle::StandardPixmap p) {
        static QHash<int, QIcon> icons;
        auto it = icons.find(int(p));
        if (it == icons.end())
            it = icons.insert(int(p), style()->standardIcon(p));
        return *it;
    };
    first_ = add("actFirstPage", QStringLiteral("First page"), std(QStyle::SP_MediaSkipBackward), QKeySequence(Qt::CTRL | Qt::Key_Home), &PreviewWindow::firstPage);
    prior_ = add("actPriorPage", QStringLiteral("Prior page"), std(QStyle::SP_MediaSeekBackward), QKeySequence(Qt::Key_PageUp), &PreviewWindow::priorPage);
    pageLabel_ = new QLabel(this);
    pageLabel_->setObjectName(QStringLiteral("lblPage"));
    // Wide enough for the longest text it shows, so that the toolbar keeps its width.
    pageLabel_->setMinimumWidth(pageLabel_->fontMetrics().horizontalAdvance(QStringLiteral("Page 0000000 of 0000000 (preparing...)")));
    pageLabel_->setAlignment(Qt::AlignCenter);
    bar->addWidget(pageLabel_);
    next_ = add("actNextPage", QStringLiteral("Next page"), std(QStyle::SP_MediaSeekForward), QKeySequence(Qt::Key_PageDown), &PreviewWindow::nextPage);
    last_ = add("actLastPage", QStringLiteral("Last page"), std(QStyle::SP_MediaSkipForward), QKeySequence(Qt::CTRL | Qt::Key_End), &PreviewWindow::lastPage);
    bar->addSeparator();
    zoomBox_ = new QComboBox(this);
    zoomBox_->setObjectName(QStringLiteral("cbZoom"));
    zoomBox_->addItem(QStringLiteral("Whole page"));
    zoomBox_->addItem(QStringLiteral("Page width"));
    for (int pct : kPercents)
        zoomBox_->addItem(QStringLiteral("%1%").arg(pct), pct);
    zoomBox_->setCurrentIndex(1);
    connect(zoomBox_, &QComboBox::activated, this, &PreviewWindow::zoomChosen);
    bar->addWidget(zoomBox_);
    bar->addSeparator();
    add("actPrint", QStringLiteral("Print"), QIcon::fromTheme(QStringLiteral("document-print")), QKeySequence::Print, &PreviewWindow::print);
    add("actPrintSetup", QStringLiteral("Printer setup"), QIcon::fromTheme(QStringLiteral("document-print-preview")), QKeySequence(), &PreviewWindow::printSetup);
    bar->addSeparator();
    stop_ = add("actStopLayout", QStringLiteral("Stop"), std(QStyle::SP_BrowserStop), QKeySequence(), &PreviewWindow::stopLayout);
    stop_->setToolTip(QStringLiteral("Stop preparing pages"));
    showStop(false);
    add("actClose", QStringLiteral("Close"), std(QStyle::SP_DialogCloseButton), QKeySequence(Qt::Key_Escape), &QWidget::close);

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("PreviewScroll"));
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setBackgroundRole(QPalette::Dark);
    view_ = new PageView(doc_);
    scroll_->setWidget(view_);
    scroll_->viewport()->installEventFilter(this);
    setCentralWidget(scroll_);
    resize(900, 700);
    updateView();
    fitToolBar();
}

void PreviewWindow::fitToolBar()
{
    // Texts beside the icons as far as the window has room for them: first the page buttons
    // lose theirs, then all buttons. Close must never end up behind the toolbar's overflow
    // button, where the user would not find it.
    const QList<QAction*> paging{first_, prior_, next_, last_};
    for (int level = 0; level < 3; ++level) {
        for (QAction* a : bar_->actions())
            if (auto* b = qobject_cast<QToolButton*>(bar_->widgetForAction(a)))
                b->setToolButtonStyle(level == 2 || (level == 1 && paging.contains(a)) ? Qt::ToolButtonIconOnly
                                                                                        : Qt::ToolButtonTextBesideIcon);
        bar_->layout()->invalidate();
        if (bar_->sizeHint().width() <= width())
            return;
    }
}

void PreviewWindow::showStop(bool shown)
{
    stop_->setVisible(shown);
    fitToolBar();
}

void PreviewWindow::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    fitToolBar();
}

qreal PreviewWindow::zoom() const
{
    const QSizeF page = doc_.pageSize;
    const QSize room = scroll_->viewport()->size() - QSize(2 * PageView::kDesk, 2 * PageView::kDesk);
    const qreal fitWidth = std::max<qreal>(0.1, room.width() / page.width());
    switch (zoomMode_) {
    case WholePage:
        return std::max<qreal>(0.1, std::min(fitWidth, room.height() / page.height()));
    case PageWidth:
        return fitWidth;
    case Percent:
        break;
    }
    return percent_ / 100.0;
}

void PreviewWindow::firstPage() { showPage(1); }
void PreviewWindow::priorPage() { showPage(page_ - 1); }
void PreviewWindow::nextPage() { showPage(page_ + 1); }
void PreviewWindow::lastPage() { showPage(pageCount()); }

void PreviewWindow::showPage(int page)
{
    page_ = std::clamp(page, 1, std::max(1, pageCount()));
    updateView();
    scroll_->verticalScrollBar()->setValue(0);
}

void PreviewWindow::setZoomPercent(int percent)
{
    zoomMode_ = Percent;
    percent_ = std::clamp(percent, 10, 800);
    const int idx = zoomBox_->findData(percent_);
    zoomBox_->setCurrentIndex(idx);
    if (idx < 0)
        zoomBox_->setEditText(QStringLiteral("%1%").arg(percent_));
    updateView();
}

void PreviewWindow::setZoomMode(ZoomMode mode)
{
    if (mode == Percent) {
        setZoomPercent(percent_);
        return;
    }
    zoomMode_ = mode;
    zoomBox_->setCurrentIndex(mode == WholePage ? 0 : 1);
    updateView();
}

void PreviewWindow::zoomChosen(int index)
{
    if (index == 0)
        setZoomMode(WholePage);
    else if (index == 1)
        setZoomMode(PageWidth);
    else
        setZoomPercent(zoomBox_->itemData(index).toInt());
}

void PreviewWindow::print()
{
    // Printing needs every page, stopped or not: the rest are laid out first, while a progress
    // window shows at once. Cancelled there, the preview keeps the pages it has, stopped, and
    // the next Print carries on from there.
    if (generation_) {
        std::unique_ptr<Generation> g = std::move(generation_);
        showStop(false);
        const bool done = finishWithProgress(*g, this, 0);
        if (!done) {
            generation_ = std::move(g);
            stopped_ = true;
        } else {
            stopped_ = false;
        }
        updateView();
        if (!done)
            return;
    }
    printWithProgress(doc_, this);
}

void PreviewWindow::stopLayout()
{
    if (!generation_ || stopped_)
        return;
    // Only the laying out on view stops: what is left of it stays for a print.
    stopped_ = true;
    showStop(false);
    updateView();
}

void PreviewWindow::layOutSlice()
{
    if (!generation_ || stopped_)
        return;
    // A slice short enough that the window keeps answering the user.
    constexpr int kSliceMs = 40;
    QElapsedTimer clock;
    clock.start();
    bool more = true;
    while (more && clock.elapsed() < kSliceMs)
        more = generation_->step(16);
    if (!more) {
        generation_.reset();
        showStop(false);
    } else {
        QTimer::singleShot(0, this, &PreviewWindow::layOutSlice);
    }
    updateView();
}

void PreviewWindow::printSetup()
{
    tv::report::printSetup(this, QStringLiteral("PreviewPrintDialog"));
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* e)
{
    // The zoom of "Whole page" and "Page width" follows the room the page has.
    if (watched == scroll_->viewport() && e->type() == QEvent::Resize && zoomMode_ != Percent)
        updateView();
    return QMainWindow::eventFilter(watched, e);
}

void PreviewWindow::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Home:
        firstPage();
        return;
    case Qt::Key_End:
        lastPage();
        return;
    default:
        QMainWindow::keyPressEvent(e);
    }
}

void PreviewWindow::updateView()
{
    view_->show(page_, zoom());
    if (generation_ && !stopped_)
        pageLabel_->setText(QStringLiteral("Page %1 of %2 (preparing...)").arg(page_).arg(pageCount()));
    else if (stopped_ || doc_.cancelled())
        pageLabel_->setText(QStringLiteral("Page %1 of %2 (stopped)").arg(page_).arg(pageCount()));
    else
        pageLabel_->setText(QStringLiteral("Page %1 of %2").arg(page_).arg(pageCount()));
    first_->setEnabled(page_ > 1);
    prior_->setEnabled(page_ > 1);
    next_->setEnabled(page_ < pageCount());
    last_->setEnabled(page_ < pageCount());
}

} // namespace tv::report
