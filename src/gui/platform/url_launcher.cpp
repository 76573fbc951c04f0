#include "gui/platform/url_launcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QStringList>
#include <QUrl>

namespace rowsmith::gui {

namespace {

QString Folder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() ? info.canonicalFilePath() : QString();
}

}  // namespace

bool TpvlUrl::Launch(QString* error) {
    return LaunchOutcome(error) != OpenOutcome::Failed;
}

OpenOutcome TpvlUrl::LaunchOutcome(QString* error) {
    const std::string url = url_.toStdString();
    const LaunchPlanT plan =
        PlanLaunch(url, [this](std::string_view type) { return DefaultHandlerExec(type); });
    if (StartProcess(plan.program, plan.arguments))
        return plan.from_handler ? OpenOutcome::Opened : OpenOutcome::NoHandler;
    if (error != nullptr) *error = QString::fromLatin1(kLaunchFailedMessage);
    return OpenOutcome::Failed;
}

std::string TpvlUrl::DefaultHandlerExec(std::string_view mime_type) {
    return DefaultHandlerExecFor(mime_type);
}

OpenOutcome OpenLocalFile(const QString& path, QString* mime_type) {
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    if (mime_type != nullptr) *mime_type = type;
    const bool registered = !DefaultHandlerExecFor(type.toStdString()).empty();
    // xdg-open is asked either way: it may know a program that xdg-mime does not report.
    if (!QProcess::startDetached(QStringLiteral("xdg-open"), {path})) return OpenOutcome::Failed;
    return registered ? OpenOutcome::Opened : OpenOutcome::NoHandler;
}

std::string DefaultHandlerExecFor(std::string_view mime_type) {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QString::fromUtf8(mime_type.data(), mime_type.size())});
    if (!query.waitForFinished(3000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        query.kill();
        return {};
    }
    const std::string id = QString::fromUtf8(query.readAllStandardOutput()).trimmed().toStdString();
    const std::vector<std::string> folders = DesktopFileFolders(
        qEnvironmentVariable("XDG_DATA_HOME").toStdString(), QDir::homePath().toStdString(),
        qEnvironmentVariable("XDG_DATA_DIRS").toStdString());
    for (const std::string& folder : folders) {
        for (const std::string& name : DesktopFileNames(id)) {
            QFile file(QString::fromStdString(folder + "/" + name));
            if (!file.open(QIODevice::ReadOnly)) continue;
            const std::string exec = DesktopEntryExec(file.readAll().toStdString());
            if (!exec.empty()) return exec;
        }
    }
    return {};
}

bool TpvlUrl::StartProcess(const std::string& program, const std::vector<std::string>& arguments) {
    QStringList args;
    for (const std::string& a : arguments) args << QString::fromStdString(a);
    return QProcess::startDetached(QString::fromStdString(program), args);
}

OpenOutcome OpenWebAddress(const QString& url) {
    TpvlUrl launcher;
    launcher.SetUrl(url);
    return launcher.LaunchOutcome();
}

bool OpenWebPage(const QString& url, QString* error) {
    TpvlUrl launcher;
    launcher.SetUrl(url);
    return launcher.Launch(error);
}

bool OpenWebPageOrWarn(QWidget* parent, const QString& url) {
    QString error;
    if (OpenWebPage(url, &error)) return true;
    QMessageBox::warning(parent, QCoreApplication::applicationName(), error);
    return false;
}

QString HelpFolder() {
    if (const QString env = Folder(qEnvironmentVariable("ROWSMITH_HELP_DIR")); !env.isEmpty()) return env;
    if (QCoreApplication::instance() != nullptr) {
        const QString installed =
            Folder(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/rowsmith/help"));
        if (!installed.isEmpty()) return installed;
    }
#ifdef ROWSMITH_SOURCE_HELP_DIR
    if (const QString source = Folder(QStringLiteral(ROWSMITH_SOURCE_HELP_DIR)); !source.isEmpty())
        return source;
#endif
    if (QCoreApplication::instance() == nullptr) return {};
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../share/rowsmith/help"));
}

QString HelpPageUrl(std::string_view page_path) {
    const PagePathT page = SplitPagePath(page_path);
    QUrl url = QUrl::fromLocalFile(HelpFolder() + QString::fromStdString(page.path));
    if (!page.query.empty()) url.setQuery(QString::fromStdString(page.query));
    return url.toString(QUrl::FullyEncoded);
}

}  // namespace rowsmith::gui
