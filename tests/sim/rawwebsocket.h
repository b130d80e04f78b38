#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>

// WebSocket by hand over a plain TCP socket, for peers no QWebSocket would play: one that never
// reads what it is sent, one that announces a frame far larger than it sends.
namespace rawws {

// A client frame (masked, with a zero mask, so the payload goes as it is).
inline QByteArray clientFrame(const QByteArray &payload)
{
    QByteArray frame;
    frame.append(char(0x81));
    if (payload.size() < 126) {
        frame.append(char(0x80 | payload.size()));
    } else if (payload.size() < 65536) {
        frame.append(char(0x80 | 126));
        frame.append(char((payload.size() >> 8) & 0xff));
        frame.append(char(payload.size() & 0xff));
    } else {
        frame.append(char(0x80 | 127));
        quint64 length = qToBigEndian<quint64>(quint64(payload.size()));
        frame.append(reinterpret_cast<const char *>(&length), 8);
    }
    frame.append(QByteArray(4, '\0'));
    return frame + payload;
}

// The header of a server frame (unmasked) that says `length` bytes follow.
inline QByteArray serverFrameHeader(quint64 length)
{
    QByteArray header;
    header.append(char(0x81));
    header.append(char(127));
    const quint64 big = qToBigEndian<quint64>(length);
    header.append(reinterpret_cast<const char *>(&big), 8);
    return header;
}

// Opens the connection: true once the server answered "101"; reads nothing more afterwards.
inline bool handshake(QTcpSocket *socket, quint16 port, const QByteArray &extraHeaders)
{
    socket->connectToHost(QHostAddress::LocalHost, port);
    if (!socket->waitForConnected(3000))
        return false;
    socket->write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                  "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                  "Sec-WebSocket-Version: 13\r\n"
                  + extraHeaders + "\r\n");
    QByteArray response;
    QElapsedTimer clock;
    clock.start();
    while (!response.contains("\r\n\r\n") && clock.elapsed() < 3000) {
        QTest::qWait(10);
        response += socket->read(1);
        while (!response.contains("\r\n\r\n") && socket->bytesAvailable() > 0)
            response += socket->read(1);
    }
    return response.startsWith("HTTP/1.1 101");
}

// The server's answer to a client's handshake key.
inline QByteArray acceptKey(const QByteArray &key)
{
    return QCryptographicHash::hash(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11",
                                    QCryptographicHash::Sha1)
        .toBase64();
}

} // namespace rawws
