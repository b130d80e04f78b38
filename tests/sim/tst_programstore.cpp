#include <sim/controller/programstore.h>
#include <sim/controller/simulatedcontroller.h>

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

using sim::ProgramStore;

namespace {

// The pendant's current project holds "count" (PERS, 5) and "plain".
void seedPendantVariables()
{
    nabu::ModuleObject *list = nabu::m(QStringLiteral("rovan.project.var._list"));
    list->importFromJson(nullptr,
                         QJsonArray{QJsonObject{{"name", "count"},
                                                {"pers", true},
                                                {"value", QJsonObject{{"[0][0][0]", 5}}}},
                                    QJsonObject{{"name", "plain"},
                                                {"pers", false},
                                                {"value", QJsonObject{{"[0][0][0]", 1}}}}},
                         true, false);
}

int errorOf(const QJsonValue &answer)
{
    return answer.isDouble() ? answer.toInt() : answer["error"].toInt();
}

QJsonValue ask(sim::SimulatedController &c, mirel::ControllerMessage::Kind kind,
               const QString &name, const QJsonValue &payload)
{
    static quint64 id = 0;
    mirel::ControllerMessage message{++id, kind, name, payload};
    QJsonValue answer;
    bool got = false;
    QObject::connect(&c, &mirel::ControllerLink::answered, &c,
                     [&, wanted = message.id](quint64 i, const QJsonValue &v) {
                         if (i == wanted) {
                             got = true;
                             answer = v;
                         }
                     });
    c.send(message);
    if (!QTest::qWaitFor([&] { return got; }, 1000))
        return QJsonValue(QJsonValue::Undefined);
    return answer;
}

} // namespace

class tst_ProgramStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void hotRemovalRefusesWhatItDoesNotKnow_data();
    void hotRemovalRefusesWhatItDoesNotKnow();
    void persValuesStartFromTheProjectAndKeepModifications();
    void projectsAndAutoload();
    void monitorSelectionAndBackupsThroughTheLink();
    void emptyVariableListIsAListWithoutVariables();
};

void tst_ProgramStore::init()
{
    seedPendantVariables();
}

void tst_ProgramStore::hotRemovalRefusesWhatItDoesNotKnow_data()
{
    QTest::addColumn<QJsonValue>("payload");
    QTest::addColumn<int>("error");
    auto removal = [](const QJsonValue &names) {
        return QJsonValue(QJsonObject{{"operator", "remove"}, {"variables", names}});
    };
    QTest::newRow("known") << removal(QJsonArray{"count", "plain"}) << 0;
    QTest::newRow("none") << removal(QJsonArray{}) << 0;
    QTest::newRow("one unknown") << removal(QJsonArray{"count", "ghost"})
                                 << int(ProgramStore::UnknownVariable);
    QTest::newRow("not names") << removal(QJsonArray{1}) << int(ProgramStore::BadRequest);
    QTest::newRow("other operator")
        << QJsonValue(QJsonObject{{"operator", "add"}, {"variables", QJsonArray{"count"}}})
        << int(ProgramStore::BadRequest);
}

void tst_ProgramStore::hotRemovalRefusesWhatItDoesNotKnow()
{
    QFETCH(QJsonValue, payload);
    QFETCH(int, error);
    ProgramStore store;
    store.runCommand(QStringLiteral("monitor.pers.modify"), QJsonObject{{"count", 9}});
    const QJsonValue answer = store.runCommand(QStringLiteral("project.variable"), payload);
    QCOMPARE(errorOf(answer), error);
    if (error == 0)
        QCOMPARE(answer, QJsonValue(0));
    // A refused removal leaves what the controller holds as it was.
    const bool removedCount = error == 0 && payload["variables"].toArray().contains("count");
    QCOMPARE(store.persValue(QStringLiteral("count")), removedCount ? QJsonValue(5) : QJsonValue(9));
}

void tst_ProgramStore::persValuesStartFromTheProjectAndKeepModifications()
{
    ProgramStore store;
    const QString read = QStringLiteral("monitor.pers.read");
    QCOMPARE(store.runCommand(read, QJsonArray{"count", "plain", "ghost"}),
             QJsonValue(QJsonObject{{"data", QJsonArray{5, "", ""}}}));
    QCOMPARE(store.runCommand(QStringLiteral("monitor.pers.modify"),
                              QJsonObject{{"count", 7}, {"ghost", "x"}}),
             QJsonValue(QJsonObject{{"success", true}}));
    QCOMPARE(store.runCommand(read, QJsonArray{"count", "ghost"}),
             QJsonValue(QJsonObject{{"data", QJsonArray{7, "x"}}}));
    QCOMPARE(errorOf(store.runCommand(read, QJsonObject{{"count", 1}})),
             int(ProgramStore::BadRequest));
}

