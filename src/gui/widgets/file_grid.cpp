#include "gui/widgets/file_grid.h"
#include "gui/widgets/qt_text.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

#include "files/file_list.h"
#include "files/platform_fs.h"
#include "gui/widgets/control_helpers.h"

namespace rowsmith::gui {

namespace {

const std::string& EmptyText() {
    static const std::string empty;
    return empty;
}

// Draws the lines of a string grid: vertical and horizontal lines switch separately, and the fixed
// columns have switches of their own.
class GridLineDelegate final : public QStyledItemDelegate {
  public:
    explicit GridLineDelegate(GridControl* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        const GridControl::OptionsT o = grid_->Options();
        const bool fixed = index.column() < grid_->FixedCols();
        const bool vertical = fixed ? o.fixed_vert_lines : o.vert_lines;
        const bool horizontal = fixed ? o.fixed_horz_lines : o.horz_lines;
        if (!vertical && !horizontal) return;
        painter->save();
        painter->setPen(QPen(grid_->GridLineColor(), grid_->GridLineWidth()));
        const QRect r = option.rect;
        if (vertical) painter->drawLine(r.topRight(), r.bottomRight());
        if (horizontal) painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = grid_->ColumnElide(index.column());
    }

  private:
    GridControl* grid_;
};

// A file column of the shared column table by code.
const files::FileColumnDef* FileColumnOf(int code) {
    int count = 0;
    const files::FileColumnDef* defs = files::FileColumns(count);
    for (int i = 0; i < count; ++i)
        if (defs[i].code == code) return &defs[i];
    return nullptr;
}

// Menu texts treat "&" as a shortcut mark.
QString MenuText(const std::string& caption) {
    return Q(caption).replace('&', "&&");
}

}  // namespace

// ---------------------------------------------------------------- GridCellModel

GridCellModel::GridCellModel(QObject* parent) : QAbstractTableModel(parent) {
    cells_.resize(static_cast<std::size_t>(grid_rows_));
}

int GridCellModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(0, grid_rows_ - 1);
}

int GridCellModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : cols_;
}

QVariant GridCellModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row() + 1;
    const int col = index.column();
    if (role == Qt::DisplayRole) return Q(ShownText(col, row));
    if (role == Qt::BackgroundRole && col < fixed_cols_) return QGuiApplication::palette().button();
    return {};
}

QVariant GridCellModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    return Q(CellRef(section, 0));
}

Qt::ItemFlags GridCellModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

bool GridCellModel::SetGridColCount(int count) {
    if (count < 1) return false;
    if (count == cols_) return true;
    const bool growing = count > cols_;
    if (growing)
        beginInsertColumns(QModelIndex(), cols_, count - 1);
    else
        beginRemoveColumns(QModelIndex(), count, cols_ - 1);
    cols_ = count;
    for (auto& row : cells_)
        if (!row.empty()) row.resize(static_cast<std::size_t>(cols_));
    if (fixed_cols_ >= cols_) fixed_cols_ = cols_ - 1;
    if (growing)
        endInsertColumns();
    else
        endRemoveColumns();
    return true;
}

void GridCellModel::SetGridRowCount(int count) {
    count = std::max(1, count);
    if (count == grid_rows_) return;
    // Model rows are the grid rows below the title row.
    const int old_rows = grid_rows_ - 1;
    const int new_rows = count - 1;
    if (new_rows > old_rows) {
        beginInsertRows(QModelIndex(), old_rows, new_rows - 1);
        grid_rows_ = count;
        cells_.resize(static_cast<std::size_t>(count));
        endInsertRows();
    } else {
        beginRemoveRows(QModelIndex(), new_rows, old_rows - 1);
        grid_rows_ = count;
        cells_.resize(static_cast<std::size_t>(count));
        endRemoveRows();
    }
}

void GridCellModel::SetFixedCols(int count) {
    count = std::clamp(count, 0, std::max(0, cols_ - 1));
    if (count == fixed_cols_) return;
    fixed_cols_ = count;
    if (grid_rows_ > 1) emit dataChanged(index(0, 0), index(grid_rows_ - 2, cols_ - 1), {Qt::BackgroundRole});
}

const std::string& GridCellModel::CellRef(int column, int row) const {
    if (row < 0 || row >= grid_rows_ || column < 0 || column >= cols_) return EmptyText();
    const auto& cells = cells_[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(column) >= cells.size()) return EmptyText();
    return cells[static_cast<std::size_t>(column)];
}

std::string GridCellModel::ShownText(int column, int row) const {
    if (row == 0 || HoldsRow(row)) return CellRef(column, row);
    if (!source_ || row < 0 || row >= grid_rows_ || column < 0 || column >= cols_) return {};
    ++source_reads_;
    return source_(column, row);
}

void GridCellModel::SetCell(int column, int row, std::string_view text) {
    if (row < 0 || row >= grid_rows_ || column < 0 || column >= cols_) return;
    auto& cells = cells_[static_cast<std::size_t>(row)];
    if (cells.size() < static_cast<std::size_t>(cols_)) cells.resize(static_cast<std::size_t>(cols_));
    cells[static_cast<std::size_t>(column)] = text;
    MarkChanged(row);
}

