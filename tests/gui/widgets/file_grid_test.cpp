// The file list grid on the offscreen platform: what the user sees after clicks, drags, menu entries
// and exports, and that a long list is only ever read around the visible rows.
#include "gui/widgets/file_grid.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <algorithm>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "files/file_list.h"

namespace rowsmith::gui {
namespace {

// The desktop's "open" handler is recorded instead of run; everything else is the file list's own.
class RecordingServices final : public tables::CellServices {
  public:
    const tables::CellServices& real = files::NativeCellServices();
    mutable std::vector<std::string> opened;

    std::string FinalDestinationPath(std::string_view s, std::string_view f, std::string_view d,
                                     uint8_t m) const override {
        return real.FinalDestinationPath(s, f, d, m);
    }
    std::string ResolvePath(std::string_view r, std::string_view b) const override {
        return real.ResolvePath(r, b);
    }
    std::string FolderPart(std::string_view p) const override { return real.FolderPart(p); }
    std::string NamePart(std::string_view p) const override { return real.NamePart(p); }
    std::string JoinPath(std::string_view l, std::string_view r) const override {
        return real.JoinPath(l, r);
    }
    std::string PathRoot(std::string_view p) const override { return real.PathRoot(p); }
    bool FolderExists(std::string_view p) const override { return real.FolderExists(p); }
    std::string ReadColumnFile(std::string_view p, int64_t o, int64_t l) const override {
        return real.ReadColumnFile(p, o, l);
    }
    bool OpenDocument(std::string_view path) const override {
        opened.emplace_back(path);
        return true;
    }
};

std::string Numbered(std::string_view prefix, int i, std::string_view suffix) {
    std::string out(prefix);
    out += std::to_string(i);
    out += suffix;
    return out;
}

class EasyGridTest : public ::testing::Test {
  protected:
    void SetUp() override {
        files::InitFileList(table);
        table.Services = &services;
        table.SourceRoot = "/src/";
        table.DestinationRoot = "/dst/";
        parent.resize(900, 400);
        grid = new GridControl(&parent);
        grid->setGeometry(0, 0, 900, 400);
        grid->setFont(QFont(QStringLiteral("Tahoma"), 9));
        edit = new QLineEdit(&parent);
        edit->hide();
        parent.show();
        // The order the main window uses.
        easy.InitEasyGrid(grid, &table, true);
        easy.AddFileColumns();
        easy.BindSortEdit(edit);
        easy.ShowColumn(tables::kCodeNumber, true);
    }

    void AddFile(std::string_view folder, std::string_view name) {
        tables::DataRecT& r = table.AddRow();
        const int32_t row = table.RowCount;
        (void)r;
        std::string full(folder);
        full += name;
        table.SetCell(row, tables::kCodeFullPath, full);
        table.SetCell(row, tables::kCodePath, folder);
        table.SetCell(row, tables::kCodeFilename, name);
        const std::size_t dot = name.rfind('.');
        table.SetCell(row, tables::kCodeFilenameName, name.substr(0, dot));
        table.SetCell(row, tables::kCodeFilenameExt,
                      dot == std::string_view::npos ? "" : name.substr(dot + 1));
        table.SetCell(row, tables::kCodeSeparator, ".");
    }

    // Texts of the title row, left to right.
    std::vector<std::string> Titles() const {
        std::vector<std::string> out;
        for (int c = 0; c < grid->ColCount(); ++c) out.push_back(grid->Cell(c, 0));
        return out;
    }
    int GridColumnOf(std::string_view title) const {
        for (int c = 0; c < grid->ColCount(); ++c)
            if (grid->Cell(c, 0) == title) return c;
        return -1;
    }
    // What the view shows in a grid cell.
    std::string Shown(int column, int row) const {
        return grid->model()->index(row - 1, column).data().toString().toStdString();
    }
    QAction* MenuAction(int position) const {
        const auto actions = grid->PopupMenu()->actions();
        return position >= 0 && position < actions.size() ? actions[position] : nullptr;
    }
    QAction* ColumnAction(int32_t code) const {
        const int32_t entry = FindColumnEntry(easy.Columns, easy.ColumnCount, code);
        return entry ? MenuAction(easy.Columns[static_cast<std::size_t>(entry)].MenuItem) : nullptr;
    }
    void ClickTitle(std::string_view title, Qt::KeyboardModifiers modifiers) {
        QHeaderView* header = grid->horizontalHeader();
        const int c = GridColumnOf(title);
        ASSERT_GE(c, 0) << title;
        const QPoint at(header->sectionViewportPosition(c) + header->sectionSize(c) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, at);
    }

