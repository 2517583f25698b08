#pragma once
// The preview: a window of its own per run that holds the pages as they were generated, with
// page navigation, zoom, printer choice and printing.

#include "document.h"

#include <QMainWindow>

class QAction;
class QComboBox;
class QLabel;
class QScrollArea;

namespace tv::report {

class PageView;

class PreviewWindow : public QMainWindow {
    Q_OBJECT
public:
    enum ZoomMode { WholePage, PageWidth, Percent };

    explicit PreviewWindow(Document doc, QWidget* owner = nullptr);

    const Document& document() const { return doc_; }
    int currentPage() const { return page_; }  // 1-based
    int pageCount() const { return int(doc_.pages.size()); }
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

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void zoomChosen(int index);
    void updateView();

    Document doc_;
    int page_ = 1;
    ZoomMode zoomMode_ = PageWidth;
    int percent_ = 100;
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
