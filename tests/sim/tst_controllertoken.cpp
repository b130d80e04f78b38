#include <controllertoken.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using mirel::ControllerToken;

namespace {

QFile::Permissions ownerBits(const QString &path)
{
    // ReadUser/WriteUser repeat the owner's bits for the user running the test.
    return QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}

} // namespace

// The secret of the controller's network link: made, kept private, read back, checked.
class tst_ControllerToken : public QObject
{
    Q_OBJECT

private slots:
    void madeOnceOwnerOnlyAndReused();
    void tokenFileOthersMayReadIsReplaced();
    void readFileTakesTheFirstLine_data();
    void readFileTakesTheFirstLine();
    void onlyTheExactBearerAuthorizes_data();
    void onlyTheExactBearerAuthorizes();
};

void tst_ControllerToken::madeOnceOwnerOnlyAndReused()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/controller-token"));
    QByteArray first;
    QString error;
    QVERIFY2(ControllerToken::readOrCreate(path, &first, &error), qPrintable(error));
    QCOMPARE(first.size(), 64);
    QCOMPARE(ownerBits(path), QFile::ReadOwner | QFile::WriteOwner);
    QByteArray again;
    QVERIFY(ControllerToken::readOrCreate(path, &again, &error));
    QCOMPARE(again, first);
    QVERIFY(ControllerToken::generate() != first);
}

void tst_ControllerToken::tokenFileOthersMayReadIsReplaced()
{
#ifdef Q_OS_WIN
    QSKIP("permission bits say little on Windows");
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("controller-token"));
    const QByteArray shared = "0123456789abcdef0123456789abcdef";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(shared + '\n');
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    QByteArray token;
    QString error;
    QVERIFY(ControllerToken::readOrCreate(path, &token, &error));
    QVERIFY(token != shared);
    QCOMPARE(ownerBits(path), QFile::ReadOwner | QFile::WriteOwner);
}

void tst_ControllerToken::readFileTakesTheFirstLine_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArray>("token");
    QTest::newRow("one line") << QByteArray("0123456789abcdef\n") << QByteArray("0123456789abcdef");
    QTest::newRow("spaces and more lines")
        << QByteArray("  0123456789abcdefXY \r\nsecond\n") << QByteArray("0123456789abcdefXY");
    QTest::newRow("too short") << QByteArray("short\n") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("first line empty") << QByteArray("\n0123456789abcdef\n") << QByteArray();
}

void tst_ControllerToken::readFileTakesTheFirstLine()
{
    QFETCH(QByteArray, contents);
    QFETCH(QByteArray, token);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("token"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();
    QByteArray read;
    QString error;
    QCOMPARE(ControllerToken::readFile(path, &read, &error), !token.isEmpty());
    QCOMPARE(read, token);
    QCOMPARE(error.isEmpty(), !token.isEmpty());
    QVERIFY(!ControllerToken::readFile(dir.filePath(QStringLiteral("none")), &read, &error));
}

void tst_ControllerToken::onlyTheExactBearerAuthorizes_data()
{
    const QByteArray token = "0123456789abcdef0123456789abcdef";
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<bool>("authorized");
    QTest::newRow("exact") << "Bearer " + token << token << true;
    QTest::newRow("last byte differs") << "Bearer " + token.left(31) + "X" << token << false;
    QTest::newRow("prefix") << "Bearer " + token.left(16) << token << false;
    QTest::newRow("longer") << "Bearer " + token + "0" << token << false;
    QTest::newRow("other scheme") << "Basic " + token << token << false;
    QTest::newRow("lower-case scheme") << "bearer " + token << token << false;
    QTest::newRow("no header") << QByteArray() << token << false;
    QTest::newRow("empty token") << QByteArray("Bearer ") << QByteArray() << false;
}

void tst_ControllerToken::onlyTheExactBearerAuthorizes()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, token);
    QFETCH(bool, authorized);
    QCOMPARE(ControllerToken::authorizes(header, token), authorized);
}

QTEST_MAIN(tst_ControllerToken)
#include "tst_controllertoken.moc"