    RecordingServices services;
    tables::ArrayOfFiles table;
    QWidget parent;
    GridControl* grid = nullptr;
    QLineEdit* edit = nullptr;
    TEasyGrid easy;
};

TEST_F(EasyGridTest, StartUpShowsTheVisibleFileColumnsAndAnEmptyRow) {
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Number", "Filename", "FinalDestinationPath"}));
    EXPECT_EQ(grid->RowCount(), 2);
    for (int c = 0; c < grid->ColCount(); ++c) EXPECT_EQ(Shown(c, 1), "") << c;
    // The placeholder left with the first file column; 67 and 86 keep the table's names.
    EXPECT_EQ(FindColumnEntry(easy.Columns, easy.ColumnCount, 0), 0);
    EXPECT_EQ(easy.ColumnCount, 20);
    EXPECT_EQ(ColumnAction(tables::kCodeOriginalNumber)->text(), "Original number");
    EXPECT_FALSE(ColumnAction(tables::kCodeOriginalNumber)->isChecked());
    EXPECT_TRUE(ColumnAction(tables::kCodeFilename)->isChecked());
    // Widths follow the width list: the number column within 20..50 but never narrower than its
    // caption, the rest shared 30:50, so that the name does not take the room the destination path needs.
    const int caption = grid->horizontalHeader()->fontMetrics().horizontalAdvance(QStringLiteral("Number"));
    EXPECT_GE(grid->ColWidth(0), caption);
    EXPECT_LE(grid->ColWidth(0), std::max(50, caption + 24));
    EXPECT_EQ(grid->ColWidth(0) + grid->ColWidth(1) + grid->ColWidth(2), grid->ClientWidth() - 3);
    EXPECT_NEAR(grid->ColWidth(1) * 50.0 / 30.0, grid->ColWidth(2), 2);
    EXPECT_LT(grid->ColWidth(1), grid->ClientWidth() / 2);
}

TEST_F(EasyGridTest, AllColumnsHiddenExplainsWhyNothingShows) {
    AddFile("/src/", "a.txt");
    easy.Refresh();
    for (int32_t code : {tables::kCodeNumber, tables::kCodeFilename, tables::kCodeFinalDestination})
        easy.HideColumn(code, false);
    easy.Refresh();
    EXPECT_EQ(grid->ColCount(), 1);
    EXPECT_EQ(grid->RowCount(), 2);
    EXPECT_EQ(grid->Cell(0, 0), "No Data displayable");
    EXPECT_EQ(Shown(0, 1), "");

    table.Clear();
    easy.Refresh();
    EXPECT_EQ(grid->Cell(0, 0), "No Data");

    // A grid without any column says the same.
    TEasyGrid bare;
    GridControl other(&parent);
    bare.InitEasyGrid(&other, &table, false);
    bare.Refresh();
    EXPECT_EQ(other.Cell(0, 0), "No Data");
}

TEST_F(EasyGridTest, ShiftClicksOnTitlesSortAndShowTheSortText) {
    AddFile("/src/b/", "b.txt");
    AddFile("/src/a/", "c.txt");
    AddFile("/src/c/", "a.txt");
    easy.Refresh();
    const int name_col = GridColumnOf("Filename");

    ClickTitle("Filename", Qt::ShiftModifier);
    EXPECT_EQ(table.SortText, "filename");
    EXPECT_EQ(edit->text().toStdString(), "filename");
    EXPECT_EQ(Shown(name_col, 1), "a.txt");

    ClickTitle("Filename", Qt::ShiftModifier);
    EXPECT_EQ(edit->text().toStdString(), "-filename");
    EXPECT_EQ(Shown(name_col, 1), "c.txt");

    ClickTitle("Filename", Qt::ShiftModifier);
    EXPECT_EQ(edit->text().toStdString(), "filename");
    EXPECT_EQ(Shown(name_col, 1), "a.txt");

    edit->setText("-filename");  // typing re-sorts at once
    EXPECT_EQ(Shown(name_col, 1), "c.txt");

    easy.ShowColumn(tables::kCodePath, true);
    ClickTitle("Path", Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(edit->text().toStdString(), "-filename^filepath");
    ClickTitle("Filename", Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(edit->text().toStdString(), "filename^filepath");
    EXPECT_EQ(Shown(GridColumnOf("Filename"), 1), "a.txt");

    // A plain click sorts nothing.
    ClickTitle("Path", Qt::NoModifier);
    EXPECT_EQ(table.SortText, "filename^filepath");
}

TEST_F(EasyGridTest, AltClickHidesTheColumnAndUnchecksIt) {
    AddFile("/src/", "a.txt");
    easy.Refresh();
    const int c = GridColumnOf("Filename");
    ASSERT_GE(c, 0);
    const QRect cell = grid->visualRect(grid->model()->index(0, c));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::AltModifier, cell.center());
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Number", "FinalDestinationPath"}));
    EXPECT_FALSE(ColumnAction(tables::kCodeFilename)->isChecked());

    // The menu entry brings it back.
    ColumnAction(tables::kCodeFilename)->trigger();
    EXPECT_EQ(GridColumnOf("Filename"), 1);
    EXPECT_TRUE(ColumnAction(tables::kCodeFilename)->isChecked());
}

TEST_F(EasyGridTest, MovingAColumnReordersListGridAndMenu) {
    AddFile("/src/", "a.txt");
    easy.Refresh();
    const int before = grid->ColWidth(1);
    // The header reports a drag of "Filename" onto the first position.
    grid->horizontalHeader()->moveSection(1, 0);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Filename", "Number", "FinalDestinationPath"}));
    EXPECT_EQ(Shown(0, 1), "a.txt");
    EXPECT_EQ(Shown(1, 1), "1");
    EXPECT_EQ(grid->ColWidth(0), before);
    EXPECT_EQ(grid->horizontalHeader()->logicalIndex(0), 0);

    const auto actions = grid->PopupMenu()->actions();
    ASSERT_GT(actions.size(), 14);
    EXPECT_EQ(actions[11]->text(), "Filename");
    EXPECT_EQ(actions[12]->text(), "Number");
    EXPECT_EQ(actions[13]->text(), "Original number");
    EXPECT_EQ(actions[14]->text(), "Full path");

    // The order survives a refresh.
    easy.Refresh();
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Filename", "Number", "FinalDestinationPath"}));
}

TEST_F(EasyGridTest, FontEntriesSwitchAndRestoreTheFont) {
    QAction* proportional = MenuAction(easy.MenuPositions[kMenuProportionalFont]);
    ASSERT_NE(proportional, nullptr);
    EXPECT_EQ(proportional->text(), "Proportional Font on/off");
    proportional->trigger();
    EXPECT_EQ(grid->font().family(), "Courier New");
    proportional->trigger();
    EXPECT_EQ(grid->font().family(), "Tahoma");
    proportional->trigger();
    MenuAction(easy.MenuPositions[kMenuResetFont])->trigger();
    EXPECT_EQ(grid->font().family(), "Tahoma");

    QAction* bands = MenuAction(easy.MenuPositions[kMenuGridBands]);
    EXPECT_TRUE(bands->isChecked());
    EXPECT_EQ(grid->palette().color(QPalette::Base), QColor(255, 255, 225));
    bands->trigger();
    EXPECT_FALSE(grid->Bands().active);
    EXPECT_FALSE(bands->isChecked());
    EXPECT_EQ(grid->palette().color(QPalette::Base), QColor(Qt::white));

    QAction* vertical = MenuAction(easy.MenuPositions[kMenuVerticalLines]);
    vertical->trigger();
    EXPECT_FALSE(grid->Options().vert_lines);
    EXPECT_TRUE(grid->Options().horz_lines);
}

TEST_F(EasyGridTest, HtmlExportWritesEveryRowEscaped) {
    for (int i = 1; i <= 5000; ++i) AddFile("/src/", Numbered("f", i, "<&\"'.txt"));
    easy.Refresh();
    grid->SetTopRow(2000);
    ASSERT_GT(grid->TopRow(), 1);

    QTemporaryDir dir;
    const QString path = dir.filePath("list.htm");
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<HtmlExportDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->FileEdit()->setText(path);
        dialog->TitleEdit()->setText("Files & <more>");
        dialog->Save();
    });
    MenuAction(easy.MenuPositions[kMenuSaveHtml])->trigger();

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string html = file.readAll().toStdString();
    auto count = [&](std::string_view what) {
        std::size_t n = 0;
        for (std::size_t p = html.find(what); p != std::string::npos; p = html.find(what, p + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("<tr>"), 5001u);  // the title row and every file
    EXPECT_EQ(count("<th>"), 3u);
    EXPECT_NE(html.find("<td>f1&lt;&amp;&quot;&#39;.txt</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>f5000&lt;&amp;&quot;&#39;.txt</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>5,000</td>"), std::string::npos);
    EXPECT_NE(html.find("<title>Files &amp; &lt;more&gt;</title>"), std::string::npos);
    EXPECT_EQ(html.find("<&"), std::string::npos);
    EXPECT_EQ(grid->TopRow(), 1);
}

TEST_F(EasyGridTest, PrintingCoversEveryRow) {
    for (int i = 1; i <= 300; ++i) AddFile("/src/", Numbered("p", i, ".txt"));
    easy.RefreshAll();
    QTemporaryDir dir;
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("grid.pdf"));
    const int pages = grid->PrintTo(printer);
    EXPECT_GT(pages, 1);
    EXPECT_LT(pages, 300);
    EXPECT_GT(QFile(dir.filePath("grid.pdf")).size(), 0);
}

TEST_F(EasyGridTest, PathsAreCutInTheMiddleOnScreen) {
    easy.ShowColumn(tables::kCodePath, true);
    const int path = GridColumnOf("Path");
    const int destination = GridColumnOf("FinalDestinationPath");
    const int name = GridColumnOf("Filename");
    ASSERT_GE(path, 0);
    EXPECT_EQ(grid->ColumnElide(path), Qt::ElideMiddle);
    EXPECT_EQ(grid->ColumnElide(destination), Qt::ElideMiddle);
    EXPECT_EQ(grid->ColumnElide(name), Qt::ElideRight);
    // The mode moves with its column (the header reports the drag).
    grid->horizontalHeader()->moveSection(path, 0);
    easy.Refresh();
    EXPECT_EQ(GridColumnOf("Path"), 0);
    EXPECT_EQ(grid->ColumnElide(0), Qt::ElideMiddle);
    EXPECT_EQ(grid->ColumnElide(GridColumnOf("Filename")), Qt::ElideRight);
}

TEST_F(EasyGridTest, AWidthTheUserDraggedStaysThroughScrollingAndResizing) {
    for (int i = 1; i <= 500; ++i) AddFile("/src/", Numbered("f", i, ".txt"));
    easy.Refresh();
    // The scroll bar appears at the next layout and narrows the client area.
    QApplication::processEvents();
    easy.Refresh();
    QHeaderView* header = grid->horizontalHeader();
    const int name = GridColumnOf("Filename");
    const int before = grid->ColWidth(name);
    // A drag on the border at the right end of the name's title.
    QWidget* titles = header->viewport();
    const int y = header->height() / 2;
    const QPoint from(header->sectionViewportPosition(name) + before - 1, y);
    const QPoint to = from + QPoint(-60, 0);
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent e(type, at, titles->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(titles, &e);
    };
    send(QEvent::MouseMove, from, Qt::NoButton);
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    send(QEvent::MouseMove, from + QPoint(-30, 0), Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    const int dragged = grid->ColWidth(name);
    ASSERT_EQ(dragged, before - 60);
    EXPECT_EQ(easy.KeptWidths.at(tables::kCodeFilename), dragged);

    // Scrolling reloads rows; the widths stay as they are on screen.
    std::vector<int> widths;
    for (int c = 0; c < grid->ColCount(); ++c) widths.push_back(grid->ColWidth(c));
    grid->verticalScrollBar()->setValue(200);
    QApplication::processEvents();
    easy.Refresh();
    for (int c = 0; c < grid->ColCount(); ++c) EXPECT_EQ(grid->ColWidth(c), widths[c]) << c;

    // A wider grid: the dragged width stays, the others take the new room.
    grid->setGeometry(0, 0, 1200, 400);
    easy.ConfigureColumns(-1);
    EXPECT_EQ(grid->ColWidth(name), dragged);
    int total = 0;
    for (int c = 0; c < grid->ColCount(); ++c) total += grid->ColWidth(c);
    EXPECT_EQ(total, grid->ClientWidth() - grid->ColCount());

    // Widths the program sets are not taken for the user's.
    easy.ShowColumn(tables::kCodePath, true);
    EXPECT_EQ(easy.KeptWidths.size(), 1u);
    EXPECT_EQ(grid->ColWidth(GridColumnOf("Filename")), dragged);
}

TEST_F(EasyGridTest, DoubleClickOpensExistingFilesOnly) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    QFile existing(dir.filePath("there.txt"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    AddFile(folder, "there.txt");
    AddFile(folder, "missing.txt");
    easy.Refresh();

    easy.DblClickCell(2, 0);
    EXPECT_TRUE(services.opened.empty());
    easy.DblClickCell(1, 1);
    ASSERT_EQ(services.opened.size(), 1u);
    EXPECT_EQ(services.opened[0], folder + "there.txt");
    // The title row reads as the last row, which names no file.
    easy.DblClickCell(0, 0);
    EXPECT_EQ(services.opened.size(), 1u);
}

TEST_F(EasyGridTest, HundredThousandFilesAreOnlyReadAroundTheView) {
    QElapsedTimer timer;
    timer.start();
    table.Reserve(100000, true);
    for (int i = 1; i <= 100000; ++i) AddFile("/src/sub/", Numbered("file", i, ".txt"));
    const qint64 build_ms = timer.restart();
    easy.Refresh();
    QApplication::processEvents();
    const qint64 show_ms = timer.restart();

    const int window = grid->VisibleRowCount() + 2 + easy.ExtraRows;
    EXPECT_EQ(grid->RowCount(), 100001);
    EXPECT_LE(grid->Cells()->HeldRowCount(), window);

    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    QApplication::processEvents();
    const qint64 end_ms = timer.restart();
    EXPECT_LE(grid->Cells()->HeldRowCount(), window);
    EXPECT_EQ(grid->Cell(0, 100000), "100,000");
    EXPECT_EQ(grid->Cell(1, 100000), "file100000.txt");
    EXPECT_EQ(grid->Cell(1, 1), "");  // scrolled out, emptied again

    grid->verticalScrollBar()->setValue(0);
    QApplication::processEvents();
    const qint64 back_ms = timer.elapsed();
    EXPECT_EQ(grid->Cell(1, 1), "file1.txt");
    EXPECT_EQ(grid->Cell(1, 100000), "");
    EXPECT_LE(grid->Cells()->HeldRowCount(), window);

    std::printf(
        "100,000 files: table built %lld ms, grid populated and shown %lld ms, "
        "scroll to end %lld ms, back to top %lld ms\n",
        static_cast<long long>(build_ms), static_cast<long long>(show_ms), static_cast<long long>(end_ms),
        static_cast<long long>(back_ms));
}

}  // namespace
}  // namespace rowsmith::gui
