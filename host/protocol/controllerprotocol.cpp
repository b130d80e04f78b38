#include "controllerprotocol.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace mirel {

namespace {

const QString kType = QStringLiteral("type");
const QString kId = QStringLiteral("id");
const QString kKind = QStringLiteral("kind");
const QString kName = QStringLiteral("name");
const QString kPayload = QStringLiteral("payload");
const QString kAnswer = QStringLiteral("answer");
const QString kKey = QStringLiteral("key");
const QString kValue = QStringLiteral("value");
const QString kReboot = QStringLiteral("reboot");
const QString kDelay = QStringLiteral("delay_ms");

const char *const kTypeNames[] = {"request", "answer", "update", "down"};
const char *const kKindNames[] = {"command", "get", "set", "watch"};

template <typename Enum, int N>
bool enumFromName(const QJsonValue &value, const char *const (&names)[N], Enum *out)
{
    if (!value.isString())
        return false;
    const QString text = value.toString();
    for (int i = 0; i < N; ++i) {
        if (text == QLatin1String(names[i])) {
            *out = static_cast<Enum>(i);
            return true;
        }
    }
    return false;
}

bool readId(const QJsonObject &object, quint64 *id)
{
    const QJsonValue value = object.value(kId);
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    if (!(number >= 1.0) || number > double(ControllerProtocol::MaxId) || std::floor(number) != number)
        return false;
    *id = static_cast<quint64>(number);
    return true;
}

// A JSON number of 2^53 or more in magnitude may not be the number the peer wrote (...993 reads
// as ...992), and need not come back as the same text: such a value is refused rather than
// passed on changed.
bool numbersFit(const QJsonValue &value)
{
    constexpr double kLimit = double(ControllerProtocol::MaxId);
    switch (value.type()) {
    case QJsonValue::Double:
        return std::abs(value.toDouble()) < kLimit;
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        for (const QJsonValue &item : array) {
            if (!numbersFit(item))
                return false;
        }
        return true;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            if (!numbersFit(it.value()))
                return false;
        }
        return true;
    }
    default:
        return true;
    }
}

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

QByteArray ControllerProtocol::encode(const ProtocolMessage &message)
{
    QJsonObject object{{kType, QLatin1String(kTypeNames[message.type])}};
    switch (message.type) {
    case ProtocolMessage::Request:
        object.insert(kId, double(message.id));
        object.insert(kKind, QLatin1String(kKindNames[message.kind]));
        object.insert(kName, message.name);
        object.insert(kPayload, message.value);
        break;
    case ProtocolMessage::Answer:
        object.insert(kId, double(message.id));
        object.insert(kAnswer, message.value);
        break;
    case ProtocolMessage::Update:
        object.insert(kKey, message.name);
        object.insert(kValue, message.value);
        break;
    case ProtocolMessage::GoingDown:
        object.insert(kReboot, message.reboot);
        object.insert(kDelay, message.delayMs);
        break;
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool ControllerProtocol::decode(const QByteArray &text, ProtocolMessage *message, QString *error)
{
    if (text.size() > MaxMessageBytes)
        return fail(error, QStringLiteral("message of %1 bytes, more than %2")
                               .arg(text.size())
                               .arg(MaxMessageBytes));
    // JSON has no raw control characters but the whitespace between tokens. Qt's parser takes
    // them inside strings, and a raw NUL in a key leaves an object whose keys are out of order:
    // lookups miss, and it no longer equals itself sent again.
    const auto control = std::find_if(text.cbegin(), text.cend(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r';
    });
    if (control != text.cend())
        return fail(error, QStringLiteral("not JSON: a control character at %1")
                               .arg(control - text.cbegin()));
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(error, QStringLiteral("not JSON: %1 at %2")
                               .arg(parseError.errorString())
                               .arg(parseError.offset));
    if (!document.isObject())
        return fail(error, QStringLiteral("not a JSON object"));
    const QJsonObject object = document.object();
    ProtocolMessage m;
    if (!enumFromName(object.value(kType), kTypeNames, &m.type))
        return fail(error, QStringLiteral("unknown message type"));
    switch (m.type) {
    case ProtocolMessage::Request:
        if (!readId(object, &m.id))
            return fail(error, QStringLiteral("request without a valid id"));
        if (!enumFromName(object.value(kKind), kKindNames, &m.kind))
            return fail(error, QStringLiteral("request of unknown kind"));
        if (!object.value(kName).isString() || object.value(kName).toString().isEmpty())
            return fail(error, QStringLiteral("request without a name"));
        m.name = object.value(kName).toString();
        m.value = object.value(kPayload);
        if (m.value.isUndefined())
            m.value = QJsonValue();
        break;
    case ProtocolMessage::Answer:
        if (!readId(object, &m.id))
            return fail(error, QStringLiteral("answer without a valid id"));
        m.value = object.value(kAnswer);
        if (m.value.isUndefined())
            m.value = QJsonValue();
        break;
    case ProtocolMessage::Update:
        if (!object.value(kKey).isString() || object.value(kKey).toString().isEmpty())
            return fail(error, QStringLiteral("update without a key"));
        m.name = object.value(kKey).toString();
        m.value = object.value(kValue);
        if (m.value.isUndefined())
            m.value = QJsonValue();
        break;
    case ProtocolMessage::GoingDown: {
        m.reboot = object.value(kReboot).toBool(false);
        const double delay = object.value(kDelay).toDouble(0.0);
        // A day is longer than any reboot; anything else is not a delay.
        if (!(delay >= 0.0) || delay > 86400000.0)
            return fail(error, QStringLiteral("going-down notice with a bad delay"));
        m.delayMs = static_cast<int>(delay);
        break;
    }
    }
    if (!numbersFit(m.value))
        return fail(error, QStringLiteral("a number of 2^53 or more in magnitude"));
    if (message)
        *message = m;
    return true;
}

bool ControllerProtocol::parseAddress(const QString &address, QString *host, quint16 *port)
{
    const QString text = address.trimmed();
    QString h = text;
    quint16 p = DefaultPort;
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    // A bare IPv6 address has colons of its own; only "[::1]:PORT" carries a port then.
    if (colon >= 0 && text.count(QLatin1Char(':')) == 1) {
        bool ok = false;
        const uint number = text.mid(colon + 1).toUInt(&ok);
        if (!ok || number == 0 || number > 65535)
            return false;
        h = text.left(colon);
        p = static_cast<quint16>(number);
    } else if (text.startsWith(QLatin1Char('[')) && colon > text.indexOf(QLatin1Char(']'))) {
        bool ok = false;
        const uint number = text.mid(colon + 1).toUInt(&ok);
        if (!ok || number == 0 || number > 65535)
            return false;
        h = text.mid(1, text.indexOf(QLatin1Char(']')) - 1);
        p = static_cast<quint16>(number);
    }
    if (h.isEmpty())
        return false;
    if (host)
        *host = h;
    if (port)
        *port = p;
    return true;
}

bool ControllerProtocol::isLoopback(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace mirel