void GridCellModel::ClearRow(int row) {
    if (!HoldsRow(row)) return;
    std::vector<std::string>().swap(cells_[static_cast<std::size_t>(row)]);
    MarkChanged(row);
}

bool GridCellModel::HoldsRow(int row) const {
    return row >= 0 && row < grid_rows_ && !cells_[static_cast<std::size_t>(row)].empty();
}

int GridCellModel::HeldRowCount() const {
    int n = 0;
    for (int r = 1; r < grid_rows_; ++r) n += HoldsRow(r) ? 1 : 0;
    return n;
}

void GridCellModel::MoveColumnData(int from, int to) {
    if (from < 0 || to < 0 || from >= cols_ || to >= cols_ || from == to) return;
    for (auto& cells : cells_) {
        if (cells.size() != static_cast<std::size_t>(cols_)) continue;
        std::string moved = std::move(cells[static_cast<std::size_t>(from)]);
        cells.erase(cells.begin() + from);
        cells.insert(cells.begin() + to, std::move(moved));
    }
    emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
    if (grid_rows_ > 1) emit dataChanged(index(0, 0), index(grid_rows_ - 2, cols_ - 1));
}

void GridCellModel::MarkChanged(int row) {
    if (row == 0) {
        title_dirty_ = true;
    } else {
        dirty_first_ = dirty_first_ < 0 ? row : std::min(dirty_first_, row);
        dirty_last_ = std::max(dirty_last_, row);
    }
    if (batch_ == 0) Flush();
}

void GridCellModel::EndUpdate() {
    if (batch_ > 0 && --batch_ == 0) Flush();
}

void GridCellModel::Flush() {
    if (title_dirty_) emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
    title_dirty_ = false;
    if (dirty_first_ >= 1) {
        const int last = std::min(dirty_last_, grid_rows_ - 1);
        if (last >= dirty_first_) emit dataChanged(index(dirty_first_ - 1, 0), index(last - 1, cols_ - 1));
    }
    dirty_first_ = dirty_last_ = -1;
}

// ---------------------------------------------------------------- GridControl

GridControl::GridControl(QWidget* parent) : QTableView(parent), cells_(new GridCellModel(this)) {
    setModel(cells_);
    setItemDelegate(new GridLineDelegate(this));
    setShowGrid(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);

    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    SetDefaultRowHeight(fontMetrics().height() + 6);

    QHeaderView* titles = horizontalHeader();
    titles->setSectionsClickable(true);
    titles->setHighlightSections(false);
    titles->setStretchLastSection(false);
    titles->setMinimumSectionSize(0);

    SetOptions(options_);
    ApplyPalette();
    SetScrollBars(ScrollBarsT::Both);

    connect(titles, &QHeaderView::sectionClicked, this, [this](int column) { emit ClickCell(0, column); });
    connect(titles, &QHeaderView::sectionDoubleClicked, this,
            [this](int column) { emit DblClickCell(0, column); });
    connect(this, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& i) { emit ClickCell(i.row() + 1, i.column()); });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& i) { emit DblClickCell(i.row() + 1, i.column()); });
    connect(titles, &QHeaderView::sectionMoved, this, &GridControl::OnSectionMoved);
    // The header sizes sections itself too (a column added or removed): only a drag with the mouse
    // on the titles is the user's.
    connect(titles, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (titles_pressed_ && setting_widths_ == 0) emit ColumnResizedByUser(column, width);
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { emit TopLeftChanged(); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { emit TopLeftChanged(); });
    connect(verticalScrollBar(), &QScrollBar::sliderMoved, this, [this](int value) {
        if (scroll_hints_) QToolTip::showText(QCursor::pos(), QStringLiteral("Row %1").arg(value + 1), this);
    });

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (popup_) popup_->popup(viewport()->mapToGlobal(at));
    });
    titles->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(titles, &QWidget::customContextMenuRequested, this, [this, titles](const QPoint& at) {
        if (popup_) popup_->popup(titles->mapToGlobal(at));
    });

    viewport()->installEventFilter(this);
    titles->viewport()->installEventFilter(this);
}

bool GridControl::SetColCount(int count) {
    return cells_->SetGridColCount(count);
}

int GridControl::ColWidth(int column) const {
    return horizontalHeader()->sectionSize(column);
}

void GridControl::SetColWidth(int column, int width) {
    if (column < 0 || column >= ColCount()) return;
    ++setting_widths_;
    horizontalHeader()->resizeSection(column, std::max(0, width));
    --setting_widths_;
}

Qt::TextElideMode GridControl::ColumnElide(int column) const {
    return column >= 0 && column < static_cast<int>(elide_.size()) ? elide_[static_cast<std::size_t>(column)]
                                                                    : Qt::ElideRight;
}

void GridControl::SetColumnElide(int column, Qt::TextElideMode mode) {
    if (column < 0) return;
    if (static_cast<std::size_t>(column) >= elide_.size())
        elide_.resize(static_cast<std::size_t>(column) + 1, Qt::ElideRight);
    if (elide_[static_cast<std::size_t>(column)] == mode) return;
    elide_[static_cast<std::size_t>(column)] = mode;
    viewport()->update();
}

