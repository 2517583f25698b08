#include "dbcontrols.h"

#include "dbaware/engineguard.h"

#include <QAction>
#include <QFocusEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionFrame>

#include <cstring>

namespace tv {

// ---------------------------------------------------------------------------------------
// PictureValidator

PictureValidator::PictureValidator(const PictureMask& mask, QObject* parent) : QValidator(parent), mask_(mask) {}

QValidator::State PictureValidator::validate(QString& input, int&) const
{
    if (input.isEmpty() || mask_.empty())
        return Acceptable;
    const std::string text = input.toStdString();
    if (mask_.matches(text))
        return Acceptable;
    return mask_.isPrefix(text) ? Intermediate : Invalid;
}

int columnCharWidth(const QFontMetrics& fm)
{
    int digit = 0, capitals = 0;
    for (char ch = '0'; ch <= '9'; ++ch)
        digit = std::max(digit, fm.horizontalAdvance(QLatin1Char(ch)));
    for (char ch = 'A'; ch <= 'Z'; ++ch)
        capitals += fm.horizontalAdvance(QLatin1Char(ch));
    return std::max(digit, (capitals + 25) / 26);
}

// ---------------------------------------------------------------------------------------
// DBEdit

DBEdit::DBEdit(QWidget* parent) : BoundControl(parent)
{
    link_->onRefresh = [this] { showField(); };
    link_->onModifiableChanged = [this] { updateModifiable(); };
    connect(this, &QLineEdit::textEdited, this, &DBEdit::onTextEdited);
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (link_->hasPending())
            link_->write(text());
    });
    updateModifiable();
}

void DBEdit::updateModifiable()
{
    QLineEdit::setReadOnly(readOnly_ || !link_->canModify());
    const Table* t = link_->table();
    const int f = link_->field();
    // A text field takes no more than its size, unless a length was chosen for the box.
    if (t && f >= 0 && kindOf(t->field(f).type) == FieldKind::Text && t->field(f).size > 0
        && (maxLength() == kDefaultMaxLength || maxLength() == autoMaxLength_)) {
        autoMaxLength_ = t->field(f).size;
        setMaxLength(autoMaxLength_);
    }
    // The field's picture decides what may be typed.
    const PictureMask* mask = t && f >= 0 && !t->picture(f).empty() ? &t->picture(f) : nullptr;
    const QString pic = mask ? QString::fromStdString(mask->mask()) : QString();
    if (pic != shownPicture_) {
        shownPicture_ = pic;
        delete validator();
        setValidator(mask ? new PictureValidator(*mask, this) : nullptr);
    }
    showField();
}

void DBEdit::setFieldText(const QString& text)
{
    const int f = link_->field();
    if (f < 0) {
        if (dataField().isEmpty() || !dataSource()) {
            setText(text);
            return;
        }
        throw EngineError("Field '" + dataField().toStdString() + "' not found");
    }
    dataSource()->edit();
    link_->table()->setText(f, text.toStdString());
    link_->discardPending();
    showField();
}

void DBEdit::showField()
{
    const QString shown = link_->displayText();
    // A value put in from the record shows from its start, as it is read, not scrolled to
    // its end; the cursor of a box being typed into stays where the user has it.
    if (shown != text()) {
        setText(shown);
        setCursorPosition(0);
    } else if (!hasFocus()) {
        setCursorPosition(0);
    }
    lastText_ = shown;
}

int DBEdit::widthToShow(int chars) const
{
    QStyleOptionFrame opt;
    initStyleOption(&opt);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &opt, this);
    // Inside the contents: the text margins, the box's own 2 pixels a side, the cursor and the
    // glyphs' overhang as the line edit counts them, and the room it keeps for each button
    // (the date box's) at an end.
    const QFontMetrics fm = fontMetrics();
    const int overhangLeft = std::max(0, -fm.minLeftBearing()), overhangRight = std::max(0, -fm.minRightBearing());
    int room = contents.width() - textMargins().left() - textMargins().right() - 2 * 2 - 1 - overhangLeft
        - overhangRight;
    const int icon = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    for (const QAction* a : actions())
        if (a->isVisible() && a->associatedObjects().size() > 0)
            room -= icon / 4 + icon + 6;
    return width() - room + chars * columnCharWidth(fm);
}

