#pragma once
// TpvlUrl opens a web address in the user's default browser: the desktop's default handler for web
// pages (found through xdg) is started with the address, else xdg-open. Help pages are the bundled
// pages of the help folder, opened as file addresses.

#include <QObject>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "gui/logic/launch_command.h"

class QWidget;

namespace rowsmith::gui {

inline constexpr char kLaunchFailedMessage[] = "Couldn't launch default browser";

class TpvlUrl : public QObject {
    Q_OBJECT
  public:
    explicit TpvlUrl(QObject* parent = nullptr) : QObject(parent) {}

    QString Url() const { return url_; }
    void SetUrl(const QString& url) { url_ = url; }
    TUrlShowCmd UrlShowCommand() const { return show_; }
    void SetUrlShowCommand(TUrlShowCmd show) { show_ = show; }

    // Starts the browser with Url. False (and the failure message in error) when the process could not
    // be started; errors never leave as exceptions.
    bool Launch(QString* error = nullptr);
    // As Launch, telling also whether a registered default program was found (else xdg-open was asked).
    OpenOutcome LaunchOutcome(QString* error = nullptr);

  protected:
    // The Exec line of the default handler of a MIME type, empty when there is none.
    virtual std::string DefaultHandlerExec(std::string_view mime_type);
    virtual bool StartProcess(const std::string& program, const std::vector<std::string>& arguments);

  private:
    QString url_;
    TUrlShowCmd show_ = TUrlShowCmd::ssShowDefault;
};

// The Exec line of the desktop's default program for a MIME type (xdg-mime), empty when there is none.
std::string DefaultHandlerExecFor(std::string_view mime_type);
// Hands a local file to the desktop's default program for its type (xdg-open when one is registered
// or none can be told). `mime_type` gets the type the file was taken for.
OpenOutcome OpenLocalFile(const QString& path, QString* mime_type = nullptr);

// Opens an address with a TpvlUrl of its own, telling whether a registered program took it.
OpenOutcome OpenWebAddress(const QString& url);
// Opens an address with a TpvlUrl of its own; the failure message goes to error.
bool OpenWebPage(const QString& url, QString* error = nullptr);
// The same, showing the failure in a message box over parent.
bool OpenWebPageOrWarn(QWidget* parent, const QString& url);

// The folder of the bundled help pages: $ROWSMITH_HELP_DIR when set, else ../share/rowsmith/help next
// to the executable when it exists (an installed program), else the source tree's docs/help.
QString HelpFolder();
// A help page path such as "/rowsmith/index.htm?1.0" as a file address inside the help folder.
QString HelpPageUrl(std::string_view page_path);

}  // namespace rowsmith::gui