int GridControl::DefaultRowHeight() const {
    return verticalHeader()->defaultSectionSize();
}

void GridControl::SetDefaultRowHeight(int height) {
    verticalHeader()->setDefaultSectionSize(std::max(1, height));
}

int GridControl::ClientWidth() const {
    return viewport()->width();
}

int GridControl::ClientHeight() const {
    return viewport()->height() + (horizontalHeader()->isVisible() ? horizontalHeader()->height() : 0);
}

int GridControl::TopRow() const {
    return verticalScrollBar()->value() + 1;
}

void GridControl::SetTopRow(int row) {
    row = std::clamp(row, 1, std::max(1, RowCount() - 1));
    // The scroll range follows the row count only at the next layout; bring it up to date first.
    updateGeometries();
    verticalScrollBar()->setValue(row - 1);
}

int GridControl::LeftCol() const {
    return horizontalScrollBar()->value();
}

void GridControl::SetLeftCol(int column) {
    updateGeometries();
    horizontalScrollBar()->setValue(std::max(0, column));
}

int GridControl::VisibleRowCount() const {
    return std::max(0, viewport()->height() / std::max(1, DefaultRowHeight()));
}

void GridControl::SetOptions(const OptionsT& options) {
    options_ = options;
    horizontalHeader()->setSectionResizeMode(options_.col_sizing ? QHeaderView::Interactive
                                                                 : QHeaderView::Fixed);
    horizontalHeader()->setSectionsMovable(options_.col_moving);
    setSelectionMode(options_.range_select ? QAbstractItemView::ContiguousSelection
                                           : QAbstractItemView::SingleSelection);
    viewport()->update();
}

void GridControl::SetBands(const BandsT& bands) {
    bands_ = bands;
    ApplyPalette();
}

void GridControl::SetColor(const QColor& colour) {
    color_ = colour;
    ApplyPalette();
}

void GridControl::SetFontColor(const QColor& colour) {
    font_colour_ = colour;
    ApplyPalette();
}

void GridControl::ApplyPalette() {
    QPalette pal = palette();
    // Banded rows alternate the two band colours; without bands every row has the grid's colour.
    pal.setColor(QPalette::Base, bands_.active ? bands_.primary : color_);
    pal.setColor(QPalette::AlternateBase, bands_.secondary);
    pal.setColor(QPalette::Text, font_colour_);
    setPalette(pal);
    setAlternatingRowColors(bands_.active);
    viewport()->update();
}

void GridControl::SetScrollBars(ScrollBarsT bars) {
    scroll_bars_ = bars;
    const bool vertical = bars == ScrollBarsT::Vertical || bars == ScrollBarsT::Both;
    const bool horizontal = bars == ScrollBarsT::Horizontal || bars == ScrollBarsT::Both;
    setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    updateGeometries();
}

void GridControl::SetScrollSynch(bool on) {
    verticalScrollBar()->setTracking(on);
    horizontalScrollBar()->setTracking(on);
}

void GridControl::keyPressEvent(QKeyEvent* event) {
    const bool home = event->key() == Qt::Key_Home;
    const bool end = event->key() == Qt::Key_End;
    if (home_end_rows_ && (home || end) && !(event->modifiers() & Qt::ControlModifier)) {
        const int rows = cells_->rowCount();
        if (rows > 0) {
            const int column = currentIndex().isValid() ? currentIndex().column() : 0;
            const QModelIndex target = cells_->index(home ? 0 : rows - 1, column);
            setCurrentIndex(target);
            scrollTo(target, home ? QAbstractItemView::PositionAtTop : QAbstractItemView::PositionAtBottom);
        }
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void GridControl::changeEvent(QEvent* event) {
    // Rows follow the font, as a string grid's default row height does.
    if (event->type() == QEvent::FontChange) SetDefaultRowHeight(fontMetrics().height() + 6);
    QTableView::changeEvent(event);
}

bool GridControl::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        if (cell_hints_.cells && index.isValid()) {
            const QString text = index.data().toString();
            const int room = columnWidth(index.column()) - 6;
            if (!text.isEmpty() &&
                (!cell_hints_.large_text || fontMetrics().horizontalAdvance(text) > room)) {
                QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QTableView::viewportEvent(event);
}

bool GridControl::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            click_modifiers_ = mouse->modifiers();
            if (watched == horizontalHeader()->viewport())
                titles_pressed_ = event->type() != QEvent::MouseButtonRelease || mouse->buttons() != Qt::NoButton;
            break;
        }
        case QEvent::Resize:
            if (watched == viewport()) emit ClientResized();
            break;
        default:
            break;
    }
    return QTableView::eventFilter(watched, event);
}