void DBEdit::fitDeclaredWidth(int limit)
{
    const Table* t = link_->table();
    const int f = link_->field();
    if (!t || f < 0)
        return;
    // No more than the field holds.
    const int wanted = std::min(widthToShow(std::min(t->displayWidth(f), maxLength())), limit);
    if (wanted > width())
        resize(wanted, height());
}

void DBEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    const QString all = text();
    if (!all.isEmpty() && selectedText() == all && cursorPosition() == all.size())
        setSelection(int(all.size()), -int(all.size()));   // the same selection, the cursor at 0
}

void DBEdit::onTextEdited(const QString& typed)
{
    if (isReadOnly())
        return;
    QString text = typed;
    const bool grew = text.size() > lastText_.size();
    if (!link_->startEdit()) {
        showField();
        return;
    }
    lastText_ = text;
    // Literal characters of the picture are filled in while typing at the end (not while
    // deleting, so that a filled-in literal can be taken back).
    const Table* t = link_->table();
    const int f = link_->field();
    if (grew && t && f >= 0 && t->display(f).autoFillLiterals && cursorPosition() == text.size()) {
        const QString filled = QString::fromStdString(t->picture(f).fillLiterals(text.toStdString()));
        if (filled != text && filled.startsWith(text)) {
            text = filled;
            lastText_ = text;
            setText(text);
            setCursorPosition(int(text.size()));
        }
    }
    link_->write(text);
}

// ---------------------------------------------------------------------------------------
// DBComboDlg

namespace {

QIcon ellipsisIcon()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    for (int i = 0; i < 3; ++i)
        p.drawRect(3 + i * 4, 11, 2, 2);
    return QIcon(pm);
}

} // namespace

DBComboDlg::DBComboDlg(QWidget* parent) : DBEdit(parent)
{
    button_ = addAction(ellipsisIcon(), QLineEdit::TrailingPosition);
    button_->setObjectName(QStringLiteral("button"));
    connect(button_, &QAction::triggered, this, &DBComboDlg::clickButton);
}

void DBComboDlg::clickButton()
{
    if (!readOnlyByChoice() && link()->canModify() && !link()->startEdit())
        return;
    emit customDlg(this);
}

// ---------------------------------------------------------------------------------------
// DBMemo

DBMemo::DBMemo(QWidget* parent) : BoundControl(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    link_->onRefresh = [this] { showField(); };
    link_->onModifiableChanged = [this] { updateModifiable(); };
    connect(this, &QPlainTextEdit::textChanged, this, &DBMemo::onTextChanged);
    updateModifiable();
}

void DBMemo::updateModifiable()
{
    QPlainTextEdit::setReadOnly(readOnly_ || !link_->canModify());
    showField();
}

void DBMemo::showField()
{
    const QString shown = link_->displayText();
    if (shown == toPlainText())
        return;
    loading_ = true;
    setPlainText(shown);
    loading_ = false;
}

void DBMemo::onTextChanged()
{
    if (loading_ || isReadOnly())
        return;
    const QString text = toPlainText();
    if (!link_->startEdit()) {
        showField();
        return;
    }
    link_->write(text);
}

// A menu, or the menu bar taking the keyboard (Alt, arrows), holds the focus only while the
// user picks a command, often one meant for this pane: that is not leaving it.
static bool menuFocus(const QFocusEvent* event)
{
    return event->reason() == Qt::PopupFocusReason || event->reason() == Qt::MenuBarFocusReason;
}

void DBMemo::focusInEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusInEvent(event);
    if (!menuFocus(event))
        emit entered();
}

