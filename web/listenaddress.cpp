#include "web/listenaddress.h"

namespace Web {

ListenAddress parseListenAddress(const QString& text)
{
    ListenAddress result;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return result;
    QString host = text.left(colon);
    bool isNumber = false;
    const uint port = text.mid(colon + 1).toUInt(&isNumber, 10);
    if (!isNumber || port == 0 || port > 65535)
        return result;
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        return result; // an IPv6 address needs its brackets
    if (host == QLatin1String("localhost"))
        result.host = QHostAddress(QHostAddress::LocalHost);
    else if (!result.host.setAddress(host))
        return result;
    result.port = quint16(port);
    result.valid = true;
    return result;
}

}
