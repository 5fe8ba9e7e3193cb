// How long QuizNewt leaves the server's PING unanswered while members start
// games: a loopback server that plays the IRC network sends 20 "!start" lines
// from a member with the control right, then a PING, and times the PONG.

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <cstdio>

#include "app/quiznewt.h"
#include "gui/messagebox.h"
#include "tests/common/testdatabase.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    isolateSettings();
    MessageBox::setTestMode(true);

    TestDatabase db;
    QTcpServer server;
    if (!db.isValid() || !server.listen(QHostAddress::LocalHost)) {
        std::printf("no database or server: %s\n", qPrintable(db.error()));
        return 1;
    }
    db.addUser(QStringLiteral("Host"), 0, 1, 0);
    db.addQuestions(db.addCategory(QStringLiteral("Capitals")), 100);
    db.makeInstallDir();
    QSettings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"))
        .setValue(QStringLiteral("Room/Port"), server.serverPort());

    const int starts = 20;
    QElapsedTimer sincePing;
    qint64 pongMs = -1;
    QTcpSocket* client = nullptr;
    QByteArray buffer;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        client = server.nextPendingConnection();
        QObject::connect(client, &QTcpSocket::readyRead, [&] {
            buffer += client->readAll();
            qsizetype end;
            while ((end = buffer.indexOf('\n')) >= 0) {
                const QByteArray line = buffer.left(end).trimmed();
                buffer.remove(0, end + 1);
                if (line.startsWith("USER")) {
                    client->write(":bench 001 QuizNewt :Welcome\r\n");
                } else if (line.startsWith("JOIN")) {
                    client->write(":QuizNewt!q@localhost JOIN #trivia\r\n");
                    for (int i = 0; i < starts; ++i)
                        client->write(":Host!h@localhost PRIVMSG #trivia :!start Capitals\r\n");
                    client->write("PING :bench\r\n");
                    client->flush();
                    sincePing.start();
                } else if (line.startsWith("PONG") && pongMs < 0) {
                    pongMs = sincePing.elapsed();
                }
            }
        });
    });

    QuizNewt window;
    window.pbConnect->click();
    if (!QTest::qWaitFor([&] { return pongMs >= 0; }, 120000)) {
        std::printf("no PONG within 120 s\n");
        return 1;
    }
    std::printf("%-52s %6lld ms\n", "PONG delay after 20 !start lines (target < 1000)", pongMs);
    return 0;
}
