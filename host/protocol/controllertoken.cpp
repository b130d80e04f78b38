#include "controllertoken.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>

namespace mirel {

namespace {

const QByteArray kBearer = QByteArrayLiteral("Bearer ");
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr int kRandomBytes = 32;

bool isPrivate(const QString &path)
{
#ifdef Q_OS_WIN
    // Permission bits mean little there; the user's profile folder is private already.
    Q_UNUSED(path)
    return true;
#else
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup
                                            | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                            | QFileDevice::WriteOther | QFileDevice::ExeOther;
    return !(QFile::permissions(path) & others);
#endif
}

} // namespace

QString ControllerToken::userFilePath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("tessel/controller-token"));
}

QByteArray ControllerToken::generate()
{
    QByteArray bytes(kRandomBytes, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = static_cast<char>(QRandomGenerator::system()->bounded(256));
    return bytes.toHex();
}

bool ControllerToken::readFile(const QString &path, QByteArray *token, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the token file %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray line = file.readLine(4096).trimmed();
    if (line.size() < MinLength) {
        *error = QStringLiteral("the token file %1 holds no token of at least %2 characters")
                     .arg(path)
                     .arg(MinLength);
        return false;
    }
    *token = line;
    return true;
}

bool ControllerToken::readOrCreate(const QString &path, QByteArray *token, QString *error)
{
    QString ignored;
    if (QFileInfo::exists(path) && isPrivate(path) && readFile(path, token, &ignored))
        return true;
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("cannot make the folder of %1").arg(path);
        return false;
    }
    const QByteArray made = generate();
    QSaveFile file(path);
    // The temporary file gets the permissions before anything is written into it.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(kOwnerOnly)
        || file.write(made + '\n') != made.size() + 1 || !file.flush() || !file.commit()) {
        *error = QStringLiteral("cannot write the token file %1: %2").arg(path, file.errorString());
        return false;
    }
    *token = made;
    return true;
}

QByteArray ControllerToken::forClient()
{
    QByteArray fromEnvironment = qgetenv(EnvironmentVariable).trimmed();
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    QByteArray token;
    QString error;
    return readFile(userFilePath(), &token, &error) ? token : QByteArray();
}

QByteArray ControllerToken::header(const QByteArray &token)
{
    return kBearer + token;
}

bool ControllerToken::authorizes(const QByteArray &headerValue, const QByteArray &token)
{
    const QByteArray expected = header(token);
    if (token.isEmpty() || headerValue.size() != expected.size())
        return false;
    unsigned char difference = 0;
    for (int i = 0; i < expected.size(); ++i)
        difference |= static_cast<unsigned char>(headerValue.at(i) ^ expected.at(i));
    return difference == 0;
}

} // namespace mirel
