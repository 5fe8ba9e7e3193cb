#include "ircservices.h"

#include "roomlink/ircmessage.h"
#include "tests/common/serverprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpSocket>

#include <unistd.h>

// Facts that cost time to find out:
// - inspircd refuses to start as root (exit code 8) unless given --runasroot.
// - inspircd stays up when a listener fails to bind.
// - atheme 7.2 speaks the InspIRCd 2.0 link protocol (1202), which inspircd 3
//   still accepts; its module names are relative to its own module folder.
// - inspircd offers the sasl capability only while the server named in
//   <sasl target> is linked, so readiness means "SaslServ is on the network".
// - NickServ REGISTER names the account after the nick that sends it.
// - atheme throttles REGISTER unless ratelimit_uses/ratelimit_period are unset.
// - inspircd welcomes a client about 1 s after its USER line, whatever the
//   config, so every helper connection here costs a second.

namespace {

const QByteArray servicesName = "services.quiznewt.test";
const QByteArray linkPassword = "quiznewt-link";

} // namespace

IrcServicesServer::IrcServicesServer()
{
    const QStringList paths{QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/sbin")};
    const QString ircdProgram = QStandardPaths::findExecutable(QStringLiteral("inspircd"), paths);
    const QString servicesProgram = QStandardPaths::findExecutable(QStringLiteral("atheme-services"), paths);
    if (ircdProgram.isEmpty() || servicesProgram.isEmpty()) {
        lastError = QStringLiteral("inspircd or atheme-services is not installed");
        return;
    }
    if (!dir.isValid()) {
        lastError = QStringLiteral("no temporary folder: %1").arg(dir.errorString());
        return;
    }
    // The free ports may be taken between the probe and the daemons' bind.
    const QDeadlineTimer deadline(60000);
    for (int attempt = 0; attempt < 3 && !running && !deadline.hasExpired(); ++attempt)
        running = startOnce(ircdProgram, servicesProgram, deadline);
}

IrcServicesServer::~IrcServicesServer()
{
    stop();
}

void IrcServicesServer::stop()
{
    stopServerProcess(services);
    stopServerProcess(ircd);
}

bool IrcServicesServer::writeConfigs()
{
    const QByteArray path = QFile::encodeName(dir.path());
    const QByteArray ircdConf =
        "<server name=\"irc.quiznewt.test\" description=\"QuizNewt test server\" network=\"QuizNewtTest\">\n"
        "<admin name=\"test\" nick=\"test\" email=\"test@example.invalid\">\n"
        "<path configdir=\"" + path + "\" datadir=\"" + path + "\" logdir=\"" + path + "\">\n"
        "<pid file=\"" + path + "/inspircd.pid\">\n"
        "<bind address=\"127.0.0.1\" port=\"" + QByteArray::number(clientPort) + "\" type=\"clients\">\n"
        "<bind address=\"127.0.0.1\" port=\"" + QByteArray::number(linkPort) + "\" type=\"servers\">\n"
        // No lookups: nothing may leave the loopback interface.
        "<connect allow=\"*\" timeout=\"60\" pingfreq=\"120\" localmax=\"1000\" globalmax=\"1000\""
        " resolvehostnames=\"no\" useident=\"no\">\n"
        "<dns server=\"127.0.0.1\" timeout=\"1\">\n"
        "<module name=\"cap\">\n<module name=\"sasl\">\n<module name=\"services_account\">\n"
        "<module name=\"spanningtree\">\n"
        "<link name=\"" + servicesName + "\" ipaddr=\"127.0.0.1\" port=\"" + QByteArray::number(linkPort)
        + "\" allowmask=\"127.0.0.0/8\" sendpass=\"" + linkPassword + "\" recvpass=\"" + linkPassword + "\">\n"
        "<uline server=\"" + servicesName + "\" silent=\"yes\">\n"
        "<sasl target=\"" + servicesName + "\" requiressl=\"no\">\n";
    const QByteArray servicesConf =
        "loadmodule \"modules/protocol/inspircd\";\n"
        "loadmodule \"modules/backend/opensex\";\n"
        "loadmodule \"modules/crypto/pbkdf2v2\";\n"
        "loadmodule \"modules/nickserv/main\";\n"
        "loadmodule \"modules/nickserv/register\";\n"
        "loadmodule \"modules/nickserv/identify\";\n"
        "loadmodule \"modules/saslserv/main\";\n"
        "loadmodule \"modules/saslserv/plain\";\n"
        "serverinfo {\n"
        "  name = \"" + servicesName + "\"; desc = \"QuizNewt test services\"; numeric = \"00A\";\n"
        "  recontime = 1; netname = \"QuizNewtTest\"; hidehostsuffix = \"users.quiznewt.test\";\n"
        "  adminname = \"test\"; adminemail = \"test@example.invalid\";\n"
        "  registeremail = \"noreply@example.invalid\";\n" // no mta: no mail is sent
        "  loglevel = { error; info; admin; network; };\n"
        "  maxlogins = 5; maxusers = 50; mdlimit = 30; emaillimit = 10; emailtime = 300;\n"
        "  auth = none; casemapping = rfc1459;\n"
        "};\n"
        "uplink \"irc.quiznewt.test\" {\n"
        "  host = \"127.0.0.1\"; port = " + QByteArray::number(linkPort) + "; password = \"" + linkPassword + "\";\n"
        "};\n"
        "nickserv { nick = \"NickServ\"; user = \"NickServ\"; host = \"" + servicesName + "\";"
        " real = \"Nickname Services\"; maxnicks = 5; expire = 30; };\n"
        "saslserv { nick = \"SaslServ\"; user = \"SaslServ\"; host = \"" + servicesName + "\";"
        " real = \"SASL Authentication Agent\"; };\n"
        "general { commit_interval = 5; flood_msgs = 0; flood_time = 10; kline_time = 7;"
        " clone_time = 0; uplink_sendq_limit = 1048576; language = \"en\"; };\n";
    if (!writeFile(dir.filePath(QStringLiteral("inspircd.conf")), ircdConf)
        || !writeFile(dir.filePath(QStringLiteral("atheme.conf")), servicesConf)) {
        lastError = QStringLiteral("cannot write the configs in %1").arg(dir.path());
        return false;
    }
    return true;
}

bool IrcServicesServer::startOnce(const QString& ircdProgram, const QString& servicesProgram,
                                  const QDeadlineTimer& deadline)
{
    clientPort = freeLoopbackPort();
    do
        linkPort = freeLoopbackPort();
    while (linkPort == clientPort);
    if (!writeConfigs())
        return false;

    QStringList ircdArgs{QStringLiteral("--config"), dir.filePath(QStringLiteral("inspircd.conf")),
                         QStringLiteral("--nofork")};
    if (::geteuid() == 0)
        ircdArgs.append(QStringLiteral("--runasroot"));
    // A link port it could not bind shows only when the services fail to link.
    if (!startServerProcess(ircd, ircdProgram, ircdArgs, clientPort, 15000, &lastError))
        return false;

    services.setProcessChannelMode(QProcess::MergedChannels);
    services.start(servicesProgram,
                   {QStringLiteral("-n"), QStringLiteral("-c"), dir.filePath(QStringLiteral("atheme.conf")),
                    QStringLiteral("-D"), dir.path(), QStringLiteral("-l"), dir.filePath(QStringLiteral("atheme.log")),
                    QStringLiteral("-p"), dir.filePath(QStringLiteral("atheme.pid"))});
    if (!services.waitForStarted(15000) || !waitForServices(int(qMax<qint64>(1, deadline.remainingTime())))) {
        lastError = QStringLiteral("atheme did not link to inspircd: %1")
                        .arg(QString::fromUtf8(services.readAll().right(600)));
        stop();
        return false;
    }
    return true;
}

bool IrcServicesServer::waitForServices(int timeoutMs)
{
    bool linked = false;
    talk("linkprobe", timeoutMs, [&](const IrcMessage& message, QTcpSocket& socket) {
        if (message.command == "303") {
            const QList<QByteArray> present = ircLower(message.param(1)).split(' ');
            linked = present.contains("nickserv") && present.contains("saslserv");
            if (linked)
                return true;
            // Doubles as the pause between asks.
            services.waitForFinished(50);
            if (services.state() == QProcess::NotRunning)
                return true;
        } else if (message.command != "001") {
            return false;
        }
        socket.write("ISON NickServ SaslServ\r\n");
        socket.flush();
        return false;
    });
    return linked;
}

bool IrcServicesServer::registerAccount(const QByteArray& account, const QByteArray& password)
{
    if (!running)
        return false;
    QByteArray answer;
    const bool answered = talk(account, 30000, [&](const IrcMessage& message, QTcpSocket& socket) {
        if (message.command == "001") {
            socket.write("PRIVMSG NickServ :REGISTER " + password + ' ' + account + "@example.invalid\r\n");
            socket.flush();
        } else if (message.command == "432" || message.command == "433"
                   || (message.command == "NOTICE" && ircLower(message.nick()) == "nickserv")) {
            // NickServ's first word to this nick is its answer to REGISTER.
            answer = message.command + ' ' + message.params.join(' ');
            return true;
        }
        return false;
    });
    if (answered && answer.contains(" is now registered"))
        return true;
    lastError = QStringLiteral("NickServ did not register %1: %2")
                    .arg(QString::fromUtf8(account), answered ? QString::fromUtf8(answer) : QStringLiteral("no answer"));
    return false;
}

bool IrcServicesServer::talk(const QByteArray& nick, int timeoutMs, const LineHandler& handler)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, clientPort);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write("NICK " + nick + "\r\nUSER " + nick + " 0 * :QuizNewt test helper\r\n");
    socket.flush();
    while (!deadline.hasExpired()) {
        if (!socket.canReadLine() && !socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))
            && socket.state() != QAbstractSocket::ConnectedState)
            return false;
        while (socket.canReadLine()) {
            const IrcMessage message = IrcMessage::parse(socket.readLine().trimmed());
            if (message.command == "PING") {
                socket.write("PONG :" + message.param(0) + "\r\n");
                socket.flush();
            } else if (handler(message, socket)) {
                socket.write("QUIT\r\n");
                socket.waitForBytesWritten(1000);
                return true;
            }
        }
    }
    return false;
}