void DBMemo::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    if (!menuFocus(event))
        emit exited();
}

// ---------------------------------------------------------------------------------------
// DBComboBox

DBComboBox::DBComboBox(QWidget* parent) : BoundControl(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setDuplicatesEnabled(true);
    link_->onRefresh = [this] { showField(); };
    link_->onModifiableChanged = [this] { updateModifiable(); };
    connect(lineEdit(), &QLineEdit::textEdited, this, &DBComboBox::userText);
    connect(this, &QComboBox::activated, this, [this](int index) { userText(itemText(index)); });
    // Adding the first item makes it current, and shows it in place of the record's value.
    connect(model(), &QAbstractItemModel::rowsInserted, this, &DBComboBox::showField);
    updateModifiable();
}

void DBComboBox::setMaxLength(int length) { lineEdit()->setMaxLength(length); }

void DBComboBox::updateModifiable()
{
    lineEdit()->setReadOnly(readOnly_ || !link_->canModify());
    showField();
}

void DBComboBox::showField()
{
    const QString shown = link_->displayText();
    if (shown == currentText())
        return;
    loading_ = true;
    setEditText(shown);
    lineEdit()->setCursorPosition(0);
    loading_ = false;
}

void DBComboBox::userText(const QString& text)
{
    if (loading_)
        return;
    if (lineEdit()->isReadOnly() || !link_->startEdit()) {
        showField();
        return;
    }
    link_->write(text);
    if (currentText() != text) {
        loading_ = true;
        setEditText(text);
        loading_ = false;
    }
}

// ---------------------------------------------------------------------------------------
// DBText

DBText::DBText(QWidget* parent) : BoundControl(parent)
{
    link_->onRefresh = [this] { setText(link_->displayText()); };
}

// ---------------------------------------------------------------------------------------
// DBImage

DBImage::DBImage(QWidget* parent) : BoundControl(parent)
{
    link_->onRefresh = [this] { showField(); };
}

void DBImage::setStretch(bool stretch)
{
    if (stretch_ == stretch)
        return;
    stretch_ = stretch;
    update();
}

QImage DBImage::decode(const std::string& bytes)
{
    QImage img = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), int(bytes.size()));
    if (!img.isNull() || bytes.size() < 40)
        return img;
    // A device-independent bitmap without its file header: put one in front.
    uint32_t headerSize = 0;
    std::memcpy(&headerSize, bytes.data(), 4);
    if (headerSize != 12 && headerSize != 40 && headerSize != 108 && headerSize != 124)
        return img;
    const uint32_t fileSize = uint32_t(14 + bytes.size());
    uint32_t offset = 14 + headerSize;
    if (headerSize >= 40) {
        uint16_t bits = 0;
        uint32_t used = 0;
        std::memcpy(&bits, bytes.data() + 14, 2);
        std::memcpy(&used, bytes.data() + 32, 4);
        const uint32_t colours = used ? used : (bits <= 8 ? (1u << bits) : 0);
        offset += colours * 4;
    }
    std::string file = "BM";
    auto put32 = [&file](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file.push_back(char((v >> (8 * i)) & 0xff));
    };
    put32(fileSize);
    put32(0);
    put32(offset);
    file += bytes;
    return QImage::fromData(reinterpret_cast<const uchar*>(file.data()), int(file.size()));
}

void DBImage::showField()
{
    const Value v = link_->value();
    if (const auto* blob = std::get_if<Blob>(&v))
        image_ = decode(blob->bytes);
    else
        image_ = QImage();
    update();
}

void DBImage::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (image_.isNull()) {
        if (link_->damaged()) {
            QPainter p(this);
            p.setPen(Qt::red);
            p.drawText(contentsRect(), Qt::AlignCenter, damagedMarker());
        }
        return;
    }
    QPainter p(this);
    const QRect area = contentsRect();
    if (stretch_)
        p.drawImage(area, image_);
    else
        p.drawImage(area.topLeft(), image_);
}

} // namespace tv
