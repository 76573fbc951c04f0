#include "gui/pvl_url.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
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
    const std::string url = url_.toStdString();
    const LaunchPlanT plan =
        PlanLaunch(url, [this](std::string_view type) { return DefaultHandlerExec(type); });
    if (StartProcess(plan.program, plan.arguments)) return true;
    if (error != nullptr) *error = QString::fromLatin1(kLaunchFailedMessage);
    return false;
}

std::string TpvlUrl::DefaultHandlerExec(std::string_view mime_type) {
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
