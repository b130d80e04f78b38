#include "rl/rlcontentbase.h"
#include "rl/rlmanager.h"

#include "../log/messagecapture.h"

#include <support/temporarycurrentdir.h>

#include <mirel/basecontentwidget.h>
#include <mirel/rlmanager.h>

#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QtTest>

#include <memory>
#include <stdexcept>

using tessel::RLContentBase;
using tessel::RLManager;

namespace {

mirel::RlManager *host()
{
    return mirel::RlManager::getRlManager();
}

QStringList journalSince(int from)
{
    QStringList lines;
    const QList<mirel::RlManager::Registration> all = host()->registrations();
    for (int i = from; i < all.size(); ++i)
        lines.append(all.at(i).operation + QLatin1Char('(')
                     + all.at(i).arguments.join(QLatin1Char('|')) + QLatin1Char(')'));
    return lines;
}

// Keeps the checks of the base class.
class PlainEditor : public RLContentBase
{
    Q_OBJECT
};

// Edits the argument of "Wait <seconds>".
class WaitEditor : public RLContentBase
{
    Q_OBJECT

public:
    WaitEditor()
        : m_seconds(new QLineEdit(this))
    {
    }
    void FillWith(const QString &text) override { m_seconds->setText(text.section(' ', 1)); }
    QString ToString() override { return QStringLiteral("Wait ") + m_seconds->text(); }
    bool CheckInsert() override { return !m_seconds->text().isEmpty(); }
    bool CheckReplace() override { return CheckInsert(); }

private:
    QLineEdit *m_seconds;
};

// An editor whose every answer throws, as a plug-in's parsing of a line it did not expect.
class ThrowingEditor : public RLContentBase
{
    Q_OBJECT

public:
    void FillWith(const QString &) override { throw std::invalid_argument("stoi"); }
    QString ToString() override { throw std::invalid_argument("stoi"); }
    bool CheckInsert() override { throw 7; }
    bool CheckReplace() override { throw std::invalid_argument("stoi"); }
};

} // namespace

class tst_RLManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void createDataRegistersEveryAspectInOrder();
    void patternOfABareKeyword_data();
    void patternOfABareKeyword();
    void separateRegistrations();
    void adapterAnswers_data();
    void adapterAnswers();
    void adapterForwardsToTheEditor();
    void everyEditorIsFreshAndOwnedByTheHost();
    void emptyCreatorsAreRefused();
    void failingCreatorGivesAnEmptyAdapter();
    void throwingEditorIsContained();

private:
    support::TemporaryCurrentDir m_dir;
    RLManager m_manager{nullptr};
};

void tst_RLManager::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void tst_RLManager::createDataRegistersEveryAspectInOrder()
{
    const int before = host()->registrations().size();
    m_manager.createData(QStringLiteral("motion"), QStringLiteral("MyIns"), QStringLiteral("U"),
                         [] { return new PlainEditor; }, [] { return new PlainEditor; });
    const QString pattern = QStringLiteral("^\\s*MyIns\\s*(?://.*)?$");
    QCOMPARE(journalSince(before),
             (QStringList{"addCmdKeyword(MyIns)", "addSkeleton(s_MyIns|MyIns)",
                          "addPattern(c_MyIns|" + pattern + ")", "addInsUsage(MyIns|U)",
                          "addInsDefault(MyIns|)", "addInsertWidget(MyIns)",
                          "addPropertyWidget(MyIns)", "addInsGroupInsList(motion|MyIns|false)"}));
    QVERIFY(host()->cmdKeywords().contains(QStringLiteral("MyIns")));
    QCOMPARE(host()->skeleton(QStringLiteral("s_MyIns")), QStringLiteral("MyIns"));
    QCOMPARE(host()->pattern(QStringLiteral("c_MyIns")), pattern);
    QCOMPARE(host()->usage(QStringLiteral("MyIns")), QStringLiteral("U"));
    QVERIFY(host()->hasInsDefault(QStringLiteral("MyIns")));
    QCOMPARE(host()->insDefault(QStringLiteral("MyIns")), QString());
    QVERIFY(host()->insGroupInsList(QStringLiteral("motion")).contains(QStringLiteral("MyIns")));
    QWidget parent;
    QVERIFY(host()->createInsertWidget(QStringLiteral("MyIns"), &parent));
    QVERIFY(host()->createPropertyWidget(QStringLiteral("MyIns"), &parent));
}

