#include "application/RunningViewer.h"

#include "base/SettingsStore.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <unistd.h>

namespace Keldar::OndrixLumivane {

namespace {
// A path, its newline and nothing more: a client that sends more, or keeps a
// connection open, is dropped.
constexpr qint64 longestRequest = 4096;
constexpr int requestWaitMs = 5000;
constexpr int answerWaitMs = 3000;
constexpr qint64 longestAnswer = 4096;

// One line back: a word for the answer, then the viewer's message.
const char* answerWord(SourceAnswer answer)
{
    switch (answer) {
    case SourceAnswer::Go:
        return "taken";
    case SourceAnswer::Ask:
        return "asked";
    case SourceAnswer::Wait:
        return "queued";
    default:
        return "refused";
    }
}
} // namespace

RunningViewer::RunningViewer(QObject* parent)
    : QObject(parent)
    , server(new QLocalServer(this))
{
    server->setSocketOptions(QLocalServer::UserAccessOption);
    server->setMaxPendingConnections(8);
    connect(server, &QLocalServer::newConnection, this, &RunningViewer::accept);
}

RunningViewer::~RunningViewer() = default;

QString RunningViewer::serverName()
{
    const QString store = QFileInfo(openSettingsStore()->fileName()).absoluteFilePath();
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(store), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("ondrix-lumivane-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash.left(24)));
}

std::optional<RunningViewer::Answer> RunningViewer::handOver(const QString& path)
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(answerWaitMs)) {
        return std::nullopt;
    }
    const QByteArray request = QFile::encodeName(QFileInfo(path).absoluteFilePath()) + '\n';
    if (request.size() > longestRequest) {
        return std::nullopt;
    }
    socket.write(request);
    if (!socket.waitForBytesWritten(answerWaitMs)) {
        return std::nullopt;
    }
    QByteArray line;
    while (!line.contains('\n') && line.size() < longestAnswer && socket.waitForReadyRead(answerWaitMs)) {
        line += socket.read(longestAnswer - line.size());
    }
    if (!line.contains('\n')) {
        return std::nullopt;
    }
    line.truncate(line.indexOf('\n'));
    const QString text = QString::fromUtf8(line);
    const QString word = text.section(QLatin1Char(' '), 0, 0);
    Answer answer{SourceAnswer::Refuse, text.section(QLatin1Char(' '), 1)};
    for (const SourceAnswer known : {SourceAnswer::Go, SourceAnswer::Ask, SourceAnswer::Wait, SourceAnswer::Refuse}) {
        if (word == QLatin1String(answerWord(known))) {
            answer.answer = known;
            return answer;
        }
    }
    return std::nullopt;
}

bool RunningViewer::isRunning()
{
    QLocalSocket probe;
    probe.connectToServer(serverName());
    return probe.waitForConnected(answerWaitMs);
}

void RunningViewer::setAnswerer(std::function<Answer(const QString& path)> answerer)
{
    this->answerer = std::move(answerer);
}

bool RunningViewer::listen()
{
    const QString name = serverName();
    // Asked first: a listen with access options would replace the running
    // viewer's socket, not fail.
    if (isRunning()) {
        return false;
    }
    if (server->listen(name)) {
        return true;
    }
    // Nobody answers: a viewer that crashed left only its socket file behind.
    QLocalServer::removeServer(name);
    return server->listen(name);
}

void RunningViewer::accept()
{
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        socket->setParent(this);
        auto* buffer = new QByteArray;
        connect(socket, &QLocalSocket::disconnected, socket, [socket] { socket->deleteLater(); });
        connect(socket, &QObject::destroyed, this, [buffer] { delete buffer; });
        QTimer::singleShot(requestWaitMs, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            *buffer += socket->read(longestRequest + 1 - buffer->size());
            const int end = buffer->indexOf('\n');
            if (end < 0) {
                if (buffer->size() > longestRequest) {
                    socket->abort();
                }
                return;
            }
            const QString path = QFile::decodeName(buffer->left(end));
            buffer->clear();
            // The second process is told what becomes of its file.
            Answer answer{SourceAnswer::Refuse, QStringLiteral("The viewer takes no files.")};
            if (path.isEmpty()) {
                answer.message = QStringLiteral("No file was named.");
            } else if (answerer) {
                answer = answerer(path);
            }
            QByteArray line = answerWord(answer.answer);
            if (!answer.message.isEmpty()) {
                line += ' ' + answer.message.toUtf8().replace('\n', ' ');
            }
            socket->write(line.left(longestAnswer - 1) + '\n');
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

} // namespace Keldar::OndrixLumivane
