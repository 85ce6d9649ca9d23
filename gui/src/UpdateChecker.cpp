#include <keldar/gui/UpdateChecker.h>

#include <QFileInfo>

namespace Keldar::GUI::Tools {

UpdateChecker::UpdateChecker(QObject* parent)
    : QObject(parent)
{
    connect(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, &UpdateChecker::onFinished);
    connect(&process, &QProcess::errorOccurred, this, &UpdateChecker::onErrorOccurred);
}

UpdateChecker::~UpdateChecker()
{
    // Never leave the maintenance program orphaned, nor let its end reach a
    // half-destroyed object.
    process.disconnect(this);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(1000);
    }
}

void UpdateChecker::checkForUpdate(const std::string& maintenanceProgramPath)
{
    const QString path = QString::fromStdString(maintenanceProgramPath);
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        emit error();
        return;
    }
    if (process.state() != QProcess::NotRunning) {
        return; // one check at a time; the running one will answer
    }
    process.start(path, {QStringLiteral("ch")}, QIODevice::ReadWrite);
}

bool UpdateChecker::isChecking() const
{
    return process.state() != QProcess::NotRunning;
}

void UpdateChecker::onErrorOccurred(QProcess::ProcessError processError)
{
    // A crash also arrives as finished() with CrashExit, which reports
    // nothing; only failures to run or talk to the program are errors.
    if (processError == QProcess::Crashed) {
        return;
    }
    emit error();
}

void UpdateChecker::onFinished(int exitCode, QProcess::ExitStatus status)
{
    if (status != QProcess::NormalExit) {
        return;
    }
    if (exitCode != 0) {
        emit error();
        return;
    }
    const QByteArray output = process.readAllStandardOutput();
    if (output.contains("<updates>")) {
        emit updateAvailable();
    } else {
        emit noUpdatesAvailable();
    }
}

} // namespace Keldar::GUI::Tools
