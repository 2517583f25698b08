#include "tips.h"

#include "dialogs/dialoglook.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include "platform/msg.h"
#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTime>

#include <algorithm>
#include <stdexcept>

namespace tv {

TTips::TTips(QObject* owner) : QObject(owner) {}

void TTips::setTips(const QStringList& lines)
{
    if (&lines == &tips_)
        return;
    tips_ = lines;
}

uint16_t TTips::TipsCount() const
{
    if (tips_.size() > 0xFFFF)
        throw std::range_error("Range check error");
    return uint16_t(tips_.size());
}

bool TTips::Execute(QWidget* parent)
{
    if (tips_.size() > 0xFFFF) {
        msg::notify(msg::Icon::Critical, QCoreApplication::applicationName(), QStringLiteral("Range check error"), parent);
        return false;
    }
    TTipForm form(parent);
    form_ = &form;
    form.setWindowTitle(title_);
    form.TipHeader->setText(header_);
    form.TipHelp->setText(tipHelp_);
    form.ShowAtStart->setChecked(showAtStart_);
    form.TipText->clear();
    form.setTipLines(tips_);
    const int result = form.exec();
    showAtStart_ = form.ShowAtStart->isChecked();
    form_ = nullptr;
    return result == QDialog::Accepted;
}

TTipForm::TTipForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TipForm"));
    setFixedDialogLook(this, QSize(443, 251));

    TipHeader = new QLabel(this);
    TipHeader->setObjectName(QStringLiteral("TipHeader"));
    TipHeader->setGeometry(12, 8, 321, 28);
    QFont hf(QStringLiteral("Times New Roman"));
    hf.setPixelSize(24);
    hf.setBold(true);
    hf.setItalic(true);
    TipHeader->setFont(hf);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(12, 44, 321, 161);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setAutoFillBackground(true);
    QPalette pp = Panel1->palette();
    pp.setColor(QPalette::Window, QColor(255, 255, 222));
    Panel1->setPalette(pp);
    Panel1->setFocusPolicy(Qt::TabFocus);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(16, 20, 36, 36);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(tipPicture());

    TipHelp = new QLabel(Panel1);
    TipHelp->setObjectName(QStringLiteral("TipHelp"));
    TipHelp->setGeometry(68, 5, 237, 29);
    TipHelp->setWordWrap(true);
    TipHelp->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont bf = sansSerif8();
    bf.setBold(true);
    TipHelp->setFont(bf);

    TipText = new QLabel(Panel1);
    TipText->setObjectName(QStringLiteral("TipText"));
    TipText->setGeometry(68, 35, 237, 114);
    TipText->setWordWrap(true);
    TipText->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    ShowAtStart = new QCheckBox(QStringLiteral("Show this dialog box next time"), this);
    ShowAtStart->setObjectName(QStringLiteral("ShowAtStart"));
    // Our substitute font runs a little wider than the design's: never cut the caption.
    ShowAtStart->setGeometry(12, 220, std::max(161, ShowAtStart->sizeHint().width()), 17);
    ShowAtStart->setChecked(true);

    Ok = new QPushButton(QStringLiteral("Close"), this);
    Ok->setObjectName(QStringLiteral("Ok"));
    Ok->setGeometry(344, 44, 89, 26);
    Ok->setDefault(true);
    connect(Ok, &QPushButton::clicked, this, &QDialog::accept);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(344, 76, 89, 9);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    Next = new QPushButton(QStringLiteral("&Next tip"), this);
    Next->setObjectName(QStringLiteral("Next"));
    Next->setGeometry(344, 100, 89, 26);
    Next->setAutoDefault(false);
    connect(Next, &QPushButton::clicked, this, &TTipForm::NextClick);

    setTabOrder(Panel1, ShowAtStart);
    setTabOrder(ShowAtStart, Ok);
    setTabOrder(Ok, Next);
    Ok->setFocus();
}

QString TTipForm::noTipText()
{
    return QStringLiteral("There is no tip... I\u00B4m not in the mood.");
}

QPixmap TTipForm::tipPicture()
{
    // A small light bulb on the pale panel colour.
    QPixmap pm(36, 36);
    pm.fill(QColor(255, 255, 222));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(96, 80, 0), 1.2));
    QRadialGradient g(QPointF(15, 12), 14);
    g.setColorAt(0, QColor(255, 255, 200));
    g.setColorAt(1, QColor(250, 210, 40));
    p.setBrush(g);
    QPainterPath bulb;
    bulb.addEllipse(QRectF(8, 3, 20, 20));
    p.drawPath(bulb);
    p.setBrush(QColor(160, 160, 160));
    p.drawRect(QRectF(13, 22, 10, 3));
    p.drawRect(QRectF(13.5, 25, 9, 3));
    p.setBrush(QColor(110, 110, 110));
    p.drawRect(QRectF(15, 28, 6, 3));
    p.setPen(QPen(QColor(200, 140, 0), 1));
    p.drawLine(QPointF(15, 21), QPointF(16.5, 12));
    p.drawLine(QPointF(21, 21), QPointF(19.5, 12));
    p.drawLine(QPointF(16.5, 12), QPointF(19.5, 12));
    return pm;
}

void TTipForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormShow();
}

void TTipForm::FormShow()
{
    if (lines_.isEmpty())
        lines_.append(noTipText());
    if (lines_.size() > 0xFFFF)
        lines_ = lines_.mid(0, 0xFFFF);
    Next->setEnabled(lines_.size() != 1);
    // Reseeded from the clock of the day, so every opening draws afresh.
    rng_.seed(uint32_t(QTime::currentTime().msecsSinceStartOfDay()));
    showDrawn();
}

void TTipForm::NextClick()
{
    showDrawn();
}

void TTipForm::showDrawn()
{
    std::uniform_int_distribution<int> pick(0, int(lines_.size()) - 1);
    current_ = uint16_t(pick(rng_));
    TipText->setText(lines_.at(current_));
}

void TTipForm::keyPressEvent(QKeyEvent* e)
{
    // No button is the cancel button: Esc does nothing here.
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

} // namespace tv
