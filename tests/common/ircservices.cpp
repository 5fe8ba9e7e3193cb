#include "ircservices.h"

#include "tests/common/serverprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

// Facts that cost time to find out:
// - inspircd refuses to start as root (exit code 8) unless given --runasroot.
// - inspircd stays up when a listener fails to bind.
// - atheme 7.2 speaks the InspIRCd 2.0 link protocol (1202), which inspircd 3
//   still accepts; its module names are relative to its own module folder.
// - inspircd offers the sasl capability only while the server named in
//   <sasl target> is linked; atheme prints "finished synching with uplink"
//   once it is.
// - With no crypto module loaded atheme keeps passwords as written, so an
//   account can be put in its database (opensex) before it starts; an
//   account flagged C would hold a hash it could not check.

namespace {

const QByteArray servicesName = "services.quiznewt.test";
const QByteArray linkPassword = "quiznewt-link";

} // namespace

IrcServicesServer::IrcServicesServer(const QByteArray& account, const QByteArray& password)
{
    const QStringList paths{QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/sbin")};
    const QString ircdProgram = QStandardPaths::findExecutable(QStringLiteral("inspircd"), paths);
    const QString servicesProgram = QStandardPaths::findExecutable(QStringLiteral("atheme-services"), paths);
    if (ircdProgram.isEmpty() || servicesProgram.isEmpty()) {
        lastError = QStringLiteral("inspircd or atheme-services is not installed");
        return;
    }
    if (!writeFile(dir.filePath(QStringLiteral("services.db")),
                   "DBV 12\nMU AAAAAAAAB " + account + ' ' + password + ' ' + account
                       + "@example.invalid 1700000000 1700000000 + default\n")) {
        lastError = QStringLiteral("cannot write the services' database in %1").arg(dir.path());
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
    QByteArray said;
    while (!said.contains("finished synching with uplink")
           && services.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
        said += services.readAll();
    if (!said.contains("finished synching with uplink")) {
        lastError = QStringLiteral("atheme did not link to inspircd: %1").arg(QString::fromUtf8(said.right(600)));
        stop();
        return false;
    }
    return true;
}
