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
const QByteArray taken = QByteArrayLiteral("taken\n");
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

bool RunningViewer::handOver(const QString& path)
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(answerWaitMs)) {
        return false;
    }
    const QByteArray request = QFile::encodeName(QFileInfo(path).absoluteFilePath()) + '\n';
    if (request.size() > longestRequest) {
        return false;
    }
    socket.write(request);
    if (!socket.waitForBytesWritten(answerWaitMs)) {
        return false;
    }
    QByteArray answer;
    while (answer.size() < taken.size() && socket.waitForReadyRead(answerWaitMs)) {
        answer += socket.read(taken.size() - answer.size());
    }
    return answer == taken;
}

bool RunningViewer::listen()
{
    const QString name = serverName();
    // Asked first: a listen with access options would replace the running
    // viewer's socket, not fail.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(answerWaitMs)) {
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
            socket->write(taken);
            socket->flush();
            socket->disconnectFromServer();
            if (!path.isEmpty()) {
                emit fileRequested(path);
            }
        });
    }
}

} // namespace Keldar::OndrixLumivane
