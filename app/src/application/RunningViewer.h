#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace Keldar::OndrixLumivane {

/// Recordings opened from outside (the file manager, a shell) go to the viewer
/// already running for this user and settings store, instead of starting
/// another. The name depends on the settings file, so viewers on different
/// stores (a test's private one) never meet.
class RunningViewer : public QObject
{
    Q_OBJECT

public:
    explicit RunningViewer(QObject* parent = nullptr);
    ~RunningViewer() override;

    /// The local socket's name for this user and the current settings store.
    [[nodiscard]] static QString serverName();
    /// Hands `path` to the running viewer; true once it has confirmed that it
    /// took it, false when there is none (or it did not answer).
    [[nodiscard]] static bool handOver(const QString& path);

    /// Starts taking paths from later processes; false when another viewer
    /// already does.
    bool listen();

signals:
    void fileRequested(QString path);

private:
    void accept();

    QLocalServer* server;
};

} // namespace Keldar::OndrixLumivane
