// The desktop program. Until the main window lands this shows a small window with the Start button
// and the help links.

#include <QApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/control_helpers.h"
#include "gui/g_panel.h"
#include "gui/grad_btn.h"
#include "gui/pvl_url.h"

using namespace rowsmith::gui;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rowsmith"));

    TGPanel window;
    window.setWindowTitle(QStringLiteral("Quorra Rowsmith 1.0"));
    window.SetHorizontal(false);
    window.SetColor_2(0xF0E0D0);
    RegisterFirstForm(&window);

    auto* start = new TGradBtn(&window);
    start->SetCaption(QStringLiteral("&Start"));
    start->SetGradientStyle(TGradientStyle::gsElliptic);
    start->setFixedSize(281, 33);

    auto* intervals = new QPushButton(QStringLiteral("Help: line intervals"), &window);
    auto* destination = new QPushButton(QStringLiteral("Help: destination paths"), &window);
    auto* home = new QPushButton(QStringLiteral("Home page"), &window);
    QObject::connect(intervals, &QPushButton::clicked,
                     [&] { OpenWebPageOrWarn(&window, HelpPageUrl(kIntervalsHelpPath)); });
    QObject::connect(destination, &QPushButton::clicked,
                     [&] { OpenWebPageOrWarn(&window, HelpPageUrl(kDestinationHelpPath)); });
    QObject::connect(home, &QPushButton::clicked,
                     [&] { OpenWebPageOrWarn(&window, HelpPageUrl(kHomePagePath)); });

    auto* links = new QHBoxLayout;
    links->addWidget(intervals);
    links->addWidget(destination);
    links->addWidget(home);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(start, 0, Qt::AlignHCenter);
    layout->addLayout(links);

    RecolourControls();
    ColourStartButton(start, kClRed);
    window.resize(520, 140);
    CentreForm(&window);
    window.show();
    return QApplication::exec();
}
