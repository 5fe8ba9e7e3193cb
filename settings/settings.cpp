#include "settings/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace Settings {

namespace {

// The room link's rules: these never appear in a nick or a channel name.
const QString nickExcluded = QStringLiteral(",:!@");
const QString channelExcluded = QStringLiteral(",");
const QString channelPrefixes = QStringLiteral("#&+!");

const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;

QString fullKey(const char* group, const char* key)
{
    const QString name = QLatin1String(key);
    return *group ? QLatin1String(group) + QLatin1Char('/') + name : name;
}

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

// The value between quotes, control characters made visible.
QString quoted(const QString& text)
{
    QString shown;
    for (const QChar c : text)
        shown += isControl(c) ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0')) : QString(c);
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

// One word: no blank, no control character, none of `excluded`.
bool isWord(const QString& text, const QString& excluded)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c.isSpace() || isControl(c) || excluded.contains(c))
            return false;
    }
    return true;
}

// The one check of a value: the value as the program uses it, or an invalid
// QVariant with *why saying what is wrong with it.
QVariant accept(Kind kind, const QVariant& raw, QString* why)
{
    // The file's format splits an unquoted value at its commas.
    if (raw.typeId() == QMetaType::QStringList) {
        *why = QStringLiteral("a value with a comma needs double quotes in the file");
        return {};
    }
    const QString text = raw.toString();
    switch (kind) {
    case Kind::Flag: {
        if (raw.typeId() == QMetaType::Bool)
            return raw;
        const QString word = text.trimmed().toLower();
        if (word == QLatin1String("true") || word == QLatin1String("1") || word == QLatin1String("yes")
            || word == QLatin1String("on"))
            return true;
        if (word == QLatin1String("false") || word == QLatin1String("0") || word == QLatin1String("no")
            || word == QLatin1String("off"))
            return false;
        *why = QStringLiteral("%1 is not true or false").arg(quoted(text));
        return {};
    }
    case Kind::Port: {
        bool ok = false;
        const int port = text.trimmed().toInt(&ok);
        if (ok && port >= 1 && port <= 65535)
            return port;
        *why = QStringLiteral("%1 is not a port number").arg(quoted(text));
        return {};
    }
    case Kind::Seconds: {
        bool ok = false;
        const int seconds = text.trimmed().toInt(&ok);
        if (ok && seconds >= 0 && seconds <= 86400)
            return seconds;
        *why = QStringLiteral("%1 is not a number of seconds from 0 to 86400").arg(quoted(text));
        return {};
    }
    case Kind::Host:
    case Kind::OptionalHost: {
        const QString host = text.trimmed();
        if ((kind == Kind::OptionalHost && host.isEmpty()) || isWord(host, {}))
            return host;
        *why = QStringLiteral("%1 is not a host name").arg(quoted(text));
        return {};
    }
    case Kind::Nick: {
        const QString nick = text.trimmed();
        if (isWord(nick, nickExcluded))
            return nick;
        *why = QStringLiteral("%1 is not a nick: one word without , : ! or @").arg(quoted(text));
        return {};
    }
    case Kind::Channel: {
        const QString channel = text.trimmed();
        if (isWord(channel, channelExcluded))
            return channelPrefixes.contains(channel.at(0)) ? channel : QLatin1Char('#') + channel;
        *why = QStringLiteral("%1 is not a channel: one word without a comma, such as #trivia").arg(quoted(text));
        return {};
    }
    case Kind::Judging: {
        const QString word = text.trimmed().toLower();
        if (word == QLatin1String("exact") || word == QLatin1String("lenient"))
            return word;
        *why = QStringLiteral("%1 is not exact or lenient").arg(quoted(text));
        return {};
    }
    case Kind::Words:
        if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')) && !text.contains(QChar(0)))
            return text.simplified().toLower();
        break;
    case Kind::Text:
    case Kind::Secret:
    case Kind::Directory:
        break;
    }
    // A secret is never shown, so neither is any other text here.
    if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) || text.contains(QChar(0))) {
        *why = QStringLiteral("the value holds a line break or NUL");
        return {};
    }
    if (kind == Kind::Directory && !text.isEmpty() && !QDir::isAbsolutePath(text)) {
        *why = QStringLiteral("%1 is not an absolute path").arg(quoted(text));
        return {};
    }
    return text;
}

// Funnels the three typed fields into one that works on a QVariant, whose
// changes are written back.
class VariantVisitor : public FieldVisitor
{
public:
    void field(const char* key, Kind kind, QString& value) override { visit(key, kind, value); }
    void field(const char* key, Kind kind, int& value) override { visit(key, kind, value); }
    void field(const char* key, Kind kind, bool& value) override { visit(key, kind, value); }

protected:
    ~VariantVisitor() = default;
    virtual void value(const char* key, Kind kind, QVariant& value) = 0;

private:
    template <class T>
    void visit(const char* key, Kind kind, T& member)
    {
        QVariant variant = QVariant::fromValue(member);
        value(key, kind, variant);
        member = variant.value<T>();
    }
};