void GridControl::OnSectionMoved(int /*logical*/, int from, int to) {
    // The header only reorders its sections; the cells move instead, so that grid column i is
    // always model column i.
    QHeaderView* titles = horizontalHeader();
    std::vector<int> widths;
    for (int c = 0; c < ColCount(); ++c) widths.push_back(titles->sectionSize(c));
    {
        const QSignalBlocker block(titles);
        titles->moveSection(to, from);
    }
    cells_->MoveColumnData(from, to);
    if (from >= 0 && to >= 0 && from < static_cast<int>(widths.size()) &&
        to < static_cast<int>(widths.size())) {
        const int moved = widths[static_cast<std::size_t>(from)];
        widths.erase(widths.begin() + from);
        widths.insert(widths.begin() + to, moved);
        ++setting_widths_;
        for (int c = 0; c < static_cast<int>(widths.size()); ++c)
            titles->resizeSection(c, widths[static_cast<std::size_t>(c)]);
        --setting_widths_;
        if (static_cast<std::size_t>(std::max(from, to)) < elide_.size()) {
            const Qt::TextElideMode mode = elide_[static_cast<std::size_t>(from)];
            elide_.erase(elide_.begin() + from);
            elide_.insert(elide_.begin() + to, mode);
        }
    }
    viewport()->update();
    emit ColumnMoved(from, to);
}

bool GridControl::SaveAsHtml(const QString& path, std::string_view title, bool include_title_row) const {
    std::string scratch;
    const std::string html = HtmlTableText(title, ColCount(), RowCount(), include_title_row,
                                           [&](int32_t col, int32_t row) -> std::string_view {
                                               if (row == 0 || cells_->HoldsRow(row))
                                                   return cells_->CellRef(col, row);
                                               scratch = cells_->ShownText(col, row);
                                               return scratch;
                                           });
    // A failed write leaves any earlier file of that name as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(html.data(), static_cast<qint64>(html.size())) != static_cast<qint64>(html.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

int GridControl::PrintTo(QPrinter& printer) const {
    QPainter painter;
    if (!painter.begin(&printer)) return 0;
    QFont body = font();
    QFont bold = body;
    bold.setBold(true);
    painter.setFont(body);
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const int page_width = page.width();
    const int page_height = page.height();
    const int row_height = painter.fontMetrics().height() * 13 / 10 + 2;
    const int columns = ColCount();

    // The widths on screen, at the printer's resolution (narrowed only to fit the page).
    std::vector<int32_t> widths;
    for (int c = 0; c < columns; ++c) widths.push_back(ColWidth(c));
    const std::vector<int32_t> x = PrintColumnEdges(widths, logicalDpiX(), printer.resolution(), page_width);

    auto draw_row = [&](int row, int y) {
        for (int c = 0; c < columns; ++c) {
            const QRect cell(x[static_cast<std::size_t>(c)], y,
                             x[static_cast<std::size_t>(c) + 1] - x[static_cast<std::size_t>(c)], row_height);
            if (row == 0) painter.fillRect(cell, QColor(230, 230, 230));
            painter.setPen(QColor(160, 160, 160));
            painter.drawRect(cell);
            painter.setPen(Qt::black);
            const QRect inner = cell.adjusted(3, 0, -3, 0);
            const QString text = Q(cells_->ShownText(c, row));
            painter.drawText(
                inner, Qt::AlignVCenter | Qt::AlignLeft,
                painter.fontMetrics().elidedText(text, row == 0 ? Qt::ElideRight : ColumnElide(c),
                                                 std::max(0, inner.width())));
        }
    };

    const int rows_per_page = std::max(1, page_height / row_height - 1);
    int pages = 0;
    int row = 1;
    do {
        if (pages > 0) printer.newPage();
        ++pages;
        painter.setFont(bold);
        draw_row(0, 0);
        painter.setFont(body);
        int y = row_height;
        for (int k = 0; k < rows_per_page && row < RowCount(); ++k, ++row, y += row_height) draw_row(row, y);
    } while (row < RowCount());
    painter.end();
    return pages;
}

void GridControl::RunHtmlExportDialog() {
    HtmlExportDialog dialog(this, this);
    dialog.exec();
}

void GridControl::RunPrintDialog() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print Grid"));
    if (dialog.exec() == QDialog::Accepted) PrintTo(printer);
}

// ---------------------------------------------------------------- HtmlExportDialog

HtmlExportDialog::HtmlExportDialog(GridControl* grid, QWidget* parent)
    : QDialog(parent),
      grid_(grid),
      file_(new QLineEdit(QDir::home().filePath(QStringLiteral("filelist.htm")), this)),
      title_(new QLineEdit(QStringLiteral("File list"), this)),
      include_titles_(new QCheckBox(QStringLiteral("Include the title row"), this)),
      status_(new QLabel(this)) {
    setObjectName(QStringLiteral("htmlExportDialog"));
    setWindowTitle(QStringLiteral("Save grid as Html"));
    file_->setObjectName(QStringLiteral("fileName"));
    title_->setObjectName(QStringLiteral("title"));
    include_titles_->setObjectName(QStringLiteral("includeTitleRow"));
    include_titles_->setChecked(true);
    status_->setObjectName(QStringLiteral("status"));
    status_->setStyleSheet(QStringLiteral("color: #c00000"));

    auto* browse = new QToolButton(this);
    browse->setText(QStringLiteral("..."));
    connect(browse, &QToolButton::clicked, this, &HtmlExportDialog::Browse);
    auto* file_row = new QHBoxLayout;
    file_row->addWidget(file_, 1);
    file_row->addWidget(browse);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("File name"), file_row);
    form->addRow(QStringLiteral("Title"), title_);
    form->addRow(QString(), include_titles_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &HtmlExportDialog::Save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(status_);
    layout->addWidget(buttons);
    resize(480, sizeHint().height());
}

