#include "app/tablewindow.h"

#include "app/tableexport.h"
#include "data/datafolders.h"
#include "dbaware/datasource.h"
#include "dbaware/dbcontrols.h"
#include "dbaware/dbgrid.h"
#include "dbaware/engineguard.h"
#include "dbaware/filterdialog.h"
#include "dbaware/locatedialog.h"
#include "dbaware/memohighlight.h"
#include "dbaware/searchdialog.h"
#include "engine/codepage.h"
#include "platform/msg.h"

#include <QActionGroup>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTabWidget>

#include <algorithm>

namespace tv::app {

namespace {

constexpr int kRecentTables = 8;

QString recentFile() { return tv::data::userDataFolder() + QStringLiteral("/recent-tables"); }

QString number(size_t n) { return QLocale().toString(qulonglong(n)); }

// Grid cells of blob fields tell the kind and size of what they hold.
class BlobDelegate : public QStyledItemDelegate {
public:
    BlobDelegate(tv::DBGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const Table* t = grid_->dataSource() ? grid_->dataSource()->table() : nullptr;
        const int f = grid_->gridModel()->fieldOf(index.column());
        if (!t || f < 0 || kindOf(t->field(f).type) != FieldKind::Blob || index.row() >= t->recordCount())
            return;
        try {
            option->text = TableWindow::blobText(t->field(f), t->valueAt(index.row(), f));
        } catch (const EngineError& e) {
            reportEngineError(e);
            option->text = damagedMarker();
        }
    }

private:
    tv::DBGrid* grid_;
};

} // namespace

QString TableWindow::blobText(const FieldDef& field, const Value& value)
{
    const auto* blob = std::get_if<Blob>(&value);
    if (!blob)
        return {};
    const bool graphic = field.type == FieldType::Graphic || field.type == FieldType::DbPicture;
    const size_t n = blob->bytes.size();
    return QStringLiteral("(%1, %2 %3)").arg(graphic ? QStringLiteral("graphic") : QStringLiteral("binary"), number(n),
                                             n == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"));
}

QStringList TableWindow::recentTables()
{
    QFile f(recentFile());
    QStringList out;
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return out;
    while (!f.atEnd() && out.size() < kRecentTables) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (!line.isEmpty() && !out.contains(line))
            out << line;
    }
    return out;
}

void TableWindow::rememberTable(const QString& path)
{
    QStringList list = recentTables();
    const QString full = QFileInfo(path).absoluteFilePath();
    list.removeAll(full);
    list.prepend(full);
    while (list.size() > kRecentTables)
        list.removeLast();
    // The list is a convenience: a folder that cannot be written only means it is not kept. A
    // data folder made here is the user's alone, as the program makes it elsewhere.
    const QString folder = QFileInfo(recentFile()).absolutePath();
    if (!QFileInfo::exists(folder) && QDir().mkpath(folder))
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSaveFile f(recentFile());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    f.write((list.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    f.commit();
}

TableWindow* TableWindow::openTable(const QString& path, QWidget* parent)
{
    auto table = std::make_unique<Table>();
    try {
        table->open(QFile::encodeName(path).toStdString(), OpenMode::ReadOnly);
    } catch (const std::exception& e) {
        msg::error(QStringLiteral("Cannot open %1:\n%2").arg(QDir::toNativeSeparators(path), QString::fromUtf8(e.what())), parent);
        return nullptr;
    }
    rememberTable(path);
    auto* w = new TableWindow(std::move(table), path, parent);
    w->show();
    // In front of the main window, also when both appear at start-up (the main window asks
    // to be activated as it shows, and a window manager may grant that after this one maps).
    w->raise();
    w->activateWindow();
    return w;
}

TableWindow::TableWindow(std::unique_ptr<Table> table, const QString& path, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_table(std::move(table)), m_path(QFileInfo(path).absoluteFilePath())
{
    setObjectName(QStringLiteral("TableWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" - ") + msg::applicationTitle());
    m_source = new DataSource(m_table.get(), this);

    m_grid = new DBGrid;
    m_grid->setObjectName(QStringLiteral("TableGrid"));
    m_grid->setDataSource(m_source);
    // Columns as wide as their fields, long text fields held to a width that leaves room for
    // others, blobs as wide as the size they tell.
    QList<GridColumn> columns;
    for (int f = 0; f < m_table->fieldCount(); ++f) {
        const bool blob = kindOf(m_table->field(f).type) == FieldKind::Blob;
        columns.append({QString::fromStdString(m_table->field(f).name), blob ? 22 : std::min(m_table->displayWidth(f), 40), {}});
    }
    m_grid->setColumns(columns);
    m_grid->setItemDelegate(new BlobDelegate(m_grid));
    connect(m_grid, &DBGrid::titleButtonClick, this, &TableWindow::titleClicked);

    m_highlight = new MemoHighlighter(this);
    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(m_grid);
    split->addWidget(buildRecordView());
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    setCentralWidget(split);

    m_filter = new FilterDialog(this);
    m_filter->setDataSource(m_source);
    m_search = new SearchDialog(this);
    m_search->setSearchTable(m_table.get());
    m_locate = new LocateDialog(this);
    m_locate->setDataSource(m_source);

    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("TableStatus"));
    statusBar()->addWidget(m_status, 1);
    buildMenus();
    connect(m_source, &DataSource::dataChanged, this, &TableWindow::updateStatus);
    connect(m_source, &DataSource::currentChanged, this, &TableWindow::showBlobs);
    updateStatus();
    showBlobs();
    resize(900, 640);
}

void TableWindow::chooseTable(QWidget* parent)
{
    const QStringList recent = recentTables();
    const QString folder = recent.isEmpty() ? QDir::homePath() : QFileInfo(recent.front()).absolutePath();
    const QString path = QFileDialog::getOpenFileName(parent, QStringLiteral("Open Table"), folder,
        QStringLiteral("Tables (*.db *.DB *.dbf *.DBF);;Paradox tables (*.db *.DB);;dBASE and FoxPro tables (*.dbf *.DBF);;All files (*)"));
    if (!path.isEmpty())
        openTable(path, parent);
}

namespace {

bool isTableFile(const QString& path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    return ext == QLatin1String("db") || ext == QLatin1String("dbf");
}

// Opens the table files dropped on the window it watches.
class TableDrops : public QObject {
public:
    explicit TableDrops(QWidget* window) : QObject(window), window_(window) { window->setAcceptDrops(true); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != window_)
            return false;
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* e = static_cast<QDropEvent*>(event);
            if (!tablesOf(e->mimeData()).isEmpty()) {
                e->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto* e = static_cast<QDropEvent*>(event);
            const QStringList paths = tablesOf(e->mimeData());
            if (!paths.isEmpty()) {
                e->acceptProposedAction();
                // Not inside the drop: a box opened there would hold the dragging program too.
                QTimer::singleShot(0, window_, [w = window_, paths] {
                    for (const QString& p : paths)
                        TableWindow::openTable(p, w);
                });
                return true;
            }
        }
        return false;
    }

private:
    static QStringList tablesOf(const QMimeData* data)
    {
        QStringList out;
        if (data && data->hasUrls())
            for (const QUrl& url : data->urls())
                if (url.isLocalFile() && isTableFile(url.toLocalFile()))
                    out << url.toLocalFile();
        return out;
    }
    QWidget* window_;
};

} // namespace

void addTableCommands(QMenu* file, QWidget* window, std::function<const Table*()> shown)
{
    QAction* first = file->actions().value(0);
    QAction* open = new QAction(QStringLiteral("Open Table..."), file);
    open->setObjectName(QStringLiteral("mnuOpenTable"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QObject::connect(open, &QAction::triggered, window, [window] { TableWindow::chooseTable(window); });
    QMenu* recent = new QMenu(QStringLiteral("Recent Tables"), file);
    recent->setObjectName(QStringLiteral("mnuRecentTables"));
    QObject::connect(recent, &QMenu::aboutToShow, recent, [recent, window] {
        recent->clear();
        const QStringList list = TableWindow::recentTables();
        for (int i = 0; i < list.size(); ++i)
            recent->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(list[i]), window, [window, p = list[i]] { TableWindow::openTable(p, window); });
        if (list.isEmpty())
            recent->addAction(QStringLiteral("(none)"))->setEnabled(false);
    });
    QAction* exp = new QAction(QStringLiteral("Export..."), file);
    exp->setObjectName(QStringLiteral("mnuExport"));
    QObject::connect(exp, &QAction::triggered, window, [window, shown] {
        if (const Table* t = shown(); t && t->isOpen())
            exportShown(window, *t);
    });
    QObject::connect(file, &QMenu::aboutToShow, exp, [exp, shown] {
        const Table* t = shown();
        exp->setEnabled(t && t->isOpen());
    });
    file->insertAction(first, open);
    file->insertMenu(first, recent);
    file->insertAction(first, exp);
    file->insertSeparator(first);
    window->installEventFilter(new TableDrops(window));
}

void openTablesGiven(const QStringList& arguments, QWidget* parent)
{
    for (const QString& a : arguments)
        if (!a.startsWith(QLatin1Char('-')))
            TableWindow::openTable(a, parent);
}

TableWindow::~TableWindow()
{
    // The views let go of the table before it closes.
    m_source->setTable(nullptr);
    if (m_bookmark)
        guarded([&] { m_table->freeBookmark(m_bookmark); });
}

QWidget* TableWindow::buildRecordView()
{
    auto* fields = new QWidget;
    auto* form = new QFormLayout(fields);
    auto* memos = new QTabWidget;
    memos->setObjectName(QStringLiteral("TableMemos"));
    for (int f = 0; f < m_table->fieldCount(); ++f) {
        const FieldDef& def = m_table->field(f);
        const QString name = QString::fromStdString(def.name);
        const FieldKind kind = kindOf(def.type);
        if (kind == FieldKind::Memo) {
            auto* memo = new DBMemo;
            memo->setDataSource(m_source);
            memo->setDataField(name);
            memos->addTab(memo, name);
            m_highlight->addPane(memo);
        } else if (kind == FieldKind::Blob) {
            auto* box = new QLineEdit;
            box->setReadOnly(true);
            m_blobBoxes.emplace_back(f, box);
            form->addRow(name, box);
        } else {
            auto* edit = new DBEdit;
            edit->setDataSource(m_source);
            edit->setDataField(name);
            form->addRow(name, edit);
            m_highlight->addEdit(edit);
        }
    }
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(fields);
    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(scroll);
    if (memos->count() > 0) {
        split->addWidget(memos);
        m_memos = memos;
    } else {
        delete memos;
    }
    return split;
}

void TableWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    QAction* exp = file->addAction(QStringLiteral("Export..."), this, [this] { exportShown(this, *m_table); });
    exp->setObjectName(QStringLiteral("mnuExport"));
    file->addSeparator();
    file->addAction(QStringLiteral("Close"), QKeySequence::Close, this, &QWidget::close);

    QMenu* db = menuBar()->addMenu(QStringLiteral("Database"));
    db->addAction(QStringLiteral("Search"), this, [this] { m_search->execute(this); })->setObjectName(QStringLiteral("mnuSearch"));
    db->addAction(QStringLiteral("Locate"), this, [this] {
        if (m_locate->execute(this))
            m_highlight->setWord(locateWord(*m_locate, *m_table));
    })->setObjectName(QStringLiteral("mnuLocate"));
    db->addAction(QStringLiteral("Filter"), this, [this] {
        m_filter->execute(this);
        markFilterWord();
    })->setObjectName(QStringLiteral("mnuFilter"));
    db->addAction(QStringLiteral("Cancel Filter"), this, [this] {
        guardedCommand(this, [&] { m_filter->clearFilter(); });
        markFilterWord();
    })->setObjectName(QStringLiteral("mnuNoFilter"));
    m_orderMenu = db->addMenu(QStringLiteral("Order"));
    fillOrderMenu();

    QMenu* records = menuBar()->addMenu(QStringLiteral("Records"));
    const auto move = [this](QMenu* menu, const QString& text, QKeySequence key, void (Table::*step)()) {
        menu->addAction(text, key, this, [this, step] { guardedCommand(this, [&] { (m_table.get()->*step)(); }); });
    };
    move(records, QStringLiteral("First"), QKeySequence(Qt::CTRL | Qt::Key_Home), &Table::first);
    move(records, QStringLiteral("Prior"), QKeySequence(Qt::CTRL | Qt::Key_PageUp), &Table::prior);
    move(records, QStringLiteral("Next"), QKeySequence(Qt::CTRL | Qt::Key_PageDown), &Table::next);
    move(records, QStringLiteral("Last"), QKeySequence(Qt::CTRL | Qt::Key_End), &Table::last);
    records->addSeparator();
    records->addAction(QStringLiteral("Next Found"), QKeySequence(Qt::Key_F3), this, [this] { moveToWord(true); });
    records->addAction(QStringLiteral("Previous Found"), QKeySequence(Qt::SHIFT | Qt::Key_F3), this, [this] { moveToWord(false); });
    records->addSeparator();
    records->addAction(QStringLiteral("Set Bookmark"), this, &TableWindow::setBookmark);
    records->addAction(QStringLiteral("Goto Bookmark"), this, &TableWindow::gotoBookmark);
}

void TableWindow::fillOrderMenu()
{
    auto* group = new QActionGroup(m_orderMenu);
    const auto add = [&](const QString& text, const std::string& index, bool current) {
        QAction* a = m_orderMenu->addAction(text, this, [this, index] {
            guardedCommand(this, [&] { m_table->setIndexName(index); });
        });
        a->setCheckable(true);
        a->setChecked(current);
        group->addAction(a);
    };
    const auto& defs = m_table->indexDefs();
    const bool hasPrimary = std::any_of(defs.begin(), defs.end(), [](const IndexDef& d) { return d.primary; });
    if (!hasPrimary)
        add(QStringLiteral("Record order"), std::string(), m_table->currentIndex() < 0);
    for (size_t i = 0; i < defs.size(); ++i) {
        const IndexDef& d = defs[i];
        QStringList fields;
        for (const auto& f : d.fields)
            fields << QString::fromStdString(f);
        const QString text = d.primary ? QStringLiteral("Primary key (%1)").arg(fields.join(QStringLiteral(", ")))
                                       : QStringLiteral("%1 (%2)").arg(QString::fromStdString(d.name), fields.join(QStringLiteral(", ")));
        add(text, d.primary ? std::string() : d.name, m_table->currentIndex() == int(i));
    }
    connect(m_orderMenu, &QMenu::aboutToShow, this, [this, group] {
        const int current = m_table->currentIndex();
        const auto actions = group->actions();
        const int offset = actions.size() - int(m_table->indexDefs().size());
        for (int i = 0; i < actions.size(); ++i)
            actions[i]->setChecked(i - offset == current);
    });
}

void TableWindow::titleClicked(const QString& fieldName)
{
    bool ordered = false;
    if (!guardedCommand(this, [&] { ordered = m_table->orderByField(fieldName.toStdString()); }))
        return;
    if (!ordered)
        statusBar()->showMessage(QStringLiteral("No index of this table orders by %1.").arg(fieldName), 4000);
}

void TableWindow::markFilterWord() { m_highlight->setWord(filterWord(*m_table)); }

void TableWindow::moveToWord(bool forward)
{
    auto* pane = m_memos ? qobject_cast<QPlainTextEdit*>(m_memos->currentWidget()) : nullptr;
    if (!pane)
        return;
    if (!(forward ? m_highlight->next(pane) : m_highlight->previous(pane)))
        statusBar()->showMessage(m_highlight->word().isEmpty() ? QStringLiteral("No word was searched for.")
                                                               : QStringLiteral("\"%1\" is not in this memo.").arg(m_highlight->word()), 4000);
}

void TableWindow::setBookmark()
{
    guardedCommand(this, [&] {
        if (m_bookmark)
            m_table->freeBookmark(m_bookmark);
        m_bookmark = m_table->getBookmark();
    });
}

void TableWindow::gotoBookmark()
{
    if (!m_bookmark || !m_table->bookmarkValid(m_bookmark)) {
        statusBar()->showMessage(QStringLiteral("No bookmark is set on a record shown."), 4000);
        return;
    }
    guardedCommand(this, [&] { m_table->gotoBookmark(m_bookmark); });
}

void TableWindow::showBlobs()
{
    for (const auto& [field, box] : m_blobBoxes) {
        QString text;
        guarded([&] { text = blobText(m_table->field(field), m_table->value(field)); });
        box->setText(text);
    }
}

QString TableWindow::statusText() const
{
    const TableFile* file = m_table->file();
    if (!file)
        return {};
    QString kind = QString::fromStdString(file->formatName());
    const size_t total = file->recordIds().size();
    const size_t shown = size_t(m_table->recordCount());
    return QStringLiteral("%1   Code page %2   %3 %4   %5 shown")
        .arg(kind.isEmpty() ? QStringLiteral("Table") : kind, QString::fromStdString(codePageName(file->codePage())), number(total),
             total == 1 ? QStringLiteral("record") : QStringLiteral("records"), number(shown));
}

void TableWindow::updateStatus() { m_status->setText(statusText()); }

} // namespace tv::app