class Reader final : public VariantVisitor
{
public:
    Reader(const char* group, const QSettings* file, const QVariantMap& given)
        : group(group), file(file), given(given)
    {
    }

    void value(const char* key, Kind kind, QVariant& value) override
    {
        const QString name = fullKey(group, key);
        QVariant raw;
        if (given.contains(QLatin1String(key)))
            raw = given.value(QLatin1String(key));
        else if (file && file->contains(name))
            raw = file->value(name);
        else
            return;
        used << QLatin1String(key);
        QString why;
        const QVariant accepted = accept(kind, raw, &why);
        if (why.isEmpty())
            value = accepted;
        else
            problems << name + QStringLiteral(": ") + why;
    }

    Problems finish()
    {
        for (auto it = given.cbegin(); it != given.cend(); ++it) {
            if (!used.contains(it.key()))
                problems << fullKey(group, qPrintable(it.key())) + QStringLiteral(": no such setting");
        }
        return problems;
    }

private:
    const char* group;
    const QSettings* file;
    const QVariantMap& given;
    Problems problems;
    QStringList used;
};

class Checker final : public VariantVisitor
{
public:
    explicit Checker(const char* group) : group(group) {}

    void value(const char* key, Kind kind, QVariant& value) override
    {
        QString why;
        const QVariant accepted = accept(kind, value, &why);
        if (why.isEmpty())
            value = accepted;
        else
            problems << fullKey(group, key) + QStringLiteral(": ") + why;
    }

    const char* group;
    Problems problems;
};

class Writer final : public VariantVisitor
{
public:
    Writer(const char* group, QSettings& file) : group(group), file(file) {}

    void value(const char* key, Kind, QVariant& value) override { file.setValue(fullKey(group, key), value); }

private:
    const char* group;
    QSettings& file;
};

// Before a value goes in: QSaveFile, which writes the settings, gives its new
// file the mode of the one it replaces, and a file made without one gets
// the umask's mode, so the file is made first, owner-only.
bool makeOwnerOnly(const QString& path)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnly))
        return true;
    return file.exists() && file.setPermissions(ownerOnly);
}

bool sync(QSettings& file, QString* error)
{
    file.sync();
    if (file.status() == QSettings::NoError)
        return true;
    *error = QStringLiteral("cannot write the settings file %1").arg(file.fileName());
    return false;
}

bool prepare(QSettings& file, QString* error)
{
    if (makeOwnerOnly(file.fileName()))
        return true;
    *error = QStringLiteral("cannot make the settings file %1 private to its owner").arg(file.fileName());
    return false;
}

}

bool setIdentity(const std::optional<QString>& profile)
{
    static const QRegularExpression valid(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9][A-Za-z0-9._-]{0,63}")));
    if (profile && !valid.match(*profile).hasMatch())
        return false;
    QCoreApplication::setOrganizationName(organisation);
    QCoreApplication::setApplicationName(application);
    // A profile is a place of its own for the usual file rather than another
    // application name, so every part of the program finds it the same way.
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (profile)
        base += QStringLiteral("/NewtLiberty/profiles/") + *profile;
    QSettings::setPath(QSettings::defaultFormat(), QSettings::UserScope, base);
    return true;
}

// The default format, so that a test can watch the writes.
File::File()
    : QSettings(QSettings::defaultFormat(), QSettings::UserScope, organisation, application)
{
}

Problems Room::together() const
{
    if (saslUser.isEmpty() && !saslPassword.isEmpty())
        return {QStringLiteral("Room/SaslPassword: set without Room/SaslUser, the account it belongs to")};
    return {};
}

Problems Database::together() const
{
    if (isServer() && path.isEmpty())
        return {QStringLiteral("Database/Path: not set, and Database/Server needs it")};
    return {};
}

namespace detail {

void read(const char* group, const Fields& fields, const QSettings* file, const QVariantMap& given, Problems* problems)
{
    Reader reader(group, file, given);
    fields(reader);
    const Problems found = reader.finish();
    if (problems)
        *problems += found;
}

Problems validate(const char* group, const Fields& fields)
{
    Checker checker(group);
    fields(checker);
    return checker.problems;
}

bool write(const char* group, const Fields& fields, QString* error)
{
    File file;
    if (!prepare(file, error))
        return false;
    Writer writer(group, file);
    fields(writer);
    return sync(file, error);
}

bool remove(const char* group, QString* error)
{
    File file;
    if (!prepare(file, error))
        return false;
    file.remove(QLatin1String(group));
    return sync(file, error);
}

}

}
