#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

namespace mirel {

// One message on the controller's network link (docs/controller-protocol.md).
struct ProtocolMessage
{
    enum Type { Request, Answer, Update, GoingDown };
    // Same values as ControllerMessage::Kind.
    enum Kind { Command, Get, Set, Watch };

    Type type = Request;
    quint64 id = 0;     // Request, Answer
    Kind kind = Command; // Request
    QString name;       // Request: command or key; Update: key
    QJsonValue value;   // Request: payload; Answer: answer; Update: value
    bool reboot = false; // GoingDown: the controller comes back after `delayMs`
    int delayMs = 0;
};

// Encodes and decodes the JSON text messages of the controller's network link. Usable without
// the host's libraries, so that external programs can speak it too.
class ControllerProtocol
{
public:
    static constexpr int MaxMessageBytes = 1024 * 1024;
    static constexpr quint16 DefaultPort = 7610;
    // Ids are JSON numbers: above 2^53 they no longer round-trip. Numbers in values stay below
    // it, where every integer is exact.
    static constexpr quint64 MaxId = (quint64(1) << 53);

    static QByteArray encode(const ProtocolMessage &message);
    // False, with the reason in `error`, for anything that is not one whole valid message.
    static bool decode(const QByteArray &text, ProtocolMessage *message, QString *error);

    // "HOST:PORT" or "HOST" (default port); false for an empty host or a bad port.
    static bool parseAddress(const QString &address, QString *host, quint16 *port);
    static bool isLoopback(const QString &host);
};

} // namespace mirel
