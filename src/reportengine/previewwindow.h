#pragma once
// The preview: a window of its own per run that holds the pages as they were generated, with
// page navigation, zoom, printer choice and printing. Given a layout still being laid out, it
// shows the first pages at once and lays out the rest in slices on the event loop, the page
// count filling in, until the last row or until the user stops it.

#include "document.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QScrollArea;
class QToolBar;

namespace tv::report {

class Generation;
class PageView;

class PreviewWindow : public QMainWindow {
    Q_OBJECT
public:
    enum ZoomMode { WholePage, PageWidth, Percent };

    explicit PreviewWindow(Document doc, QWidget* owner = nullptr);
    // Takes over a generation under way and carries it on.
    explicit PreviewWindow(std::unique_ptr<Generation> generation, QWidget* owner = nullptr);
    ~PreviewWindow() override;

    const Document& document() const { return doc_; }
    int currentPage() const { return page_; }  // 1-based
    int pageCount() const { return doc_.pageCount(); }  // laid out so far
    // Whether pages are still being laid out (not when stopped).
    bool layingOut() const { return generation_ && !stopped_; }
    qreal zoom() const;  // screen pixels per report pixel

public slots:
    void firstPage();
    void priorPage();
    void nextPage();
    void lastPage();
    void showPage(int page);
    void setZoomPercent(int percent);
    void setZoomMode(ZoomMode mode);
    void print();
    void printSetup();
    // Stops laying out: the pages so far are on view, and no more are laid out unless the
    // report is printed, which needs them all.
    void stopLayout();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void zoomChosen(int index);
    void updateView();
    void layOutSlice();
    void fitToolBar();
    void showStop(bool shown);

    Document doc_;
    std::unique_ptr<Generation> generation_;  // what is left to lay out
    bool stopped_ = false;                    // the user stopped laying out
    QAction* stop_ = nullptr;
    int page_ = 1;
    ZoomMode zoomMode_ = PageWidth;
    int percent_ = 100;
    QToolBar* bar_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    PageView* view_ = nullptr;
    QLabel* pageLabel_ = nullptr;
    QComboBox* zoomBox_ = nullptr;
    QAction* first_ = nullptr;
    QAction* prior_ = nullptr;
    QAction* next_ = nullptr;
    QAction* last_ = nullptr;
};

} // namespace tv::report
