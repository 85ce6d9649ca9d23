#pragma once

#include <QObject>
#include <QProcess>

#include <string>

namespace Keldar::GUI::Tools {

// Asks the installer's maintenance program (run with the argument "ch")
// whether updates exist, without blocking. A normal exit with code 0 and
// "<updates>" in the output means an update is available; a crash reports
// nothing.
class UpdateChecker : public QObject
{
    Q_OBJECT

public:
    explicit UpdateChecker(QObject* parent = nullptr);
    ~UpdateChecker() override;

    void checkForUpdate(const std::string& maintenanceProgramPath);
    bool isChecking() const;

signals:
    void updateAvailable();
    void noUpdatesAvailable();
    void error();

private:
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onErrorOccurred(QProcess::ProcessError processError);

    QProcess process;
};

} // namespace Keldar::GUI::Tools