void HtmlExportDialog::Browse() {
    const QString chosen = QFileDialog::getSaveFileName(
        this, windowTitle(), file_->text(), QStringLiteral("HTML files (*.htm *.html);;All files (*)"));
    if (!chosen.isEmpty()) file_->setText(chosen);
}

void HtmlExportDialog::Save() {
    const QString path = file_->text().trimmed();
    if (path.isEmpty()) {
        status_->setText(QStringLiteral("Enter a file name."));
        return;
    }
    if (!grid_ || !grid_->SaveAsHtml(path, S(title_->text()), include_titles_->isChecked())) {
        status_->setText(QStringLiteral("Could not write %1").arg(path));
        return;
    }
    accept();
}

// ---------------------------------------------------------------- TEasyGrid

TEasyGrid::~TEasyGrid() {
    DetachSortHandler();
    for (auto& c : grid_handlers_) QObject::disconnect(c);
    if (grid_guard_) grid_guard_->Cells()->SetCellSource(nullptr);
}

void TEasyGrid::InitEasyGrid(GridControl* grid, tables::ArrayOfFiles* table, bool full_setup) {
    Grid = grid;
    grid_guard_ = grid;
    Table = table;
    SavedFont = std::make_unique<QFont>(grid ? grid->font() : QFont());
    SortEdit = nullptr;
    // The toolkit keeps every widget double-buffered and offers no switch; the grid stays cheap to
    // paint because it only ever paints the visible rows.
    if (Grid) {
        MarkFileGrid(Grid);
        Grid->Cells()->SetCellSource([this](int column, int row) { return SourceCell(column, row); });
    }
    Reset();
    if (full_setup) SetupEasyGrid();
}

void TEasyGrid::Reset() {
    if (Grid) {
        Grid->setFont(*SavedFont);
        QMenu* old = Grid->PopupMenu();
        Grid->SetPopupMenu(nullptr);
        if (old) old->deleteLater();
    }
    FirstLoadedRow = 1;
    LastLoadedRow = 0;
    ExtraRows = 50;
    ColumnCount = 0;
    Columns.assign(1, ColDataT{});
    KeptWidths.clear();
    laid_out_.clear();
}

void TEasyGrid::SetupEasyGrid() {
    if (!Grid || !Table) return;

    GridControl::BandsT bands;
    bands.active = true;
    bands.primary = QColor(255, 255, 225);
    bands.secondary = QColor(Qt::white);
    Grid->SetBands(bands);
    Grid->SetColor(QColor(Qt::white));
    Grid->SetFontColor(QColor(Qt::black));
    GridControl::OptionsT options = Grid->Options();
    options.col_sizing = true;
    options.col_moving = true;
    Grid->SetOptions(options);
    Grid->SetCellHints({true, true});
    Grid->SetScrollSynch(true);
    Grid->SetScrollBars(GridControl::ScrollBarsT::Vertical);
    Grid->SetScrollHintsVertical(true);
    Grid->SetHomeEndToRows(true);

    for (auto& c : grid_handlers_) QObject::disconnect(c);
    grid_handlers_.clear();
    grid_handlers_.push_back(QObject::connect(Grid, &GridControl::TopLeftChanged, Grid, [this] {
        if (!loading_) Refresh();
    }));
    grid_handlers_.push_back(QObject::connect(Grid, &GridControl::ClientResized, Grid, [this] {
        if (!loading_) Refresh();
    }));
    grid_handlers_.push_back(QObject::connect(Grid, &GridControl::ColumnMoved, Grid,
                                              [this](int from, int to) { MoveColumn(from, to); }));
    grid_handlers_.push_back(QObject::connect(Grid, &GridControl::ColumnResizedByUser, Grid, [this](int column, int width) {
        if (column >= 0 && column < static_cast<int>(shown_codes_.size()))
            KeptWidths[shown_codes_[static_cast<std::size_t>(column)]] = width;
    }));
    grid_handlers_.push_back(QObject::connect(Grid, &GridControl::DblClickCell, Grid,
                                              [this](int row, int column) { DblClickCell(row, column); }));
    grid_handlers_.push_back(
        QObject::connect(Grid, &GridControl::ClickCell, Grid,
                         [this](int row, int column) { ClickCell(row, column, Grid->ClickModifiers()); }));

    Grid->SetRowCount(2);
    BuildPopupMenu();
    HasPlaceholder = 0;
    const files::FileColumnDef* number = FileColumnOf(tables::kCodeNumber);
    const files::FileColumnDef* original = FileColumnOf(tables::kCodeOriginalNumber);
    AddColumn(tables::kCodeNumber, number ? number->width : "10|20|50", false);
    AddColumn(tables::kCodeOriginalNumber, original ? original->width : "10|20|50", false);
    AddColumn(tables::kCodeData, "80", false);
    HasPlaceholder = 1;
    Table->Formatting(tables::kCodeOriginalNumber).GroupDigits = 1;
    Table->Formatting(tables::kCodeNumber).GroupDigits = 1;
    HideColumn(tables::kCodeOriginalNumber, false);
    HideColumn(tables::kCodeNumber, true);
}