void tst_RLManager::patternOfABareKeyword_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("matches");
    QTest::newRow("alone") << "MyIns" << "MyIns" << true;
    QTest::newRow("blanks and comment") << "MyIns" << "  MyIns // c" << true;
    QTest::newRow("comment without blank") << "MyIns" << "MyIns//c" << true;
    QTest::newRow("argument") << "MyIns" << "MyIns 1" << false;
    QTest::newRow("longer word") << "MyIns" << "MyInsX" << false;
    QTest::newRow("A.B literally") << "A.B" << "A.B" << true;
    QTest::newRow("A.B dot is any character") << "A.B" << "AxB // c" << true;
}

void tst_RLManager::patternOfABareKeyword()
{
    QFETCH(QString, name);
    QFETCH(QString, line);
    QFETCH(bool, matches);
    m_manager.createData(QStringLiteral("g"), name, QString(), [] { return new PlainEditor; },
                         [] { return new PlainEditor; });
    const QRegularExpression pattern(host()->pattern(QStringLiteral("c_") + name));
    QVERIFY(pattern.isValid());
    QCOMPARE(pattern.match(line).hasMatch(), matches);
}

void tst_RLManager::separateRegistrations()
{
    const int before = host()->registrations().size();
    m_manager.createGroups(QStringLiteral("io"), QStringLiteral("IO"));
    m_manager.createTypeKey(QStringLiteral("SetDO"));
    m_manager.createSkeleton(QStringLiteral("SetDO"), QStringLiteral("SetDO <signal>, <value>"));
    m_manager.createPattern(QStringLiteral("SetDO"), QStringLiteral("^SetDO \\w+, [01]$"));
    m_manager.createInsDescribe(QStringLiteral("SetDO"), QStringLiteral("Sets an output"));
    m_manager.createInsDefault(QStringLiteral("SetDO"), QStringLiteral("SetDO do_lamp, 1"));
    m_manager.createTypeToGroup(QStringLiteral("io"), QStringLiteral("SetDO"));
    m_manager.createTypeToGroup(QStringLiteral("io"), QStringList{"WaitDI", "SetDO", "Pulse"});
    QCOMPARE(journalSince(before),
             (QStringList{"addInsGroup(io|IO)", "addCmdKeyword(SetDO)",
                          "addSkeleton(s_SetDO|SetDO <signal>, <value>)",
                          "addPattern(c_SetDO|^SetDO \\w+, [01]$)",
                          "addInsUsage(SetDO|Sets an output)",
                          "addInsDefault(SetDO|SetDO do_lamp, 1)",
                          "addInsGroupInsList(io|SetDO|false)",
                          "addInsGroupInsList(io|WaitDI,SetDO,Pulse|false)"}));
    QCOMPARE(host()->insGroupInsList(QStringLiteral("io")),
             (QStringList{"SetDO", "WaitDI", "Pulse"}));
    QCOMPARE(host()->matchPattern(QStringLiteral("SetDO do_lamp, 1")), QStringLiteral("c_SetDO"));
}

void tst_RLManager::adapterAnswers_data()
{
    QTest::addColumn<bool>("withContent");
    QTest::addColumn<bool>("checks");
    QTest::newRow("editor keeping the default checks") << true << false;
    QTest::newRow("no content") << false << true;
}

void tst_RLManager::adapterAnswers()
{
    QFETCH(bool, withContent);
    QFETCH(bool, checks);
    const QString name = withContent ? QStringLiteral("Plain") : QStringLiteral("Nothing");
    m_manager.createInsertWidget(name, [withContent]() -> RLContentBase * {
        return withContent ? new PlainEditor : nullptr;
    });
    QWidget parent;
    mirel::BaseContentWidget *editor = host()->createInsertWidget(name, &parent);
    QVERIFY(editor);
    QCOMPARE(editor->InsertCheck(), checks);
    QCOMPARE(editor->ReplaceCheck(), checks);
    editor->SetContent(QStringLiteral("Plain 1"));
    MessageCapture capture;
    QCOMPARE(editor->ToString(), QString());
    QCOMPARE(capture.texts(), QStringList{"<tessel> RLBaseWidget::ToString()"});
    QCOMPARE(editor->findChildren<RLContentBase *>().size(), withContent ? 1 : 0);
}

