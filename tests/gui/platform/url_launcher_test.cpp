#include "gui/platform/url_launcher.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <map>

namespace rowsmith::gui {
namespace {

// A launcher with a fixed desktop and a process start that is only recorded.
class FakeLauncher : public TpvlUrl {
  public:
    std::map<std::string, std::string> handlers;
    bool start_succeeds = true;
    std::string program;
    std::vector<std::string> arguments;

  protected:
    std::string DefaultHandlerExec(std::string_view type) override {
        const auto it = handlers.find(std::string(type));
        return it == handlers.end() ? std::string() : it->second;
    }
    bool StartProcess(const std::string& p, const std::vector<std::string>& a) override {
        program = p;
        arguments = a;
        return start_succeeds;
    }
};

TEST(TpvlUrl, StartsTheDefaultHandler) {
    FakeLauncher l;
    l.handlers["x-scheme-handler/http"] = "firefox-esr --private %u";
    l.SetUrl(QStringLiteral("http://example.org/help/intervals.htm"));
    EXPECT_EQ(l.UrlShowCommand(), TUrlShowCmd::ssShowDefault);
    QString error;
    EXPECT_TRUE(l.Launch(&error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(l.program, "firefox-esr");
    EXPECT_EQ(l.arguments, (std::vector<std::string>{"--private", "http://example.org/help/intervals.htm"}));
}

TEST(TpvlUrl, FailureToStartGivesTheMessage) {
    FakeLauncher l;
    l.start_succeeds = false;
    l.SetUrl(QStringLiteral("file:///nowhere/index.htm"));
    QString error;
    EXPECT_FALSE(l.Launch(&error));
    EXPECT_EQ(error, QStringLiteral("Couldn't launch default browser"));
    EXPECT_EQ(l.program, "xdg-open");  // no handler: the desktop's generic opener
}

TEST(TpvlUrl, TheOutcomeTellsAStartWithoutARegisteredProgram) {
    struct Case {
        const char* what;
        bool handler;
        bool starts;
        OpenOutcome outcome;
    } cases[] = {
        {"registered", true, true, OpenOutcome::Opened},
        // xdg-open starts, but finds nothing either on such a desktop: the window says so.
        {"none registered", false, true, OpenOutcome::NoHandler},
        {"not started", true, false, OpenOutcome::Failed},
        {"neither", false, false, OpenOutcome::Failed},
    };
    for (const Case& c : cases) {
        FakeLauncher l;
        if (c.handler) l.handlers["text/html"] = "browser %u";
        l.start_succeeds = c.starts;
        l.SetUrl(QStringLiteral("file:///help/index.htm"));
        EXPECT_EQ(l.LaunchOutcome(), c.outcome) << c.what;
        EXPECT_EQ(l.Launch(), c.starts) << c.what;
    }
}

// The bundled pages: present, self-contained HTML, and their links to each other resolve.
TEST(HelpPages, AreBundledAndLinkedCorrectly) {
    const QString folder = HelpFolder();
    ASSERT_FALSE(folder.isEmpty());
    for (const char* page : {kHomePagePath, kIntervalsHelpPath, kDestinationHelpPath}) {
        const QUrl url(HelpPageUrl(page));
        ASSERT_TRUE(url.isLocalFile()) << page;
        const QString path = url.toLocalFile();
        EXPECT_TRUE(path.startsWith(folder)) << page;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
        const QString html = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(html.startsWith(QStringLiteral("<!DOCTYPE html>"))) << page;
        EXPECT_TRUE(html.contains(QStringLiteral("<title>"))) << page;
        EXPECT_TRUE(html.contains(QStringLiteral("</html>"))) << page;
        // Nothing is fetched from elsewhere.
        EXPECT_FALSE(html.contains(QRegularExpression(QStringLiteral("(src|href)=\"https?:")))) << page;
        const QRegularExpression link(QStringLiteral("href=\"([^\"#?]+)"));
        for (auto it = link.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            EXPECT_TRUE(QFileInfo::exists(QFileInfo(path).dir().filePath(target)))
                << page << " links to a missing " << qPrintable(target);
        }
    }
    EXPECT_EQ(QUrl(HelpPageUrl(kHomePagePath)).query(), QStringLiteral("1.0"));
}

}  // namespace
}  // namespace rowsmith::gui
