#include "gui/logic/launch_command.h"

#include <gtest/gtest.h>

#include <map>

namespace rowsmith::gui {
namespace {

using Words = std::vector<std::string>;

TEST(BuildLaunchCommand, CutsBeforePercentOneAndAppendsTheAddress) {
    struct Case {
        const char* command;
        const char* expected;
    } cases[] = {
        // Quoted "%1": cut before its quote, so the address follows two blanks; later arguments go.
        {R"("C:\Program Files\Browser\b.exe" "%1" -new-window)",
         R"("C:\Program Files\Browser\b.exe"  http://h/p)"},
        {R"(b.exe -url "%1")", R"(b.exe -url  http://h/p)"},
        {"b.exe %1 -x", "b.exe  http://h/p"},
        {"b.exe", "b.exe http://h/p"},
        {"", " http://h/p"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildLaunchCommand(c.command, "http://h/p"), c.expected) << c.command;
}

TEST(ExecToOpenCommand, FieldCodesPlayTheRoleOfPercentOne) {
    struct Case {
        const char* exec;
        const char* expected;
    } cases[] = {
        {"firefox-esr %u", R"(firefox-esr "%1")"},
        {"chromium %U --flag %i", R"(chromium "%1" --flag )"},
        {"viewer --name=%c %f %F", R"(viewer --name= "%1" )"},  // only the first file code is the address
        {"echo 100%% %k", "echo 100% "},
        {"plain", "plain"},
    };
    for (const Case& c : cases) EXPECT_EQ(ExecToOpenCommand(c.exec), c.expected) << c.exec;
}

TEST(DesktopEntryExec, ReadsTheMainGroupOnly) {
    const char* file =
        "# comment\n"
        "[Desktop Action new-window]\n"
        "Exec=browser --new-window %u\n"
        "[Desktop Entry]\r\n"
        "Name=Browser\n"
        "Exec[de]=falsch %u\n"
        "Exec = /opt/my\\sbrowser/run %u\r\n"
        "[Other]\n"
        "Exec=other\n";
    EXPECT_EQ(DesktopEntryExec(file), "/opt/my browser/run %u");
    EXPECT_EQ(DesktopEntryExec("[Desktop Entry]\nName=x\n"), "");
    EXPECT_EQ(DesktopEntryExec(""), "");
}

TEST(SplitCommand, HonoursQuotesAndEscapes) {
    struct Case {
        const char* command;
        Words words;
    } cases[] = {
        {"a b  c", {"a", "b", "c"}},
        {R"("/opt/my browser/run" --x)", {"/opt/my browser/run", "--x"}},
        {R"(say "a \"quoted\" \\ word")", {"say", R"(a "quoted" \ word)"}},
        {R"(empty "" end)", {"empty", "", "end"}},
        {R"(a\b)", {R"(a\b)"}},  // outside quotes a backslash is an ordinary character
        {"  ", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitCommand(c.command), c.words) << c.command;
}

TEST(DesktopFileFolders, UsesTheXdgDefaults) {
    EXPECT_EQ(DesktopFileFolders("", "/home/u", ""),
              (Words{"/home/u/.local/share/applications", "/usr/local/share/applications",
                     "/usr/share/applications"}));
    EXPECT_EQ(DesktopFileFolders("/data/", "/home/u", "/a:/b/::/c"),
              (Words{"/data/applications", "/a/applications", "/b/applications", "/c/applications"}));
}

TEST(DesktopFileNames, ReadsTheFirstDashAsASubfolder) {
    EXPECT_EQ(DesktopFileNames("firefox.desktop"), Words{"firefox.desktop"});
    EXPECT_EQ(DesktopFileNames("kde-foo.desktop"), (Words{"kde-foo.desktop", "kde/foo.desktop"}));
    EXPECT_TRUE(DesktopFileNames("").empty());
    EXPECT_TRUE(DesktopFileNames("../evil.desktop").empty());
}

TEST(HandlerTypesFor, WebAddressesAskTheSchemeFirst) {
    EXPECT_EQ(HandlerTypesFor("HTTP://x").front(), "x-scheme-handler/http");
    EXPECT_EQ(HandlerTypesFor("https://x").front(), "x-scheme-handler/https");
    EXPECT_EQ(HandlerTypesFor("file:///usr/share/rowsmith/help/rowsmith/index.htm").front(), "text/html");
}

TEST(PlanLaunch, StartsTheDefaultHandlerWithTheAddressAsOneArgument) {
    const std::map<std::string, std::string> handlers = {
        {"text/html", R"("/opt/web browser/run" --new %u --x)"}};
    const auto lookup = [&](std::string_view type) {
        const auto it = handlers.find(std::string(type));
        return it == handlers.end() ? std::string() : it->second;
    };
    const LaunchPlanT plan = PlanLaunch("file:///help/a%20b.htm?1.0", lookup);
    EXPECT_TRUE(plan.from_handler);
    EXPECT_EQ(plan.program, "/opt/web browser/run");
    EXPECT_EQ(plan.arguments, (Words{"--new", "file:///help/a%20b.htm?1.0"}));

    // A web address asks the scheme handler first and falls back to the .htm handler.
    EXPECT_EQ(PlanLaunch("http://example.org/x", lookup).program, "/opt/web browser/run");
}

TEST(PlanLaunch, FallsBackToXdgOpen) {
    const auto none = [](std::string_view) { return std::string(); };
    const LaunchPlanT web = PlanLaunch("http://example.org/p?q=1", none);
    EXPECT_FALSE(web.from_handler);
    EXPECT_EQ(web.program, "xdg-open");
    EXPECT_EQ(web.arguments, Words{"http://example.org/p?q=1"});
    // xdg-open takes a file address as a file name: the query goes.
    EXPECT_EQ(PlanLaunch("file:///help/rowsmith/index.htm?1.0", none).arguments,
              Words{"file:///help/rowsmith/index.htm"});
    // An Exec line without a program is no handler.
    EXPECT_EQ(PlanLaunch("http://x", [](std::string_view) { return std::string("%u"); }).program, "xdg-open");
    EXPECT_EQ(PlanLaunch("http://x", {}).program, "xdg-open");
}

}  // namespace
}  // namespace rowsmith::gui
