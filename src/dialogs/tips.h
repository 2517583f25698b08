#pragma once
// Tip of the day: TTips holds the tips and the window's texts and runs the window TTipForm.

#include <QDialog>
#include <QObject>
#include <QStringList>

#include <cstdint>
#include <random>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

namespace tv {

class TTipForm;

class TTips : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE setTitle)
    Q_PROPERTY(QString Header READ Header WRITE setHeader)
    Q_PROPERTY(QString TipHelp READ TipHelp WRITE setTipHelp)
    Q_PROPERTY(bool ShowAtStart READ ShowAtStart WRITE setShowAtStart)

public:
    explicit TTips(QObject* owner = nullptr);

    QString Title() const { return title_; }
    void setTitle(const QString& v) { title_ = v; }
    QString Header() const { return header_; }
    void setHeader(const QString& v) { header_ = v; }
    QString TipHelp() const { return tipHelp_; }
    void setTipHelp(const QString& v) { tipHelp_ = v; }
    bool ShowAtStart() const { return showAtStart_; }
    void setShowAtStart(bool v) { showAtStart_ = v; }

    const QStringList& Tips() const { return tips_; }
    // Copies the lines; the caller keeps its own list.
    void setTips(const QStringList& lines);
    // The line count, range-checked into 16 bits (throws std::range_error past 65,535).
    uint16_t TipsCount() const;

    // Shows the tip window modally. True when it was closed with the Close button.
    bool Execute(QWidget* parent = nullptr);

    // While Execute runs: the window on show (tests reach it through this).
    TTipForm* form() const { return form_; }

private:
    QString title_;
    QString header_;
    QString tipHelp_;
    bool showAtStart_ = false;
    QStringList tips_;
    TTipForm* form_ = nullptr;
};

class TTipForm : public QDialog {
    Q_OBJECT

public:
    explicit TTipForm(QWidget* parent = nullptr);

    QLabel* TipHeader = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* TipHelp = nullptr;
    QLabel* TipText = nullptr;
    QCheckBox* ShowAtStart = nullptr;
    QPushButton* Ok = nullptr;
    QFrame* Bevel1 = nullptr;
    QPushButton* Next = nullptr;

    void setTipLines(const QStringList& lines) { lines_ = lines; }
    const QStringList& tipLines() const { return lines_; }
    uint16_t currentIndex() const { return current_; }

    void NextClick();

    // The message shown instead of a tip when the list is empty.
    static QString noTipText();
    // The stored 36 x 36 picture of the window.
    static QPixmap tipPicture();

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void FormShow();
    void showDrawn();

    QStringList lines_;
    uint16_t current_ = 0;
    std::mt19937 rng_;
};

} // namespace tv
