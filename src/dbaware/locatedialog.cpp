#include "dbaware/locatedialog.h"

#include "platform/msg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tv {

namespace {
const QString kNoMatch = QStringLiteral("No more matches found");
const QString kNotActive = QStringLiteral("DataSource does not refer to an active table!");
} // namespace

LocateDialog::LocateDialog(QObject* parent) : QObject(parent) {}

void LocateDialog::setDataSource(DataSource* source)
{
    source_ = source;
}

bool LocateDialog::checkActive(QWidget* parent) const
{
    if (source_ && source_->active())
        return true;
    msg::warning(kNotActive, parent);
    return false;
}

bool LocateDialog::execute(QWidget* parent, Button defaultButton)
{
    if (!checkActive(parent))
        return false;
    LocateDialogForm form(*this, *source_->table(), defaultButton, parent);
    form.exec();
    return form.found();
}

bool LocateDialog::locate(Button from)
{
    Table* t = source_ ? source_->table() : nullptr;
    if (!t || !t->isOpen() || fieldValue.isEmpty() || t->fieldIndex(fieldName.toStdString()) < 0)
        return false;
    const std::string field = fieldName.toStdString();
    const std::string value = fieldValue.toStdString();
    return from == Button::First ? t->locateFirst(field, value, matchType, caseSensitive)
                                 : t->locateNext(field, value, matchType, caseSensitive);
}

bool LocateDialog::find(Button from, QWidget* parent)
{
    if (!checkActive(parent))
        return false;
    if (fieldValue.isEmpty() || source_->table()->fieldIndex(fieldName.toStdString()) < 0)
        return execute(parent, from);
    try {
        if (locate(from))
            return true;
        if (showMessages)
            msg::information(kNoMatch, parent);
    } catch (const EngineError& e) {
        msg::error(QString::fromStdString(e.what()), parent);
    }
    return false;
}

bool LocateDialog::findFirst(QWidget* parent)
{
    return find(Button::First, parent);
}

bool LocateDialog::findNext(QWidget* parent)
{
    return find(Button::Next, parent);
}

// ---- The dialog ------------------------------------------------------------------------

LocateDialogForm::LocateDialogForm(LocateDialog& owner, Table& table, LocateDialog::Button defaultButton, QWidget* parent)
    : QDialog(parent), owner_(owner), table_(table)
{
    setObjectName(QStringLiteral("LocateDialogForm"));
    setWindowTitle(QStringLiteral("Locate Field Value"));
    auto* grid = new QGridLayout(this);

    value_ = new QLineEdit(owner.fieldValue, this);
    value_->setObjectName(QStringLiteral("edValue"));
    auto* valueLabel = new QLabel(QStringLiteral("Field &Value"), this);
    valueLabel->setBuddy(value_);
    grid->addWidget(valueLabel, 0, 0);
    grid->addWidget(value_, 1, 0);

    auto* type = new QGroupBox(QStringLiteral("&Search Type"), this);
    type->setObjectName(QStringLiteral("grpSearchType"));
    auto* tv = new QVBoxLayout(type);
    case_ = new QCheckBox(QStringLiteral("&Case-sensitive"), type);
    case_->setObjectName(QStringLiteral("cbCaseSensitive"));
    case_->setChecked(owner.caseSensitive);
    tv->addWidget(case_);
    match_ = new QButtonGroup(this);
    const struct {
        const char* text;
        const char* name;
        FilterMatchType type;
    } kinds[] = {{"&Exact Match", "rbExact", fdMatchExact},
                 {"&Partial Match at Beginning", "rbStart", fdMatchStart},
                 {"Partial Match &Anywhere", "rbAny", fdMatchAny}};
    for (const auto& k : kinds) {
        auto* rb = new QRadioButton(QString::fromLatin1(k.text), type);
        rb->setObjectName(QLatin1String(k.name));
        match_->addButton(rb, k.type);
        tv->addWidget(rb);
    }
    if (QAbstractButton* b = match_->button(owner.matchType))
        b->setChecked(true);
    else
        match_->button(fdMatchStart)->setChecked(true);
    grid->addWidget(type, 2, 0);

    fields_ = new QListWidget(this);
    fields_->setObjectName(QStringLiteral("lstFields"));
    std::vector<int> order;
    for (int f = 0; f < table.fieldCount(); ++f)
        order.push_back(f);
    std::stable_sort(order.begin(), order.end(), [&table](int a, int b) {
        return QString::fromStdString(table.field(a).name)
                   .compare(QString::fromStdString(table.field(b).name), Qt::CaseInsensitive)
            < 0;
    });
    int current = 0;
    for (int f : order) {
        const QString name = QString::fromStdString(table.field(f).name);
        if (name.compare(owner.fieldName, Qt::CaseInsensitive) == 0)
            current = fields_->count();
        fields_->addItem(name);
    }
    fields_->setCurrentRow(current);
    auto* fieldsLabel = new QLabel(QStringLiteral("&Fields"), this);
    fieldsLabel->setBuddy(fields_);
    grid->addWidget(fieldsLabel, 0, 1);
    grid->addWidget(fields_, 1, 1, 2, 1);

    auto* buttons = new QVBoxLayout;
    auto* first = new QPushButton(QStringLiteral("Fi&rst"), this);
    first->setObjectName(QStringLiteral("btnFirst"));
    auto* next = new QPushButton(QStringLiteral("&Next"), this);
    next->setObjectName(QStringLiteral("btnNext"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton* b : {first, next, cancel}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    (defaultButton == LocateDialog::Button::First ? first : next)->setDefault(true);
    grid->addLayout(buttons, 0, 2, 3, 1);
    grid->setColumnStretch(1, 1);

    connect(first, &QPushButton::clicked, this, [this] { run(LocateDialog::Button::First); });
    connect(next, &QPushButton::clicked, this, [this] { run(LocateDialog::Button::Next); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    value_->setFocus();
    value_->selectAll();
    resize(440, 260);
}

void LocateDialogForm::run(LocateDialog::Button from)
{
    if (value_->text().isEmpty() || !fields_->currentItem()) {
        msg::warning(value_->text().isEmpty() ? QStringLiteral("Enter a value to look for.")
                                              : QStringLiteral("Choose the field to look in."),
                     this);
        value_->setFocus();
        return;
    }
    owner_.fieldName = fields_->currentItem()->text();
    owner_.fieldValue = value_->text();
    owner_.matchType = FilterMatchType(match_->checkedId());
    owner_.caseSensitive = case_->isChecked();
    try {
        if (owner_.locate(from)) {
            found_ = true;
            accept();
            return;
        }
        if (owner_.showMessages)
            msg::information(kNoMatch, this);
    } catch (const EngineError& e) {
        msg::error(QString::fromStdString(e.what()), this);
    }
    value_->setFocus();
}

} // namespace tv
