#include "web/webserver.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QUrlQuery>

#include "web/apijson.h"
#include "web/pages.h"

namespace Web {

namespace {

using Status = QHttpServerResponse::StatusCode;

// A longer name cannot be a member's: the column holds 255 characters.
const int longestName = 255;

// Scripts and styles only from this server: a text that escaping missed
// still could not run.
const QByteArray contentPolicy = QByteArrayLiteral(
    "default-src 'none'; style-src 'self'; script-src 'self'; connect-src 'self'; img-src 'self'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'");

QHttpServerResponse response(const QByteArray& mimeType, const QByteArray& body, Status status = Status::Ok)
{
    QHttpServerResponse answer(mimeType, body, status);
    answer.addHeader(QByteArrayLiteral("X-Content-Type-Options"), QByteArrayLiteral("nosniff"));
    answer.addHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
    return answer;
}

QHttpServerResponse plain(const QString& message, Status status)
{
    return response(QByteArrayLiteral("text/plain; charset=utf-8"), message.toUtf8() + '\n', status);
}

QHttpServerResponse html(const QByteArray& page)
{
    QHttpServerResponse answer = response(QByteArrayLiteral("text/html; charset=utf-8"), page);
    answer.addHeader(QByteArrayLiteral("Content-Security-Policy"), contentPolicy);
    return answer;
}

QHttpServerResponse json(const QByteArray& body)
{
    QHttpServerResponse answer = response(QByteArrayLiteral("application/json"), body);
    // Read-only data, for any page that wants to show it.
    answer.addHeader(QByteArrayLiteral("Access-Control-Allow-Origin"), QByteArrayLiteral("*"));
    return answer;
}

QHttpServerResponse unavailable()
{
    return plain(QStringLiteral("The quiz database cannot be reached right now. This page works again as soon as "
                                "it can; try again in a moment."),
                 Status::ServiceUnavailable);
}

QHttpServerResponse notFound()
{
    return plain(QStringLiteral("There is no such page here."), Status::NotFound);
}

QHttpServerResponse asset(const QString& name, const QByteArray& mimeType)
{
    QFile file(QStringLiteral(":/web/") + name);
    const QByteArray body = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QHttpServerResponse answer(mimeType, body);
    answer.addHeader(QByteArrayLiteral("X-Content-Type-Options"), QByteArrayLiteral("nosniff"));
    answer.addHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("max-age=3600"));
    return answer;
}

const Quiz::Period allPeriods[4] = {Quiz::Period::Today, Quiz::Period::Week, Quiz::Period::Month,
                                    Quiz::Period::AllTime};

}

WebServer::WebServer(Locate locate, QObject* parent)
    : QObject(parent)
    , locate(std::move(locate))
    , store(QStringLiteral("quiznewt-web"))
{
    reconnect.setInterval(reconnectMs);
    connect(&reconnect, &QTimer::timeout, this, &WebServer::connectDatabase);

    // The router matches the decoded path, and a name may hold a slash.
    http.router()->addConverter(QMetaType::fromType<QString>(), QStringLiteral(".+"));
    http.route(QStringLiteral("/"), [this] { return home(); });
    http.route(QStringLiteral("/player/<arg>"), [this](const QString& name) { return player(name, false); });
    http.route(QStringLiteral("/health"), [this] { return health(); });
    http.route(QStringLiteral("/api/top"), [this](const QHttpServerRequest& request) { return top(request); });
    http.route(QStringLiteral("/api/rooms"), [this] { return rooms(); });
    http.route(QStringLiteral("/api/player/<arg>"), [this](const QString& name) { return player(name, true); });
    http.route(QStringLiteral("/style.css"), [] { return asset(QStringLiteral("style.css"), "text/css; charset=utf-8"); });
    http.route(QStringLiteral("/live.js"),
               [] { return asset(QStringLiteral("live.js"), "text/javascript; charset=utf-8"); });
    http.setMissingHandler([](const QHttpServerRequest&, QHttpServerResponder&& responder) {
        notFound().write(std::move(responder));
    });
}

bool WebServer::start(const QHostAddress& address, quint16 port, QString* error)
{
    if (http.listen(address, port) == 0) {
        *error = QStringLiteral("cannot listen on %1 port %2").arg(address.toString()).arg(port);
        return false;
    }
    connectDatabase();
    return true;
}

