#pragma once
// The file list grid: TEasyGrid binds a string grid (GridControl, a table view over a cell model) to
// the file list table, copying only the rows around the visible part, and gives the user the column,
// sort, font, banding, export and print controls of the list.

#include <QAbstractTableModel>
#include <QColor>
#include <QDialog>
#include <QFont>
#include <QMenu>
#include <QMetaObject>
#include <QPointer>
#include <QTableView>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gui/logic/file_grid_logic.h"
#include "tables/string_table.h"

class QAction;
class QCheckBox;
class QFontDialog;
class QLabel;
class QLineEdit;
class QPrinter;

namespace rowsmith::gui {

// The cells of the string grid. Grid row 0 is the title row (shown by the header), grid row r >= 1 is
// model row r - 1. A row holds a copy of its cell texts only while the binding has loaded it; a row
// without a copy is read from the cell source when the view asks for it, so only painted rows are ever
// read.
class GridCellModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    // Text of a grid cell that the grid holds no copy of (column, grid row >= 1).
    using CellSource = std::function<std::string(int column, int row)>;

    explicit GridCellModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int GridColCount() const { return cols_; }
    int GridRowCount() const { return grid_rows_; }
    bool SetGridColCount(int count);
    void SetGridRowCount(int count);
    void SetFixedCols(int count);
    int FixedCols() const { return fixed_cols_; }

    // The held text ("" when the grid holds none).
    const std::string& CellRef(int column, int row) const;
    // What the grid shows: the held text, or for a row without a copy the cell source's text.
    std::string ShownText(int column, int row) const;
    void SetCell(int column, int row, std::string_view text);
    void ClearRow(int row);
    bool HoldsRow(int row) const;
    // Number of rows holding a copy.
    int HeldRowCount() const;
    // Moves a column as a drag does: out of its place, in at the target position.
    void MoveColumnData(int from, int to);

    void SetCellSource(CellSource source) { source_ = std::move(source); }
    // Cells read from the source so far.
    int64_t SourceReads() const { return source_reads_; }

    // Changes made between these two are announced to the view once.
    void BeginUpdate() { ++batch_; }
    void EndUpdate();

  private:
    void MarkChanged(int row);
    void Flush();

    int cols_ = 1;
    int grid_rows_ = 2;
    int fixed_cols_ = 0;
    std::vector<std::vector<std::string>> cells_;
    CellSource source_;
    mutable int64_t source_reads_ = 0;
    int batch_ = 0;
    int dirty_first_ = -1;
    int dirty_last_ = -1;
    bool title_dirty_ = false;
};

// The string grid the file list is shown in: a table view with the operations of a classic string
// grid (cells by column and row, fixed title row, top row, visible rows, bands, line options) and its
// events as signals. Its HTML export and print dialogs write and print every row it holds.
class GridControl final : public QTableView {
    Q_OBJECT
  public:
    struct OptionsT {
        bool fixed_vert_lines = true;
        bool fixed_horz_lines = true;
        bool vert_lines = true;  // between normal cells
        bool horz_lines = true;
        bool range_select = true;
        bool col_sizing = false;
        bool col_moving = false;
    };
    struct BandsT {
        bool active = false;
        QColor primary = QColor(255, 255, 225);
        QColor secondary = QColor(Qt::white);
    };
    enum class ScrollBarsT { None, Horizontal, Vertical, Both };
    struct CellHintsT {
        bool cells = false;       // hints over cells
        bool large_text = false;  // only for texts wider than their cell
    };

    explicit GridControl(QWidget* parent = nullptr);

    GridCellModel* Cells() const { return cells_; }
    std::string Cell(int column, int row) const { return cells_->CellRef(column, row); }
    void SetCell(int column, int row, std::string_view text) { cells_->SetCell(column, row, text); }
    void ClearRow(int row) { cells_->ClearRow(row); }
    void BeginUpdate() { cells_->BeginUpdate(); }
    void EndUpdate() { cells_->EndUpdate(); }