void TEasyGrid::AddColumn(int32_t code, std::string_view width, bool refresh) {
    AddColumnEntry(Columns, ColumnCount, HasPlaceholder, code, width);
    if (refresh) Rebuild();
}

void TEasyGrid::DefineColumn(std::string_view names, int32_t code, bool refresh, std::string_view width) {
    if (Table) {
        const std::size_t bar1 = names.find('|');
        const std::string_view name = names.substr(0, bar1);
        std::string_view caption;
        std::string_view synonyms;
        if (bar1 != std::string_view::npos) {
            const std::string_view rest = names.substr(bar1 + 1);
            const std::size_t bar2 = rest.find('|');
            caption = rest.substr(0, bar2);
            if (bar2 != std::string_view::npos) synonyms = rest.substr(bar2 + 1);
        }
        Table->SetColumnName(code, name, caption);
        std::string_view words = synonyms.empty() ? name : synonyms;
        while (!words.empty()) {
            const std::size_t comma = words.find(',');
            std::string_view word = words.substr(0, comma);
            while (!word.empty() && word.front() == ' ') word.remove_prefix(1);
            while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
            if (!word.empty()) Table->AddSynonym(code, word);
            if (comma == std::string_view::npos) break;
            words.remove_prefix(comma + 1);
        }
    }
    AddColumn(code, width, refresh);
}

void TEasyGrid::AddFileColumns() {
    int count = 0;
    const files::FileColumnDef* defs = files::FileColumns(count);
    // 67 and 86 are added by the setup and named by the table itself.
    for (int i = 0; i < count; ++i)
        if (defs[i].name) DefineColumn(defs[i].name, defs[i].code, false, GridColumnWidth(defs[i].code, defs[i].width));
    if (Table) Table->Formatting(tables::kCodeSize).GroupDigits = 1;
    for (int i = 0; i < count; ++i)
        if (defs[i].name && !defs[i].visible) HideColumn(defs[i].code, false);
    Rebuild();
}

bool TEasyGrid::SetColumnVisible(int32_t code, bool visible, bool refresh) {
    if (!SetColumnEntryVisible(Columns, ColumnCount, code, visible)) return false;
    if (refresh) Rebuild();
    return true;
}

bool TEasyGrid::ToggleColumn(int32_t code, bool refresh) {
    if (!ToggleColumnEntry(Columns, ColumnCount, code)) return false;
    if (refresh) Rebuild();
    return true;
}

void TEasyGrid::BindSortEdit(QLineEdit* edit) {
    DetachSortHandler();
    SortEdit = edit;
    if (!SortEdit) return;
    // The edit's change handler becomes the sort; whatever it did before is replaced.
    QObject::disconnect(SortEdit, &QLineEdit::textChanged, nullptr, nullptr);
    AttachSortHandler();
    ApplySortEdit();
}

void TEasyGrid::ApplySortEdit() {
    if (!SortEdit || !Table) return;
    Table->SortText = S(SortEdit->text());
    Table->Sort();
    Refresh();
}

void TEasyGrid::AttachSortHandler() {
    if (!SortEdit || !Grid) return;
    sort_handler_ = QObject::connect(SortEdit, &QLineEdit::textChanged, Grid, [this] { ApplySortEdit(); });
}

void TEasyGrid::DetachSortHandler() {
    if (sort_handler_) QObject::disconnect(sort_handler_);
    sort_handler_ = QMetaObject::Connection();
}

void TEasyGrid::MirrorSortText() {
    if (!SortEdit || !Table) return;
    const QString text = Q(Table->SortText);
    // Setting an equal text would only move the user's cursor.
    if (SortEdit->text() == text) return;
    DetachSortHandler();
    SortEdit->setText(text);
    AttachSortHandler();
}

void TEasyGrid::Refresh() {
    if (!Grid || !Table) return;
    const int32_t top = Grid->TopRow();
    LoadRows(top, top + Grid->VisibleRowCount() + 1 + ExtraRows);
    MirrorSortText();
}

void TEasyGrid::RefreshAll() {
    if (!Grid || !Table) return;
    LoadRows(1, Table->RowCount);
    MirrorSortText();
}

void TEasyGrid::FitToParent() {
    if (!Grid) return;
    QWidget* parent = Grid->parentWidget();
    if (!parent) return;
    Grid->setGeometry(0, 0, parent->width(), parent->height());
    ConfigureColumns(-1);
}

void TEasyGrid::UpdateShownCodes() {
    shown_codes_.clear();
    for (int32_t i : VisibleEntries(Columns, ColumnCount))
        shown_codes_.push_back(Columns[static_cast<std::size_t>(i)].Code);
}

