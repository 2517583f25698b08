#pragma once
// The about box: program name and version, scrolling credits, memory figures.

#include <QDialog>

#include <cstdint>

class QFrame;
class QLabel;
class QPushButton;

namespace tv {

class TBanner;

class TAboutBoxForm : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBoxForm(QWidget* parent = nullptr);

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Comments = nullptr;
    QFrame* Bevel1 = nullptr;
    TBanner* Banner1 = nullptr;
    QFrame* bvlSeperator = nullptr;
    QLabel* lblPhysMem = nullptr;
    QLabel* PhysMem = nullptr;
    QLabel* lblFreeRes = nullptr;
    QLabel* FreeRes = nullptr;
    QPushButton* BitBtn1 = nullptr;

    // The thirty lines of credits the banner scrolls.
    static QStringList creditLines();
    // "#,### KB" of a byte count: kilobytes rounded to whole numbers, the locale's separator.
    static QString formatPhysMem(uint64_t totalBytes);
    // "37 %".
    static QString formatLoad(int load);

private:
    void FormCreate();
};

// Opens the about box modally (hourglass while it is built) and frees it afterwards.
void showAboutBox(QWidget* parent);

} // namespace tv