    int ColCount() const { return cells_->GridColCount(); }
    bool SetColCount(int count);
    int RowCount() const { return cells_->GridRowCount(); }
    void SetRowCount(int count) { cells_->SetGridRowCount(count); }
    int FixedRows() const { return 1; }
    int FixedCols() const { return cells_->FixedCols(); }
    void SetFixedCols(int count) { cells_->SetFixedCols(count); }
    int ColWidth(int column) const;
    void SetColWidth(int column, int width);
    // Where a column's texts are cut when they do not fit, on screen and in print (default: right).
    Qt::TextElideMode ColumnElide(int column) const;
    void SetColumnElide(int column, Qt::TextElideMode mode);
    int DefaultRowHeight() const;
    void SetDefaultRowHeight(int height);
    int GridLineWidth() const { return 1; }
    int ClientWidth() const;
    // The whole cell area, title row included.
    int ClientHeight() const;
    int TopRow() const;
    void SetTopRow(int row);
    int LeftCol() const;
    void SetLeftCol(int column);
    // Scrolling rows that fit wholly into the client area.
    int VisibleRowCount() const;

    OptionsT Options() const { return options_; }
    void SetOptions(const OptionsT& options);
    BandsT Bands() const { return bands_; }
    void SetBands(const BandsT& bands);
    QColor Color() const { return color_; }
    void SetColor(const QColor& colour);
    QColor GridLineColor() const { return line_colour_; }
    void SetFontColor(const QColor& colour);
    ScrollBarsT ScrollBars() const { return scroll_bars_; }
    void SetScrollBars(ScrollBarsT bars);
    CellHintsT CellHints() const { return cell_hints_; }
    void SetCellHints(const CellHintsT& hints) { cell_hints_ = hints; }
    // While the thumb is dragged, a hint names the row shown at the top.
    void SetScrollHintsVertical(bool on) { scroll_hints_ = on; }
    // The view follows the thumb while it is dragged.
    void SetScrollSynch(bool on);
    // Home and End go to the first and last row instead of the first and last column.
    void SetHomeEndToRows(bool on) { home_end_rows_ = on; }
    bool HomeEndToRows() const { return home_end_rows_; }

    QMenu* PopupMenu() const { return popup_; }
    void SetPopupMenu(QMenu* menu) { popup_ = menu; }

    // Modifier keys of the last mouse press or release on the cells or the titles.
    Qt::KeyboardModifiers ClickModifiers() const { return click_modifiers_; }

    // Writes every held row (row 0 as titles when include_title_row) as an HTML table.
    bool SaveAsHtml(const QString& path, std::string_view title, bool include_title_row) const;
    // Prints every row, the title row on top of each page; returns the number of pages.
    int PrintTo(QPrinter& printer) const;
    // The export settings dialog (file name, title, title row), run modally; it writes the file.
    void RunHtmlExportDialog();
    // The toolkit's print dialog, run modally; it prints on OK.
    void RunPrintDialog();

  signals:
    void ClickCell(int row, int column);
    void DblClickCell(int row, int column);
    void ColumnMoved(int from, int to);
    // The user dragged a column's border (not emitted for widths the program sets).
    void ColumnResizedByUser(int column, int width);
    void TopLeftChanged();
    void ClientResized();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ApplyPalette();
    void OnSectionMoved(int logical, int from, int to);

    GridCellModel* cells_;
    OptionsT options_;
    BandsT bands_;
    QColor color_ = QColor(Qt::white);
    QColor line_colour_ = QColor(192, 192, 192);
    QColor font_colour_ = QColor(Qt::black);
    ScrollBarsT scroll_bars_ = ScrollBarsT::Both;
    CellHintsT cell_hints_;
    bool scroll_hints_ = false;
    bool home_end_rows_ = false;
    QPointer<QMenu> popup_;
    Qt::KeyboardModifiers click_modifiers_ = Qt::NoModifier;
    std::vector<Qt::TextElideMode> elide_;
    bool titles_pressed_ = false;  // a mouse button is down on the titles
    int setting_widths_ = 0;       // the program is sizing sections
};

