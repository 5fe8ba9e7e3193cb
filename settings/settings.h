#ifndef SETTINGS_H
#define SETTINGS_H

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <optional>

// The program's settings: every group and key, its default and its check.
// Nothing else reads or writes the settings file.
namespace Settings {

inline const QString organisation = QStringLiteral("NewtLiberty");
inline const QString application = QStringLiteral("QuizNewt");

// One line per setting that cannot be used, naming it:
// Database/Port: "abc" is not a port number
using Problems = QStringList;

// Names the application ("NewtLiberty", "QuizNewt") and chooses the settings
// file: the user's usual one, or with a profile that profile's own,
// <config>/NewtLiberty/profiles/NAME/NewtLiberty/QuizNewt.conf. Call it
// before anything reads a setting. False, changing nothing, when the name is
// not 1 to 64 letters, digits, '-', '_' or '.' starting with a letter or digit.
bool setIdentity(const std::optional<QString>& profile = std::nullopt);

// The settings file, for interfaces that take a QSettings; its values are
// read and written only through load() and save().
class File : public QSettings
{
public:
    File();
};

// What a setting's value must be.
enum class Kind {
    Text,         // one line
    Secret,       // one line, never shown in a message
    Directory,    // an absolute path; empty: not set
    Host,         // a host name or address
    OptionalHost, // the same, or empty
    Port,         // 1 to 65535
    Seconds,      // whole seconds, 0 to 86400
    Flag,         // true or false
    Nick,         // one word without , : ! or @
    Channel,      // one word without ',', given a '#' unless it starts with # & + or !
    Judging,      // exact or lenient
    Words,        // words separated by blanks, kept in lower case
};

// A group's fields() hands each of its settings to this; loading, checking
// and saving walk the same list, so a key is named once.
class FieldVisitor
{
public:
    virtual void field(const char* key, Kind kind, QString& value) = 0;
    virtual void field(const char* key, Kind kind, int& value) = 0;
    virtual void field(const char* key, Kind kind, bool& value) = 0;

protected:
    ~FieldVisitor() = default;
};

// A group is a value struct: `group`, its name in the file (empty: the top
// level); the settings as members whose initialisers are the defaults;
// fields(), each key with its kind; together(), checks across settings.

struct Install
{
    static constexpr const char* group = "";
    QString installDir;

    // Empty counts as not set, as missing does.
    bool isSet() const { return !installDir.isEmpty(); }

    void fields(FieldVisitor& f) { f.field("InstallDir", Kind::Directory, installDir); }
    Problems together() const { return {}; }
};

struct Room
{
    static constexpr const char* group = "Room";
    QString server = QStringLiteral("127.0.0.1");
    int port = 6667;
    bool tls = false;
    QString password; // sent with PASS when set
    QString nick = QStringLiteral("QuizNewt");
    QString channel = QStringLiteral("#trivia");
    // SASL PLAIN before joining; empty user: no login.
    QString saslUser;
    QString saslPassword;
    bool autoConnect = false;
    // Seconds before going back into the room after a kick; 0: never.
    int rejoinAfterKick = 30;
    // Greet the room again when the link returns on its own.
    bool greetOnRejoin = true;

    // SASL sends the password in clear over a connection without TLS.
    bool saslInClear() const { return !saslUser.isEmpty() && !tls; }

    void fields(FieldVisitor& f)
    {
        f.field("Server", Kind::Host, server);
        f.field("Port", Kind::Port, port);
        f.field("Tls", Kind::Flag, tls);
        f.field("Password", Kind::Secret, password);
        f.field("Nick", Kind::Nick, nick);
        f.field("Channel", Kind::Channel, channel);
        f.field("SaslUser", Kind::Text, saslUser);
        f.field("SaslPassword", Kind::Secret, saslPassword);
        f.field("AutoConnect", Kind::Flag, autoConnect);
        f.field("RejoinAfterKick", Kind::Seconds, rejoinAfterKick);
        f.field("GreetOnRejoin", Kind::Flag, greetOnRejoin);
    }
    Problems together() const;
};

// A Firebird server; while Server is empty every program uses the file in
// InstallDir instead.
struct Database
{
    static constexpr const char* group = "Database";
    QString server;
    int port = 3050;
    QString path; // the database's path or alias on the server
    QString user = QStringLiteral("sysdba");
    QString password = QStringLiteral("wqpd418");

    bool isServer() const { return !server.isEmpty(); }

    void fields(FieldVisitor& f)
    {
        f.field("Server", Kind::OptionalHost, server);
        f.field("Port", Kind::Port, port);
        f.field("Path", Kind::Text, path);
        f.field("User", Kind::Text, user);
        f.field("Password", Kind::Secret, password);
    }
    Problems together() const;
};

// How the game judges answers.
struct Game
{
    static constexpr const char* group = "Game";
    QString judging = QStringLiteral("exact");
    // Words lenient judging drops from the start of a line and an answer.
    QString articles = QStringLiteral("a an the");

    QStringList articleList() const { return articles.split(QLatin1Char(' '), Qt::SkipEmptyParts); }

    void fields(FieldVisitor& f)
    {
        f.field("Judging", Kind::Judging, judging);
        f.field("Articles", Kind::Words, articles);
    }
    Problems together() const { return {}; }
};

namespace detail {
using Fields = std::function<void(FieldVisitor&)>;
void read(const char* group, const Fields& fields, const QSettings* file, const QVariantMap& given, Problems* problems);
Problems validate(const char* group, const Fields& fields);
bool write(const char* group, const Fields& fields, QString* error);
bool remove(const char* group, QString* error);
}

// The group as the file has it: defaults for what is missing, and for what
// cannot be used, which *problems names. `given` (keys as in the file, such
// as "Port") takes the place of the file's values, checked the same way.
template <class Group>
Group load(Problems* problems = nullptr, const QVariantMap& given = {})
{
    const File file;
    Group values;
    detail::read(Group::group, [&](FieldVisitor& f) { values.fields(f); }, &file, given, problems);
    if (problems)
        *problems += values.together();
    return values;
}

// The same from another settings object.
template <class Group>
Group load(const QSettings& file, Problems* problems = nullptr)
{
    Group values;
    detail::read(Group::group, [&](FieldVisitor& f) { values.fields(f); }, &file, {}, problems);
    if (problems)
        *problems += values.together();
    return values;
}

// The defaults with `given` in their place, without the file.
template <class Group>
Group parse(const QVariantMap& given, Problems* problems = nullptr)
{
    Group values;
    detail::read(Group::group, [&](FieldVisitor& f) { values.fields(f); }, nullptr, given, problems);
    if (problems)
        *problems += values.together();
    return values;
}

// Checks values set in the program, tidying them as load() does (blanks
// around names, the channel's '#'). Empty when every setting can be used.
template <class Group>
Problems validate(Group& values)
{
    return detail::validate(Group::group, [&](FieldVisitor& f) { values.fields(f); }) + values.together();
}

// Writes every setting of the group, after validate(); the file is made
// owner-only before anything is written to it. False, writing nothing, with
// *error the first problem, or that the file cannot be written.
template <class Group>
bool save(Group values, QString* error)
{
    const Problems problems = validate(values);
    if (!problems.isEmpty()) {
        *error = problems.first();
        return false;
    }
    return detail::write(Group::group, [&](FieldVisitor& f) { values.fields(f); }, error);
}

// Removes the group, so that every setting of it is its default again.
template <class Group>
bool reset(QString* error)
{
    static_assert(Group::group[0] != '\0', "only a named group can be removed");
    return detail::remove(Group::group, error);
}

}

#endif
