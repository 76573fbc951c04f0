#pragma once
// How the web-page opener builds the browser's command line, free of the toolkit: the open command of
// the ".htm" type cut before its "%1", the desktop entry of the default handler on Linux, and the
// splitting of a command into a program and its arguments.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::gui {

// The pages the main window opens, under the help folder.
inline constexpr char kHomePagePath[] = "/rowsmith/index.htm?1.0";
inline constexpr char kIntervalsHelpPath[] = "/help/intervals.htm";
inline constexpr char kDestinationHelpPath[] = "/help/destinationpath.htm";

// How the browser window is shown. Linux desktops decide that themselves; the value is kept and
// mapped to the numbers the Windows show commands use.
enum class TUrlShowCmd {
    ssHide,
    ssMaximize,
    ssMinimize,
    ssRestore,
    ssShow,
    ssShowDefault,
    ssShowMaximized,
    ssShowMinimized,
    ssShowMinNoActivate,
    ssShowNA,
    ssShowNoActivate,
    ssShowNormal
};
int ShowCommandValue(TUrlShowCmd command);

// How handing an address or a file to the desktop went: started by the registered default program,
// started without one (xdg-open was left to find something, which usually does nothing), or not
// started at all.
enum class OpenOutcome : uint8_t { Opened, NoHandler, Failed };

// The open command up to just before a quoted "%1" (before its opening quote) or else a bare "%1"; the
// whole command when it has none.
std::string CutOpenCommand(std::string_view open_command);
// The open command cut just before a quoted "%1" (before its opening quote) or else before a bare
// "%1", then one blank and the address appended. Arguments after "%1" are dropped.
std::string BuildLaunchCommand(std::string_view open_command, std::string_view url);

// The Exec value of the [Desktop Entry] group of a desktop file's text; empty when it has none.
std::string DesktopEntryExec(std::string_view desktop_file);
// A desktop Exec line turned into an open command: the first %u, %U, %f or %F becomes "%1" (quoted, so
// that the cut drops it with its quote), the other field codes go, "%%" gives "%".
std::string ExecToOpenCommand(std::string_view exec);

// A command split at blanks outside double quotes; inside quotes a backslash escapes the next
// character. Quotes themselves are not part of the words.
std::vector<std::string> SplitCommand(std::string_view command);

// The folders searched for a handler's desktop file, most important first: $XDG_DATA_HOME (default
// $HOME/.local/share) and then every entry of $XDG_DATA_DIRS (default /usr/local/share:/usr/share),
// each with "/applications" appended.
std::vector<std::string> DesktopFileFolders(std::string_view xdg_data_home, std::string_view home,
                                            std::string_view xdg_data_dirs);

// The MIME types whose default handler opens an address, in the order they are asked: for an http or
// https address the scheme handler first, for everything else (file addresses) the .htm type first.
std::vector<std::string> HandlerTypesFor(std::string_view url);

// The names a desktop file id is looked up by inside an applications folder: the id itself and, for
// ids with "-", the id with its first "-" read as a subfolder ("kde-foo.desktop" -> "kde/foo.desktop").
std::vector<std::string> DesktopFileNames(std::string_view desktop_id);

// The program and arguments that open an address. handler_exec gives the Exec line of the default
// handler of a MIME type (empty when there is none); the types of HandlerTypesFor are asked in order.
// Without a usable handler the address goes to xdg-open (a file address without its query, which
// xdg-open would take as part of the file name).
struct LaunchPlanT {
    std::string program;
    std::vector<std::string> arguments;
    bool from_handler = false;
};
LaunchPlanT PlanLaunch(std::string_view url,
                       const std::function<std::string(std::string_view)>& handler_exec);

// Address and query of a help page path such as "/rowsmith/index.htm?1.0".
struct PagePathT {
    std::string path;
    std::string query;  // without "?"
};
PagePathT SplitPagePath(std::string_view page);

}  // namespace rowsmith::gui
