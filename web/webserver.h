#ifndef WEBSERVER_H
#define WEBSERVER_H

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QHttpServer>
#include <QObject>
#include <QTimer>

#include <functional>

#include "db/database.h"
#include "web/boards.h"
#include "web/webstore.h"

class QHttpServerRequest;
class QHttpServerResponse;

namespace Web {

// The web program: the routes, each answered on the event loop's thread
// from the store and the boards. While the database is lost every page
// that needs it answers 503, and a connection is tried again every
// reconnectMs.
class WebServer : public QObject
{
    Q_OBJECT

public:
    // Where the database is, asked again at each try to connect, so that a
    // database set up after the start is found.
    using Locate = std::function<Database::Location()>;

    static constexpr int reconnectMs = 2000;
    // The boards look at the points log at most this often.
    static constexpr int boardsMs = 1000;
    // Categories change seldom and cost a join over every question.
    static constexpr int categoriesMs = 10000;

    explicit WebServer(Locate locate, QObject* parent = nullptr);

    // Opens the database (or starts trying) and listens.
    bool start(const QHostAddress& address, quint16 port, QString* error);

private:
    void connectDatabase();
    void databaseLost();
    // The boards up to date within boardsMs; false while the database is lost.
    bool freshBoards();

    QHttpServerResponse home();
    QHttpServerResponse top(const QHttpServerRequest& request);
    QHttpServerResponse rooms();
    QHttpServerResponse player(const QString& name, bool asJson);
    QHttpServerResponse health();

    Locate locate;
    QHttpServer http;
    WebStore store;
    Boards boards;
    QDeadlineTimer boardsDue;
    QTimer reconnect;
    bool connecting = false;
    QByteArray topJson[4];
    quint64 topJsonGeneration = 0;
    QList<CategoryCount> categoryList;
    QDeadlineTimer categoriesDue;
};

}

#endif