void tst_ProgramStore::projectsAndAutoload()
{
    ProgramStore store;
    store.setProjects({QStringLiteral("a"), QStringLiteral("b")});
    const QString remove = QStringLiteral("project.remove_task");
    QCOMPARE(errorOf(store.runCommand(remove, QJsonObject{{"name", "a"}})), 0);
    QCOMPARE(errorOf(store.runCommand(remove, QJsonObject{{"name", "a"}})),
             int(ProgramStore::UnknownProject));
    QCOMPARE(errorOf(store.runCommand(remove, QJsonObject{})), int(ProgramStore::BadRequest));
    QCOMPARE(store.value(QStringLiteral("backup.backup_list")),
             QJsonValue(QJsonArray{QJsonObject{{"name", "b"}}}));
    const QString autoload = QStringLiteral("project.overview.set_autoload");
    QCOMPARE(errorOf(store.runCommand(autoload, QJsonObject{{"autoload_pri_path", "b/m"}})), 0);
    QCOMPARE(store.autoloadPath(), QStringLiteral("b/m"));
    QCOMPARE(errorOf(store.runCommand(autoload, QJsonObject{})), int(ProgramStore::BadRequest));
    QCOMPARE(store.autoloadPath(), QStringLiteral("b/m"));
}

void tst_ProgramStore::monitorSelectionAndBackupsThroughTheLink()
{
    sim::SimulatedController c;
    c.bringUp();
    using Kind = mirel::ControllerMessage::Kind;
    const QJsonObject select{{"sub", ""}, {"value", QJsonArray{"count", "plain"}}};
    QCOMPARE(ask(c, Kind::Set, QStringLiteral("monitor.select"), select)["success"].toBool(), true);
    // Anything but a list of names is refused and keeps the selection.
    for (const QJsonValue &bad : {QJsonValue(5), QJsonValue(QJsonArray{""}), QJsonValue()})
        QCOMPARE(ask(c, Kind::Set, QStringLiteral("monitor.select"),
                     QJsonObject{{"sub", ""}, {"value", bad}}),
                 QJsonValue(QJsonObject{{"success", false}, {"code", -2}}));
    QCOMPARE(ask(c, Kind::Get, QStringLiteral("monitor.pers"), QJsonValue()),
             QJsonValue(QJsonArray{"count", "plain"}));
    c.programs()->setProjects({QStringLiteral("kept")});
    c.setRebootDelay(0);
    c.reboot();
    QTRY_VERIFY(c.isUp());
    QCOMPARE(ask(c, Kind::Get, QStringLiteral("backup.backup_list"), QJsonValue()),
             QJsonValue(QJsonArray{QJsonObject{{"name", "kept"}}}));
    QCOMPARE(ask(c, Kind::Command, QStringLiteral("project.variable"),
                 QJsonObject{{"operator", "remove"}, {"variables", QJsonArray{"plain"}}}),
             QJsonValue(0));
}

// The variables a pendant elsewhere sent are the project's, also when there are none; only while
// nothing was sent does the controller read those of a pendant in its own process.
void tst_ProgramStore::emptyVariableListIsAListWithoutVariables()
{
    sim::SimulatedController c;
    c.bringUp();
    using Kind = mirel::ControllerMessage::Kind;
    const auto removeCount = [&c] {
        return ask(c, Kind::Command, QStringLiteral("project.variable"),
                   QJsonObject{{"operator", "remove"}, {"variables", QJsonArray{"count"}}});
    };
    const auto send = [&c](const QJsonValue &variables) {
        return ask(c, Kind::Set, QStringLiteral("rovan.project.var._list"),
                   QJsonObject{{"sub", ""}, {"value", variables}})["success"]
            .toBool();
    };
    QCOMPARE(removeCount(), QJsonValue(0));
    QVERIFY(send(QJsonArray()));
    QCOMPARE(errorOf(removeCount()), int(ProgramStore::UnknownVariable));
    QVERIFY(send(QJsonValue()));
    QCOMPARE(removeCount(), QJsonValue(0));
}

QTEST_MAIN(tst_ProgramStore)
#include "tst_programstore.moc"
