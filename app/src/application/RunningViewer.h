#pragma once

#include "controller/SourceArbiter.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

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
    /// What the running viewer made of a path: taken (Go), asked about
    /// (Ask), kept until its work ends (Wait) or refused, with its words.
    struct Answer
    {
        SourceAnswer answer = SourceAnswer::Refuse;
        QString message;
    };
    /// Hands `path` to the running viewer; its answer, or nothing when there
    /// is none (or it did not answer).
    [[nodiscard]] static std::optional<Answer> handOver(const QString& path);
    /// Whether a viewer takes paths for this user and settings store.
    [[nodiscard]] static bool isRunning();

    /// Who answers a path handed over; called on the GUI thread.
    void setAnswerer(std::function<Answer(const QString& path)> answerer);
    /// Starts taking paths from later processes; false when another viewer
    /// already does.
    bool listen();

private:
    void accept();

    QLocalServer* server;
    std::function<Answer(const QString& path)> answerer;
};

} // namespace Keldar::OndrixLumivane