std::string TEasyGrid::SourceCell(int column, int row) const {
    if (!Table || row < 1 || column < 0 || column >= static_cast<int>(shown_codes_.size())) return {};
    return Table->GetCell(row, shown_codes_[static_cast<std::size_t>(column)], true);
}

int32_t TEasyGrid::ConfigureColumns(int32_t top_row_hint) {
    if (!Grid || !Table) return 0;
    const std::vector<int32_t> visible = VisibleEntries(Columns, ColumnCount);
    int32_t shown = static_cast<int32_t>(visible.size());
    int32_t fixed = CountLeadingFixed(Columns, ColumnCount);
    if (fixed >= shown) shown = fixed = 0;

    if (shown > 0) {
        if (!Grid->SetColCount(shown)) {
            Grid->SetColCount(1);
            Grid->SetColCount(shown);
        }
        Grid->SetFixedCols(fixed);
        UpdateShownCodes();
        // A number column is narrow by its weight, but its caption must stay readable.
        const std::string widths = JoinVisibleWidths(Columns, ColumnCount, [this](int32_t code) {
            if (code != tables::kCodeNumber && code != tables::kCodeOriginalNumber) return 0;
            const QHeaderView* header = Grid->horizontalHeader();
            const QString caption = QString::fromStdString(Table->ColumnCaption(code));
            return header->fontMetrics().horizontalAdvance(caption) +
                   2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 4;
        });
        const int32_t wanted_rows = Grid->FixedRows() + Table->RowCount;
        if (wanted_rows != Grid->RowCount()) {
            int32_t target = std::max(Grid->TopRow(), top_row_hint);
            Grid->SetRowCount(std::max(2, wanted_rows));
            if (Grid->RowCount() < target)
                target = std::max(2, Grid->RowCount() - Grid->ClientHeight() / (Grid->DefaultRowHeight() +
                                                                                Grid->GridLineWidth()));
            Grid->SetTopRow(target);
        }
        std::vector<int32_t> kept;
        std::string layout = std::to_string(Grid->ClientWidth()) + "|" + widths;
        for (std::size_t c = 0; c < shown_codes_.size(); ++c) {
            const int32_t code = shown_codes_[c];
            const auto k = KeptWidths.find(code);
            kept.push_back(k == KeptWidths.end() ? 0 : k->second);
            layout += "|" + std::to_string(code);
            Grid->SetColumnElide(static_cast<int>(c), ElidesInMiddle(code) ? Qt::ElideMiddle : Qt::ElideRight);
        }
        // Scrolling and reloading lay nothing out again: a width the user just dragged stays, and the
        // others fit around it at the next resize or change of columns.
        if (layout != laid_out_) {
            laid_out_ = layout;
            const std::vector<int32_t> sizes =
                ColumnWidthsKeeping(Grid->ClientWidth(), Grid->GridLineWidth(), widths, kept);
            for (int32_t c = 0; c < Grid->ColCount(); ++c)
                Grid->SetColWidth(c, sizes[static_cast<std::size_t>(c)]);
        }
        Grid->SetLeftCol(fixed);
        Grid->SetScrollBars(Grid->ScrollBars());
        return shown;
    }

    // Nothing displayable: one cell says why.
    Grid->SetColCount(1);
    Grid->SetRowCount(Grid->FixedRows() + 1);
    shown_codes_.clear();
    Grid->BeginUpdate();
    for (int32_t r = 0; r < Grid->RowCount(); ++r) Grid->SetCell(0, r, "");
    Grid->SetCell(0, 0, Table->RowCount > 0 && ColumnCount > 0 ? "No Data displayable" : "No Data");
    Grid->EndUpdate();
    Grid->SetColWidth(0, Grid->ClientWidth());
    Grid->SetColumnElide(0, Qt::ElideRight);
    laid_out_.clear();
    Grid->SetFixedCols(0);
    return 0;
}

void TEasyGrid::LoadRows(int32_t first, int32_t last) {
    if (!Grid || !Table) return;
    const bool was_loading = loading_;
    loading_ = true;
    if (ConfigureColumns(first) == 0) {
        loading_ = was_loading;
        return;
    }
    if (Table->RowCount == 0) Grid->ClearRow(1);
    const int32_t a = std::max(1, first);
    const int32_t c = std::min(Table->RowCount, last);
    const GridCellModel* cells = Grid->Cells();

    Grid->BeginUpdate();
    auto fill = [&](int32_t row, bool titles) {
        for (std::size_t i = 0; i < shown_codes_.size(); ++i) {
            const int32_t code = shown_codes_[i];
            const std::string text = titles ? Table->ColumnName(code) : Table->GetCell(row, code, true);
            if (cells->CellRef(static_cast<int>(i), row) != text)
                Grid->SetCell(static_cast<int>(i), row, text);
        }
    };
    const int32_t from = std::min(a, FirstLoadedRow);
    const int32_t to = std::max(c, LastLoadedRow);
    for (int32_t row = from; row <= to; ++row) {
        if (row >= a && row <= c)
            fill(row, false);
        else
            Grid->ClearRow(row);
    }
    fill(0, true);
    Grid->EndUpdate();

    FirstLoadedRow = a;
    LastLoadedRow = c;
    Grid->SetTopRow(a);
    loading_ = was_loading;
}

