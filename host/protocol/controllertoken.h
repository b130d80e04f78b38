#pragma once

#include <QByteArray>
#include <QString>

namespace mirel {

// The secret that lets a client of the controller's network link move the robot and write
// (docs/controller-protocol.md): a random text the controller reads from a file, presented by
// the client in the handshake as "Authorization: Bearer <token>".
class ControllerToken
{
public:
    // Set by the pendant emulator for the programs it starts.
    static constexpr const char *EnvironmentVariable = "TESSEL_CONTROLLER_TOKEN";
    // A token shorter than this is no secret and is refused when read.
    static constexpr int MinLength = 16;

    // The per-user file a controller started without a token file uses.
    static QString userFilePath();
    // A new token: 32 random bytes from the system's source, as hex.
    static QByteArray generate();
    // The first line of `path`, trimmed; false (reason in `error`) when it cannot be read or
    // holds less than MinLength characters.
    static bool readFile(const QString &path, QByteArray *token, QString *error);
    // The token of `path` when it is one and only its owner may read it; otherwise a new one,
    // written there with owner-only permissions set before the first byte.
    static bool readOrCreate(const QString &path, QByteArray *token, QString *error);
    // What a client on this machine presents: the environment variable, else the per-user file;
    // empty when neither holds one.
    static QByteArray forClient();

    // The value of the "Authorization" header that carries `token`.
    static QByteArray header(const QByteArray &token);
    // True when `headerValue` is "Bearer <token>" for exactly `token`; compares every byte
    // whatever the first difference, so that the time taken tells nothing. Never true for an
    // empty token.
    static bool authorizes(const QByteArray &headerValue, const QByteArray &token);
};

} // namespace mirel
