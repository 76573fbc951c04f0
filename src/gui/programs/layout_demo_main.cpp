// rowsmith-layout-demo: a test container with four managed panels around a list, arranged by the
// panel layout. --layout llay|hortop|horbot picks the layout; --screenshot PATH grabs the window into
// a PNG and exits (scripts/screenshot-layouts).

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>

#include "gui/widgets/control_helpers.h"
#include "gui/layout/panel_layout.h"
#include "gui/widgets/gradient_panel.h"
#include "gui/widgets/gradient_button.h"

using namespace rowsmith::gui;

namespace {

TPanel* MakePanel(QWidget* parent, const char* name, const char* caption, int width, int height) {
    auto* p = new TPanel(parent);
    p->setObjectName(QString::fromLatin1(name));
    p->SetCaption(QString::fromLatin1(caption));
    p->resize(width, height);
    return p;
}

template <typename W>
W* Place(W* w, int x, int y, int width, int height) {
    w->setGeometry(x, y, width, height);
    return w;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const int at_layout = args.indexOf(QStringLiteral("--layout"));
    const QString layout_word = at_layout >= 0 && at_layout + 1 < args.size() ? args[at_layout + 1] : "llay";
    const int at_shot = args.indexOf(QStringLiteral("--screenshot"));
    const QString path = at_shot >= 0 && at_shot + 1 < args.size() ? args[at_shot + 1] : QString();
    if ((at_shot >= 0 && path.isEmpty()) || !QStringList{"llay", "hortop", "horbot"}.contains(layout_word)) {
        std::fprintf(stderr,
                     "usage: rowsmith-layout-demo [--layout llay|hortop|horbot] [--screenshot PATH]\n");
        return 1;
    }

    QWidget form;
    form.setObjectName(QStringLiteral("Form1"));
    form.setWindowTitle(QStringLiteral("Rowsmith layout demo: ") + layout_word);
    form.resize(900, 600);

    TPanel* paths = MakePanel(&form, "Panel1", "Paths", 300, 112);
    paths->SetColor(0xFFDFDA);
    Place(new QLabel(QStringLiteral("Source folder"), paths), 8, 6, 120, 18);
    Place(new QLineEdit(QStringLiteral("/home/user/samples"), paths), 8, 24, 284, 22);
    Place(new QLabel(QStringLiteral("Destination folder"), paths), 8, 50, 120, 18);
    Place(new QLineEdit(QStringLiteral("../converted"), paths), 8, 68, 284, 22);

    TPanel* options = MakePanel(&form, "Panel2", "Options", 300, 140);
    Place(new QCheckBox(QStringLiteral("Include only these lines"), options), 8, 6, 200, 20);
    Place(new QLineEdit(QStringLiteral("1--1000000"), options), 8, 26, 284, 22);
    Place(new QCheckBox(QStringLiteral("Process each line"), options), 8, 50, 200, 20);
    Place(new QLineEdit(QStringLiteral("{{originalline}}{{eol}}"), options), 8, 70, 284, 22);
    // The line end and encoding choices, as the main window has them.
    Place(new QLabel(QStringLiteral("Line ends:"), options), 8, 96, 120, 16);
    auto* line_ends = Place(new QComboBox(options), 8, 112, 120, 22);
    line_ends->addItems({QStringLiteral("Auto"), QStringLiteral("Windows CR LF"), QStringLiteral("Unix LF")});
    Place(new QLabel(QStringLiteral("Encoding:"), options), 136, 96, 156, 16);
    auto* encoding = Place(new QComboBox(options), 136, 112, 156, 22);
    encoding->setEditable(true);
    encoding->addItems({QStringLiteral("Auto"), QStringLiteral("UTF-8"), QStringLiteral("windows-1252")});

    TPanel* dest = MakePanel(&form, "Panel6", "Destination file options", 300, 92);
    dest->SetColor(0xF0B3A6);
    auto* keep =
        Place(new QCheckBox(QStringLiteral("Keep subfolder structure as source files"), dest), 8, 6, 284, 20);
    keep->setChecked(true);
    auto* create =
        Place(new QCheckBox(QStringLiteral("Create subfolders if they don't exist"), dest), 8, 26, 284, 20);
    create->setChecked(true);
    Place(new QRadioButton(QStringLiteral("Overwrite if file exists"), dest), 8, 46, 284, 20)
        ->setChecked(true);
    Place(new QRadioButton(QStringLiteral("Rename if file exists"), dest), 8, 66, 284, 20);

    TPanel* start_panel = MakePanel(&form, "Panel4", "Start", 300, 49);
    auto* start = Place(new TGradBtn(start_panel), 9, 8, 281, 33);
    start->SetCaption(QStringLiteral("&Start"));
    start->SetGradientStyle(TGradientStyle::gsElliptic);
    ColourStartButton(start, kClRed);

    TPanel* list = MakePanel(&form, "Panel3", " ", 400, 300);
    list->SetBevelOuter(TPanelBevel::bvLowered);
    list->setMinimumSize(200, 160);
    auto* table = new QTableWidget(12, 3, list);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Path")});
    for (int row = 0; row < 12; ++row) {
        table->setItem(row, 0, new QTableWidgetItem(QStringLiteral("letter-%1.txt").arg(row + 1)));
        table->setItem(row, 1, new QTableWidgetItem(QString::number(1200 + row * 317)));
        table->setItem(row, 2, new QTableWidgetItem(QStringLiteral("letters/2024")));
    }
    SetResizeHook(list, ResizeHook{[table](QWidget* w) {
                      table->setGeometry(w->contentsRect().adjusted(2, 2, -2, -2));
                  }});

    auto* status = new QStatusBar(&form);
    status->showMessage(QStringLiteral("Quorra Rowsmith 1.0"));
    // The form's own resize handler keeps the status bar at the bottom; the layout calls it after
    // every arrangement.
    SetResizeHook(&form, ResizeHook{[status](QWidget* w) {
        status->setGeometry(0, w->height() - 22, w->width(), 22);
    }});
    status->setGeometry(0, form.height() - 22, form.width(), 22);

    TeasyPanel layout;
    SetupLayout(layout, &form, false);
    layout.Animate = 0;
    SetOrder(layout, "panel1,panel2,panel6,panel4", false);
    HideTitleBar(layout, SlotOfPanel(layout, start_panel), false);
    Activate(layout);
    TitleMenuCommand(layout, layout_word.toStdString(), -1);

    form.show();
    if (path.isEmpty()) return QApplication::exec();

    int result = 0;
    QTimer::singleShot(300, [&] {
        if (!form.grab().save(path, "PNG")) {
            std::fprintf(stderr, "rowsmith-layout-demo: could not write %s\n", qPrintable(path));
            result = 1;
        }
        QApplication::quit();
    });
    QApplication::exec();
    return result;
}