void tst_RLManager::adapterForwardsToTheEditor()
{
    m_manager.createData(QStringLiteral("time"), QStringLiteral("Wait"), QStringLiteral("Waits"),
                         [] { return new WaitEditor; }, [] { return new WaitEditor; });
    QWidget parent;
    mirel::BaseContentWidget *insert = host()->createInsertWidget(QStringLiteral("Wait"), &parent);
    QVERIFY(insert);
    QVERIFY(!insert->InsertCheck());
    insert->SetContent(QStringLiteral("Wait 2.5"));
    QVERIFY(insert->InsertCheck());
    QVERIFY(insert->ReplaceCheck());
    QCOMPARE(insert->ToString(), QStringLiteral("Wait 2.5"));
    // The host's own JSON form is built from the forwarded text.
    QCOMPARE(insert->ToJsonValue().toObject().value(QStringLiteral("text")).toString(),
             QStringLiteral("Wait 2.5"));
}

void tst_RLManager::everyEditorIsFreshAndOwnedByTheHost()
{
    // The registry keeps the creator for the rest of the process.
    const auto made = std::make_shared<int>(0);
    m_manager.createPropertyWidget(QStringLiteral("Count"), [made] {
        ++*made;
        return new WaitEditor;
    });
    QPointer<RLContentBase> first;
    {
        QWidget parent;
        const QString name = QStringLiteral("Count");
        mirel::BaseContentWidget *a = host()->createPropertyWidget(name, &parent);
        mirel::BaseContentWidget *b = host()->createPropertyWidget(name, &parent);
        QVERIFY(a && b && a != b);
        QCOMPARE(*made, 2);
        QCOMPARE(a->parentWidget(), &parent);
        first = a->findChild<RLContentBase *>();
        QVERIFY(first);
        QCOMPARE(first->parentWidget(), a);
        QVERIFY(first != b->findChild<RLContentBase *>());
    }
    // The host's parent took the adapter and the editor with it.
    QVERIFY(first.isNull());
}

void tst_RLManager::emptyCreatorsAreRefused()
{
    const int before = host()->registrations().size();
    MessageCapture capture;
    m_manager.createData(QStringLiteral("g"), QStringLiteral("Half"), QString(), {},
                         [] { return new PlainEditor; });
    m_manager.createPropertyWidget(QStringLiteral("None"), {});
    const QStringList journal = journalSince(before);
    QCOMPARE(journal.size(), 7);
    QVERIFY(!journal.contains(QStringLiteral("addInsertWidget(Half)")));
    QCOMPARE(journal.at(5), QStringLiteral("addPropertyWidget(Half)"));
    QWidget parent;
    QVERIFY(!host()->createInsertWidget(QStringLiteral("Half"), &parent));
    QVERIFY(!host()->createPropertyWidget(QStringLiteral("None"), &parent));
    const QStringList lines = capture.texts().filter(QStringLiteral("[E|"));
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(0).contains(QStringLiteral("empty insert editor creator for Half")));
    QVERIFY(lines.at(1).contains(QStringLiteral("empty property editor creator for None")));
}

void tst_RLManager::failingCreatorGivesAnEmptyAdapter()
{
    m_manager.createInsertWidget(QStringLiteral("Throws"), []() -> RLContentBase * {
        throw std::runtime_error("no memory for the form");
    });
    MessageCapture capture;
    QWidget parent;
    mirel::BaseContentWidget *editor =
        host()->createInsertWidget(QStringLiteral("Throws"), &parent);
    QVERIFY(editor);
    QVERIFY(editor->InsertCheck());
    QCOMPARE(capture.texts().filter(QStringLiteral("no memory for the form")).size(), 1);
}

void tst_RLManager::throwingEditorIsContained()
{
    m_manager.createInsertWidget(QStringLiteral("Boom"), [] { return new ThrowingEditor; });
    MessageCapture capture;
    QWidget parent;
    mirel::BaseContentWidget *editor = host()->createInsertWidget(QStringLiteral("Boom"), &parent);
    QVERIFY(editor);
    editor->SetContent(QStringLiteral("Boom n"));
    QCOMPARE(editor->ToString(), QString());
    QVERIFY(!editor->InsertCheck());
    QVERIFY(!editor->ReplaceCheck());
    QCOMPARE(capture.texts().filter(QStringLiteral("[E|")).size(), 4);
}

QTEST_MAIN(tst_RLManager)
#include "tst_rlmanager.moc"