// The grid's HTML export settings: file name, title and whether the title row is written.
class HtmlExportDialog final : public QDialog {
    Q_OBJECT
  public:
    explicit HtmlExportDialog(GridControl* grid, QWidget* parent = nullptr);
    QLineEdit* FileEdit() const { return file_; }
    QLineEdit* TitleEdit() const { return title_; }
    QCheckBox* IncludeTitleRowBox() const { return include_titles_; }
    // Writes the file; the dialog closes with Accepted on success and stays open with the reason
    // shown otherwise.
    void Save();

  private:
    void Browse();

    GridControl* grid_;
    QLineEdit* file_;
    QLineEdit* title_;
    QCheckBox* include_titles_;
    QLabel* status_;
};

// The binding of the file list to the grid. One instance lives for the whole run of the program.
class TEasyGrid {
  public:
    GridControl* Grid = nullptr;        // not owned
    QFontDialog* FontDialog = nullptr;  // only while "Font.." runs
    MenuPositionsT MenuPositions{-1, -1, -1, -1, -1, -1, -1, -1};
    int32_t FirstLoadedRow = 1;
    int32_t LastLoadedRow = 0;
    int32_t ExtraRows = 50;
    uint8_t HasPlaceholder = 0;
    ColumnListT Columns = ColumnListT(1);  // 1-based; element 0 is never used
    std::unique_ptr<QFont> SavedFont;
    QLineEdit* SortEdit = nullptr;          // not owned
    tables::ArrayOfFiles* Table = nullptr;  // not owned
    int32_t ColumnCount = 0;
    // Widths the user dragged, by field code: kept over scrolling, refreshes and resizes, where only
    // the other columns share the rest.
    std::map<int32_t, int32_t> KeptWidths;

    TEasyGrid() = default;
    TEasyGrid(const TEasyGrid&) = delete;
    TEasyGrid& operator=(const TEasyGrid&) = delete;
    ~TEasyGrid();

    void InitEasyGrid(GridControl* grid, tables::ArrayOfFiles* table, bool full_setup);
    void Reset();
    void SetupEasyGrid();

    void AddColumn(int32_t code, std::string_view width, bool refresh);
    // names: "name|caption|synonyms" (synonyms comma-separated; the name when empty).
    void DefineColumn(std::string_view names, int32_t code, bool refresh, std::string_view width);
    void AddFileColumns();
    bool SetColumnVisible(int32_t code, bool visible, bool refresh);
    bool ShowColumn(int32_t code, bool refresh) { return SetColumnVisible(code, true, refresh); }
    bool HideColumn(int32_t code, bool refresh) { return SetColumnVisible(code, false, refresh); }
    bool ToggleColumn(int32_t code, bool refresh);

    void BindSortEdit(QLineEdit* edit);
    void ApplySortEdit();

    void Refresh();
    void RefreshAll();
    // The grid fills its parent; the main window calls this when the parent is resized.
    void FitToParent();
    // Returns the number of displayed columns.
    int32_t ConfigureColumns(int32_t top_row_hint);
    void LoadRows(int32_t first, int32_t last);

    // The grid's events.
    void ClickCell(int32_t row, int32_t column, Qt::KeyboardModifiers modifiers);
    void DblClickCell(int32_t row, int32_t column);
    void MoveColumn(int32_t from, int32_t to);

    void BuildPopupMenu();
    void MenuClick(QAction* action);

  private:
    void Rebuild();
    void MirrorSortText();
    void AttachSortHandler();
    void DetachSortHandler();
    void UpdateShownCodes();
    std::string SourceCell(int column, int row) const;

    QPointer<GridControl> grid_guard_;  // the grid may be destroyed before the binding
    std::vector<int32_t> shown_codes_;  // field code per grid column
    QMetaObject::Connection sort_handler_;
    std::vector<QMetaObject::Connection> grid_handlers_;
    bool loading_ = false;
    // What the widths were last laid out for: the same client width and columns keep the widths on
    // screen.
    std::string laid_out_;
};

}  // namespace rowsmith::gui
