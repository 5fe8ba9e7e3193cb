#ifndef LISTENADDRESS_H
#define LISTENADDRESS_H

#include <QHostAddress>
#include <QString>

namespace Web {

struct ListenAddress
{
    bool valid = false;
    QHostAddress host;
    quint16 port = 0;
};

// "127.0.0.1:8080", "[::1]:8080", "localhost:8080" or "0.0.0.0:8080"; the
// port 1 to 65535.
ListenAddress parseListenAddress(const QString& text);

}

#endif
