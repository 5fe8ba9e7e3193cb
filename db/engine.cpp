#include "db/engine.h"
#include "db/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Database {

namespace {

// A directory only this user can change: owned by them, not a symlink, no
// one else's write bit. Made if missing.
bool isOwnDirectory(const QByteArray& path)
{
    ::mkdir(path.constData(), 0700);
    struct stat info = {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return false;
    return (info.st_mode & 022) == 0 || ::chmod(path.constData(), 0700) == 0;
}

// Swapped in whole, so a process starting beside this one reads either the
// old file or the new, never half of one.
bool placeSymlink(const QString& target, const QString& link)
{
    const QByteArray to = QFile::encodeName(target);
    const QByteArray at = QFile::encodeName(link);
    char current[4096];
    const ssize_t length = ::readlink(at.constData(), current, sizeof current);
    if (length >= 0 && QByteArray(current, length) == to)
        return true;
    const QByteArray temporary = at + '.' + QByteArray::number(::getpid());
    ::unlink(temporary.constData());
    return ::symlink(to.constData(), temporary.constData()) == 0 && ::rename(temporary.constData(), at.constData()) == 0;
}

bool placeFile(const QString& path, const QByteArray& content)
{
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == content)
        return true;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
}

// A root that is the system's with one change: SuperClassic, where each
// process runs its own engine and the engines share the lock directory's
// lock table, instead of one process holding the file alone. Empty when the
// engine is not installed or the directory cannot be made.
QString buildEngineRoot(const QString& home)
{
    const QString systemRoot = systemEngineRoot();
    const QString root = home + QStringLiteral("/root");
    if (systemRoot.isEmpty() || !isOwnDirectory(QFile::encodeName(root)))
        return {};
    const QDir system(systemRoot);
    for (const QString& name : system.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        if (name != QLatin1String("firebird.conf") && !placeSymlink(system.filePath(name), root + QLatin1Char('/') + name))
            return {};
    }
    const QByteArray conf = "# Written by QuizNewt: several processes may open one database file\n"
                            "# when they share one lock directory (FIREBIRD_LOCK).\n"
                            "ServerMode = SuperClassic\n"
                            "# An unreachable database server fails start-up within seconds.\n"
                            "ConnectTimeout = 8\n";
    return placeFile(root + QStringLiteral("/firebird.conf"), conf) ? root : QString();
}

QString engineHome()
{
    // A fixed place, not TMPDIR: every process of the user on a database
    // must find the same lock directory, or their engines corrupt the file.
    const QByteArray shared = "/tmp/quiznewt-firebird-" + QByteArray::number(::getuid());
    if (isOwnDirectory(shared))
        return QFile::decodeName(shared);
    const QString home = QDir::home().filePath(QStringLiteral(".quiznewt-firebird"));
    isOwnDirectory(QFile::encodeName(home));
    return home;
}

}

// The engine's own root holds its plugins, messages and character sets; its
// place is compiled into fbclient, so it is found beside the library.
QString systemEngineRoot()
{
    QStringList candidates;
    Dl_info info = {};
    void* symbol = ::dlsym(RTLD_DEFAULT, "isc_attach_database");
    if (symbol && ::dladdr(symbol, &info) && info.dli_fname)
        candidates << QFileInfo(QFile::decodeName(info.dli_fname)).canonicalPath() + QStringLiteral("/firebird/3.0");
    candidates << QStringLiteral("/usr/lib/firebird/3.0") << QStringLiteral("/opt/firebird");
    for (const QString& root : std::as_const(candidates)) {
        if (QFileInfo::exists(root + QStringLiteral("/plugins/libEngine12.so")))
            return root;
    }
    return {};
}

void prepareEngine()
{
    const bool lockSet = qEnvironmentVariableIsSet("FIREBIRD_LOCK");
    const bool rootSet = qEnvironmentVariableIsSet("FIREBIRD");
    if (lockSet && rootSet)
        return;
    const QString home = engineHome();
    // The engine's default lock directory, /tmp/firebird, may belong to
    // another user; then every open fails.
    if (!lockSet)
        qputenv("FIREBIRD_LOCK", QFile::encodeName(home));
    // Without a root of its own the engine runs as the system's firebird.conf
    // says: one process per database file.
    if (!rootSet) {
        static const QString root = buildEngineRoot(home);
        if (!root.isEmpty())
            qputenv("FIREBIRD", QFile::encodeName(root));
    }
}

QString statusText(const ISC_STATUS* status)
{
    QStringList parts;
    char buffer[512];
    const ISC_STATUS* vector = status;
    while (fb_interpret(buffer, sizeof buffer, &vector) > 0)
        parts << QString::fromLocal8Bit(buffer);
    return parts.join(QStringLiteral(": "));
}

QString Location::connectString() const
{
    if (!isServer())
        return path;
    return QStringLiteral("%1/%2:%3").arg(server).arg(port).arg(path);
}

QString Location::serviceManager() const
{
    return isServer() ? QStringLiteral("%1/%2:service_mgr").arg(server).arg(port) : QStringLiteral("service_mgr");
}

Location locationFrom(const Settings::Install& install, const Settings::Database& database)
{
    Location location;
    if (database.isServer()) {
        location.server = database.server;
        location.port = database.port;
        location.path = database.path;
        location.user = database.user;
        location.password = database.password;
    } else if (install.isSet()) {
        location.path = install.installDir + QLatin1Char('/') + fileName;
    } else {
        location.problem = QStringLiteral("InstallDir is not set");
    }
    return location;
}

Location locationFromSettings()
{
    return locationFromSettings(Settings::File());
}

Location locationFromSettings(const QSettings& settings)
{
    Settings::Problems installProblems;
    Settings::Problems databaseProblems;
    const auto install = Settings::load<Settings::Install>(settings, &installProblems);
    const auto database = Settings::load<Settings::Database>(settings, &databaseProblems);
    Location location = locationFrom(install, database);
    // A wrong Database setting counts even while Server is empty: it may be
    // the Server itself that could not be used.
    const Settings::Problems problems = databaseProblems + (database.isServer() ? Settings::Problems() : installProblems);
    if (!problems.isEmpty())
        location.problem = problems.join(QStringLiteral("; "));
    return location;
}

}