void TEasyGrid::ClickCell(int32_t row, int32_t column, Qt::KeyboardModifiers modifiers) {
    if (!Table) return;
    const int32_t entry = EntryOfGridColumn(Columns, ColumnCount, column);
    if (modifiers & Qt::AltModifier) {
        if (entry) HideColumn(Columns[static_cast<std::size_t>(entry)].Code, true);
        return;
    }
    if (row != 0 || !(modifiers & Qt::ShiftModifier) || entry == 0) return;
    const std::string key = Table->FirstSynonym(Columns[static_cast<std::size_t>(entry)].Code);
    if (key.empty()) return;
    Table->SortText = SortTextAfterTitleClick(Table->SortText, key, Table->KeySeparator,
                                              (modifiers & Qt::ControlModifier) != 0);
    if (SortEdit) {
        DetachSortHandler();
        SortEdit->setText(Q(Table->SortText));
        // Show the new sort text before a long sort starts.
        SortEdit->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        AttachSortHandler();
        ApplySortEdit();
    } else {
        Table->Sort();
        Refresh();
    }
}

void TEasyGrid::DblClickCell(int32_t row, int32_t /*column*/) {
    if (!Table) return;
    // Row 0 (the title row) reads as the table's last row.
    const std::string path = Table->GetCell(row, tables::kCodeFullPath);
    if (path.empty() || !files::fs::FileExists(path)) return;
    if (Table->Services) Table->Services->OpenDocument(path);
}

void TEasyGrid::MoveColumn(int32_t from, int32_t to) {
    if (!MoveColumnEntry(Columns, ColumnCount, from, to)) return;
    UpdateShownCodes();
    BuildPopupMenu();
}

void TEasyGrid::BuildPopupMenu() {
    if (!Grid) return;
    MenuChecksT checks;
    checks.bands = Grid->Bands().active;
    checks.vertical_lines = Grid->Options().vert_lines;
    checks.horizontal_lines = Grid->Options().horz_lines;
    const std::vector<MenuPlanItem> plan =
        BuildMenuPlan(Columns, ColumnCount, MenuPositions, checks,
                      [this](int32_t code) { return Table ? Table->ColumnCaption(code) : std::string(); });

    auto* menu = new QMenu(Grid);
    for (const MenuPlanItem& item : plan) {
        if (item.kind == MenuPlanItem::Kind::Separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(MenuText(item.caption));
        action->setEnabled(true);
        if (item.checkable) {
            action->setCheckable(true);
            action->setChecked(item.checked);
        }
    }
    QObject::connect(menu, &QMenu::triggered, Grid, [this](QAction* action) { MenuClick(action); });
    QMenu* old = Grid->PopupMenu();
    Grid->SetPopupMenu(menu);
    // The old menu may be the one whose click is being handled.
    if (old) old->deleteLater();
}

void TEasyGrid::MenuClick(QAction* action) {
    if (!Grid || !action) return;
    QMenu* menu = Grid->PopupMenu();
    if (!menu) return;
    const int32_t position = static_cast<int32_t>(menu->actions().indexOf(action));
    const MenuClickT click = ResolveMenuClick(position, MenuPositions, Columns, ColumnCount);
    switch (click.entry) {
        case kMenuSaveHtml:
            RefreshAll();
            Grid->RunHtmlExportDialog();
            break;
        case kMenuPrint:
            RefreshAll();
            Grid->RunPrintDialog();
            break;
        case kMenuFont:
            FontDialog = new QFontDialog(Grid);
            if (FontDialog->exec() == QDialog::Accepted) Grid->setFont(FontDialog->selectedFont());
            delete FontDialog;
            FontDialog = nullptr;
            Refresh();
            break;
        case kMenuProportionalFont: {
            QFont font = Grid->font();
            font.setFamily(font.family() == QStringLiteral("Courier New") ? QStringLiteral("Tahoma")
                                                                          : QStringLiteral("Courier New"));
            Grid->setFont(font);
            Refresh();
            break;
        }
        case kMenuResetFont:
            if (SavedFont) Grid->setFont(*SavedFont);
            Refresh();
            break;
        case kMenuGridBands: {
            GridControl::BandsT bands = Grid->Bands();
            bands.active = !bands.active;
            Grid->SetBands(bands);
            action->setChecked(bands.active);
            break;
        }
        case kMenuVerticalLines: {
            GridControl::OptionsT options = Grid->Options();
            options.vert_lines = !options.vert_lines;
            Grid->SetOptions(options);
            action->setChecked(options.vert_lines);
            break;
        }
        case kMenuHorizontalLines: {
            GridControl::OptionsT options = Grid->Options();
            options.horz_lines = !options.horz_lines;
            Grid->SetOptions(options);
            action->setChecked(options.horz_lines);
            break;
        }
        default:
            if (click.code >= 0) ToggleColumn(click.code, true);
            break;
    }
}

void TEasyGrid::Rebuild() {
    BuildPopupMenu();
    Refresh();
}

}  // namespace rowsmith::gui
