// Feeds any bytes, as one message of the controller's network link, to the decoder. A refused
// message says why and leaves the output alone; an accepted one is whole: it encodes again to a
// message that decodes to the same, within the size bound. The same bytes go through the
// handshake's token check as the Authorization header: only the exact "Bearer <token>" lets in.
// A broken promise aborts.
#include "fuzzsupport.h"

#include <controllerprotocol.h>
#include <controllertoken.h>

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

using fuzz::expect;
using mirel::ControllerProtocol;
using mirel::ControllerToken;
using mirel::ProtocolMessage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<int>(size));

    static const QByteArray secret = QByteArrayLiteral("0123456789abcdef0123456789abcdef");
    expect(ControllerToken::authorizes(text, secret) == (text == ControllerToken::header(secret)),
           "only the token lets in");
    expect(!ControllerToken::authorizes(text, QByteArray()), "no empty token lets in");
    ProtocolMessage message;
    message.name = QStringLiteral("untouched");
    QString error;
    if (!ControllerProtocol::decode(text, &message, &error)) {
        expect(!error.isEmpty(), "a refusal says why");
        expect(message.name == QLatin1String("untouched"), "a refusal leaves the output alone");
        return 0;
    }
    expect(int(size) <= ControllerProtocol::MaxMessageBytes, "no message above the bound");
    const bool idKind =
        message.type == ProtocolMessage::Request || message.type == ProtocolMessage::Answer;
    expect(!idKind || (message.id >= 1 && message.id <= ControllerProtocol::MaxId),
           "ids are within 1 .. 2^53");
    expect(message.type == ProtocolMessage::Answer || message.type == ProtocolMessage::GoingDown
               || !message.name.isEmpty(),
           "requests and updates name something");
    ProtocolMessage again;
    expect(ControllerProtocol::decode(ControllerProtocol::encode(message), &again, &error),
           "an accepted message encodes to one that decodes");
    expect(again.type == message.type && again.id == message.id && again.kind == message.kind
               && again.name == message.name && again.value == message.value
               && again.reboot == message.reboot && again.delayMs == message.delayMs,
           "it decodes to the same message");
    return 0;
}