void WebServer::connectDatabase()
{
    // Attaching to a server waits in an event loop of its own, where
    // requests and this timer are served meanwhile: they see no database.
    if (connecting)
        return;
    connecting = true;
    QString error;
    const bool connected = store.connect(locate(), &error);
    connecting = false;
    if (!connected) {
        if (!reconnect.isActive()) {
            qWarning("quiznewt-web: no database, trying again every %d s: %s", reconnectMs / 1000, qPrintable(error));
            reconnect.start();
        }
        return;
    }
    reconnect.stop();
    qInfo("quiznewt-web: the database is open.");
    // Points may have come while it was away: the log is read in whole.
    boards.reset();
    boardsDue = QDeadlineTimer();
    categoriesDue = QDeadlineTimer();
    freshBoards();
}

// The lost connection itself goes at the next try, when no query of it is
// left.
void WebServer::databaseLost()
{
    if (!reconnect.isActive())
        reconnect.start();
}

bool WebServer::freshBoards()
{
    if (!store.isConnected())
        return false;
    if (!boardsDue.hasExpired())
        return true;
    if (boards.update(store, QDateTime::currentDateTime()) == WebStore::Status::Lost) {
        databaseLost();
        return false;
    }
    boardsDue.setRemainingTime(boardsMs);
    return true;
}

QHttpServerResponse WebServer::home()
{
    if (!freshBoards())
        return unavailable();
    QList<Room> roomList;
    if (store.rooms(&roomList) == WebStore::Status::Lost) {
        databaseLost();
        return unavailable();
    }
    if (categoriesDue.hasExpired()) {
        QList<CategoryCount> categories;
        if (store.categories(&categories) == WebStore::Status::Lost) {
            databaseLost();
            return unavailable();
        }
        categoryList = categories;
        categoriesDue.setRemainingTime(categoriesMs);
    }
    QList<Board> boardList;
    for (Quiz::Period period : allPeriods)
        boardList.append(boards.board(period));
    return html(Html::homePage(roomList, boardList, categoryList));
}

QHttpServerResponse WebServer::top(const QHttpServerRequest& request)
{
    const QUrlQuery query(request.url());
    const QString word = query.hasQueryItem(QStringLiteral("period"))
        ? query.queryItemValue(QStringLiteral("period"), QUrl::FullyDecoded)
        : QStringLiteral("all");
    int index = 0;
    while (index < 4 && periodWord(allPeriods[index]) != word)
        ++index;
    if (index == 4)
        return plain(QStringLiteral("period must be today, week, month or all."), Status::BadRequest);
    if (!freshBoards())
        return unavailable();
    // Each board's JSON is written once per change of the boards.
    if (topJsonGeneration != boards.generation()) {
        for (int i = 0; i < 4; ++i)
            topJson[i] = Json::board(boards.board(allPeriods[i]));
        topJsonGeneration = boards.generation();
    }
    return json(topJson[index]);
}

QHttpServerResponse WebServer::rooms()
{
    QList<Room> roomList;
    if (!store.isConnected() || store.rooms(&roomList) == WebStore::Status::Lost) {
        databaseLost();
        return unavailable();
    }
    return json(Json::rooms(roomList));
}

QHttpServerResponse WebServer::player(const QString& name, bool asJson)
{
    if (name.size() > longestName)
        return plain(QStringLiteral("A name is at most %1 characters long.").arg(longestName), Status::BadRequest);
    if (!freshBoards())
        return unavailable();
    Player found;
    bool known = false;
    const QDate today = QDate::currentDate();
    if (store.player(name, today.addDays(-29), &found, &known) == WebStore::Status::Lost) {
        databaseLost();
        return unavailable();
    }
    if (!known)
        return plain(QStringLiteral("No player is named %1.").arg(name), Status::NotFound);
    found.today = boards.points(Quiz::Period::Today, found.name);
    found.week = boards.points(Quiz::Period::Week, found.name);
    found.month = boards.points(Quiz::Period::Month, found.name);
    return asJson ? json(Json::player(found)) : html(Html::playerPage(found));
}

QHttpServerResponse WebServer::health()
{
    QList<HealthItem> items;
    if (!store.isConnected() || store.health(&items) == WebStore::Status::Lost) {
        databaseLost();
        return unavailable();
    }
    return html(Html::healthPage(items));
}

}
