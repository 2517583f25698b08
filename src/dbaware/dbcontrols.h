#pragma once
// Controls bound to one field of a data source: they show the current record's field and
// follow every move and change; typing into one bound to a writable table starts an edit
// and writes the text into the record. Bound to a read-only table they refuse typing.

#include "dbaware/fieldlink.h"

#include <QComboBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QValidator>

class QAction;

namespace tv {

// The width of one character of a box or column n characters wide: the widest digit, or the
// mean capital when that is wider (names and codes in capitals).
int columnCharWidth(const QFontMetrics& fm);

// What every bound control offers: its data source, its field and its link.
template <class Widget>
class BoundControl : public Widget {
public:
    explicit BoundControl(QWidget* parent) : Widget(parent), link_(new FieldLink(this)) {}

    void setDataSource(DataSource* source) { link_->setDataSource(source); }
    DataSource* dataSource() const { return link_->dataSource(); }
    void setDataField(const QString& name) { link_->setDataField(name); }
    QString dataField() const { return link_->dataField(); }
    FieldLink* link() const { return link_; }
    // Read-only by choice; a control is also read-only whenever its field cannot be modified.
    void setReadOnly(bool readOnly)
    {
        readOnly_ = readOnly;
        updateModifiable();
    }
    bool readOnlyByChoice() const { return readOnly_; }

protected:
    // Makes the control read-only, or not, by choice and by what its field allows now (a
    // control that only shows its field has nothing to change).
    virtual void updateModifiable() {}

    FieldLink* link_;
    bool readOnly_ = false;
};

// Accepts text that fits a picture mask or can still be completed to fit it.
class PictureValidator : public QValidator {
    Q_OBJECT
public:
    explicit PictureValidator(const PictureMask& mask, QObject* parent = nullptr);
    State validate(QString& input, int& pos) const override;
    const PictureMask& mask() const { return mask_; }

private:
    PictureMask mask_;
};

// A one-line edit box on a field. A field with a picture mask only takes text that fits it;
// with literal fill-in the literal characters are added while typing at the end.
class DBEdit : public BoundControl<QLineEdit> {
    Q_OBJECT
public:
    explicit DBEdit(QWidget* parent = nullptr);

    // Writes text into the bound field (starting an edit when needed), as a dialog of the box
    // does; throws EngineError when the table refuses it. A box bound to no field takes the
    // text itself.
    void setFieldText(const QString& text);

    // The box's width that shows `chars` characters (as a grid column of that many does)
    // beside its frame, margins and button.
    int widthToShow(int chars) const;
    // Widens the box, when needed, to show its field's declared width, but not past `limit`.
    void fitDeclaredWidth(int limit);

protected:
    virtual void showField();
    // A box that gets the focus with all its text selected (Tab, or the focused control going)
    // keeps showing the text's start.
    void focusInEvent(QFocusEvent* event) override;

private:
    void updateModifiable() override;
    void onTextEdited(const QString& text);

    static constexpr int kDefaultMaxLength = 32767;   // QLineEdit's own default
    QString shownPicture_;
    QString lastText_;   // the text before the user's latest change
    int autoMaxLength_ = -1;   // the length taken from the field, while no other was chosen
};

// A bound edit box with a button at its right end ("..."). Pressing the button puts a
// writable table into editing (or inserting when empty) and then emits customDlg.
class DBComboDlg : public DBEdit {
    Q_OBJECT
public:
    explicit DBComboDlg(QWidget* parent = nullptr);
    QAction* buttonAction() const { return button_; }
    // What a click on the button does.
    void clickButton();

signals:
    void customDlg(tv::DBComboDlg* box);

private:
    QAction* button_;
};

// A memo pane on a memo (or text) field: word-wrapped, vertical scroll bar, read-only unless
// the table is writable. Reports entering and leaving the keyboard focus.
class DBMemo : public BoundControl<QPlainTextEdit> {
    Q_OBJECT
public:
    explicit DBMemo(QWidget* parent = nullptr);

signals:
    void entered();
    void exited();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showField();
    void updateModifiable() override;
    void onTextChanged();

    bool loading_ = false;
};

// An editable drop-down box on a field: free text or one of its items.
class DBComboBox : public BoundControl<QComboBox> {
    Q_OBJECT
public:
    explicit DBComboBox(QWidget* parent = nullptr);

    void setMaxLength(int length);

private:
    void showField();
    void updateModifiable() override;
    void userText(const QString& text);

    bool loading_ = false;
};

// A label showing a field's display text.
class DBText : public BoundControl<QLabel> {
    Q_OBJECT
public:
    explicit DBText(QWidget* parent = nullptr);

private:
};

// A picture on a graphic field, stretched to the control's size or drawn at its own size.
class DBImage : public BoundControl<QFrame> {
    Q_OBJECT
public:
    explicit DBImage(QWidget* parent = nullptr);
    void setStretch(bool stretch);
    bool stretch() const { return stretch_; }
    // The picture of the current record (null when there is none or it cannot be read).
    const QImage& image() const { return image_; }

    // Reads picture bytes as stored in a graphic field (a bitmap file, or a bitmap without
    // its file header, or any format Qt reads).
    static QImage decode(const std::string& bytes);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showField();

    QImage image_;
    bool stretch_ = false;
};

} // namespace tv
