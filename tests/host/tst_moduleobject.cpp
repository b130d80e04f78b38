#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <support/filesizelimit.h>

using nabu::ModuleObject;

namespace {

// Parses any JSON value, scalars included.
QJsonValue js(const char *text)
{
    const QByteArray wrapped = QByteArray("[") + text + "]";
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(wrapped, &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad JSON in test table: %s", text);
    return doc.array().at(0);
}

QByteArray compact(const QJsonValue &value)
{
    QJsonArray wrapper;
    wrapper.append(value);
    return QJsonDocument(wrapper).toJson(QJsonDocument::Compact);
}

QStringList names(const QList<ModuleObject *> &nodes)
{
    QStringList result;
    for (const ModuleObject *node : nodes)
        result.append(node->name());
    return result;
}

// Same shape: list nodes stay list nodes, keyed nodes keep their keys, leaves their JSON value.
bool sameTree(const ModuleObject *a, const ModuleObject *b, QString *why)
{
    if (a->isList() != b->isList()) {
        *why = QStringLiteral("list flag differs at '%1'").arg(a->name());
        return false;
    }
    if (a->cmobjCount() != b->cmobjCount()) {
        *why = QStringLiteral("child count differs at '%1'").arg(a->name());
        return false;
    }
    if (a->cmobjCount() == 0) {
        if (QJsonValue::fromVariant(a->get()) != QJsonValue::fromVariant(b->get())) {
            *why = QStringLiteral("value differs at '%1'").arg(a->name());
            return false;
        }
        return true;
    }
    const QList<ModuleObject *> ac = a->cmobjs();
    const QList<ModuleObject *> bc = b->cmobjs();
    if (a->isList()) {
        for (int i = 0; i < ac.size(); ++i) {
            if (!sameTree(ac.at(i), bc.at(i), why))
                return false;
        }
        return true;
    }
    auto *mb = const_cast<ModuleObject *>(b);
    for (const ModuleObject *child : ac) {
        if (!mb->hasCmobj(child->name())) {
            *why = QStringLiteral("key '%1' missing").arg(child->name());
            return false;
        }
        if (!sameTree(child, mb->c(child->name()), why))
            return false;
    }
    return true;
}

} // namespace

class tst_ModuleObject : public QObject
{
    Q_OBJECT

private slots:
    void getters_data();
    void exportOfWideNodes_data();
    void exportOfWideNodes();
    void getters();
    void pathsYieldUsableNodes();
    void plainKeySegments_data();
    void plainKeySegments();
    void listIndexSegments_data();
    void listIndexSegments();
    void relativePaths();
    void mName_data();
    void mName();
    void caseInsensitiveLookup();
    void cmobjsOrder();
    void duplicateKeys();
    void removalThenLookup();
    void clearAndNotify();
    void directDeletion();
    void constructedWithTreeParent();
    void reparentingWithInsert();
    void insertRefusesCycles();
    void generateIdNeverRepeats_data();
    void generateIdNeverRepeats();
    void generateIdAfterChurn();
    void setEmitsChangedWithSource_data();
    void setEmitsChangedWithSource();
    void setWithoutCreate();
    void writersCarrySource();
    void jsonRoundTrip_data();
    void jsonRoundTrip();
    void builtTreeRoundTrip();
    void emptyObjectVersusNull();
    void importReplaceAndMerge();
    void importNotifications();
    void setList();
    void copyFrom();
    void copyFromRelatives();
    void watch();
    void globalTree();
    void writeToJson_data();
    void writeToJson();
    void writeToJsonRefusals();
    void largeTeachPointList();
};

void tst_ModuleObject::getters_data()
{
    QTest::addColumn<QJsonValue>("json");
    QTest::addColumn<QString>("str");
    QTest::addColumn<int>("integer");
    QTest::addColumn<double>("real");
    QTest::addColumn<bool>("boolean");

    // Defaults used below: "dflt", -7, -1.5, true.
    QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined)
                            << "dflt" << -7 << -1.5 << true;
    QTest::newRow("null reads as absent") << QJsonValue(QJsonValue::Null)
                                          << "dflt" << -7 << -1.5 << true;
    QTest::newRow("integer") << QJsonValue(42) << "42" << 42 << 42.0 << true;
    QTest::newRow("zero") << QJsonValue(0) << "0" << 0 << 0.0 << false;
    QTest::newRow("real rounds") << QJsonValue(2.5) << "2.5" << 3 << 2.5 << true;
    QTest::newRow("numeric string") << QJsonValue("12") << "12" << 12 << 12.0 << true;
    QTest::newRow("word") << QJsonValue("abc") << "abc" << -7 << -1.5 << true;
    QTest::newRow("empty string is a value") << QJsonValue("") << "" << -7 << -1.5 << false;
    QTest::newRow("false") << QJsonValue(false) << "false" << 0 << 0.0 << false;
}

void tst_ModuleObject::getters()
{
    QFETCH(QJsonValue, json);
    QFETCH(QString, str);
    QFETCH(int, integer);
    QFETCH(double, real);
    QFETCH(bool, boolean);

    ModuleObject node(QStringLiteral("leaf"));
    if (!json.isUndefined())
        node.importFromJson(this, json);
    QCOMPARE(node.getString(QStringLiteral("dflt")), str);
    QCOMPARE(node.getInt(-7), integer);
    QCOMPARE(node.getDouble(-1.5), real);
    QCOMPARE(node.getBool(true), boolean);
    const bool absent = json.isUndefined() || json.isNull();
    QCOMPARE(node.get(QStringLiteral("dv")) == QVariant(QStringLiteral("dv")), absent);
}

void tst_ModuleObject::pathsYieldUsableNodes()
{
    ModuleObject root;
    ModuleObject *x = root.r(QStringLiteral("a.b.c"));
    QVERIFY(x);
    QCOMPARE(x->name(), QStringLiteral("c"));
    QCOMPARE(x->getInt(5), 5);
    QCOMPARE(x->getString(QStringLiteral("none")), QStringLiteral("none"));
    // The same path is the same node, not a second one.
    QCOMPARE(root.r(QStringLiteral("a.b.c")), x);
    QCOMPARE(root.c(QStringLiteral("a"))->c(QStringLiteral("b"))->c(QStringLiteral("c")), x);
    QCOMPARE(root.cmobjCount(), 1);
    QCOMPARE(x->pmobj()->name(), QStringLiteral("b"));
    QCOMPARE(x->pmobj()->pmobj()->pmobj(), &root);
    QCOMPARE(x->parent(), x->pmobj());
    // Empty segments are skipped; an empty path is the node itself.
    QCOMPARE(root.r(QStringLiteral("a..b.c.")), x);
    QCOMPARE(root.r(QString()), &root);
    x->set(this, 3);
    QCOMPARE(root.r(QStringLiteral("a.b.c"))->getInt(), 3);
}

void tst_ModuleObject::plainKeySegments_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("chain");

    QTest::newRow("teach point index keys")
        << "value.[0][0][0].pose.frame.pos.x"
        << QStringList{"value", "[0][0][0]", "pose", "frame", "pos", "x"};
    QTest::newRow("bracket key at the end") << "reg.[3]" << QStringList{"reg", "[3]"};
    QTest::newRow("lone hash") << "a.#" << QStringList{"a", "#"};
    QTest::newRow("negative index") << "a.#-1" << QStringList{"a", "#-1"};
    QTest::newRow("hash word") << "a.#x" << QStringList{"a", "#x"};
    QTest::newRow("hash number word") << "a.#1a" << QStringList{"a", "#1a"};
}

void tst_ModuleObject::plainKeySegments()
{
    QFETCH(QString, path);
    QFETCH(QStringList, chain);

    ModuleObject root;
    ModuleObject *leaf = root.r(path);
    leaf->set(this, 1.25);
    QStringList walked;
    for (ModuleObject *n = leaf; n && n != &root; n = n->pmobj())
        walked.prepend(n->name());
    QCOMPARE(walked, chain);
    for (ModuleObject *n = leaf->pmobj(); n; n = n->pmobj())
        QVERIFY2(!n->isList(), qPrintable(n->name()));
    // Exported as nested objects under those very keys.
    QJsonValue v = root.exportToJson();
    for (const QString &key : chain) {
        QVERIFY2(v.isObject(), qPrintable(key));
        v = v.toObject().value(key);
    }
    QCOMPARE(v.toDouble(), 1.25);
    QCOMPARE(root.r(path), leaf);
}

void tst_ModuleObject::listIndexSegments_data()
{
    QTest::addColumn<int>("existing");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("countAfter");

    QTest::newRow("first of empty") << 0 << 0 << 1;
    QTest::newRow("beyond the end pads") << 0 << 3 << 4;
    QTest::newRow("existing element") << 5 << 2 << 5;
    QTest::newRow("just past the end") << 5 << 5 << 6;
}

void tst_ModuleObject::listIndexSegments()
{
    QFETCH(int, existing);
    QFETCH(int, index);
    QFETCH(int, countAfter);

    ModuleObject root;
    ModuleObject *list = root.r(QStringLiteral("points"));
    QVariantList items;
    for (int i = 0; i < existing; ++i)
        items.append(i * 10);
    if (existing)
        list->setList(this, items, false);
    const QList<ModuleObject *> before = list->cmobjs();

    ModuleObject *element = root.r(QStringLiteral("points.#%1").arg(index));
    QCOMPARE(list->cmobjCount(), countAfter);
    QVERIFY(list->isList());
    QCOMPARE(list->indexOf(element), index);
    QCOMPARE(list->c(index), element);
    if (index < existing) {
        QCOMPARE(element, before.at(index));
        QCOMPARE(element->getInt(), index * 10);
    }
    // Earlier elements are kept as they were.
    for (int i = 0; i < qMin(existing, countAfter); ++i)
        QCOMPARE(list->cmobjs().at(i), before.at(i));

    root.r(QStringLiteral("points.#%1.pose.x").arg(index))->set(this, 7.5);
    const QJsonArray exported = list->exportToJson().toArray();
    QCOMPARE(exported.size(), countAfter);
    QCOMPARE(exported.at(index).toObject().value("pose").toObject().value("x").toDouble(), 7.5);
    QVERIFY(list->hasCmobj(QStringLiteral("#%1").arg(index)));
    QVERIFY(!list->hasCmobj(QStringLiteral("#%1").arg(countAfter)));
}

void tst_ModuleObject::relativePaths()
{
    ModuleObject *base = nabu::m(QStringLiteral("tst.moduleobject.relative"));
    ModuleObject *viaGlobal = nabu::m(QStringLiteral("tst.moduleobject.relative.a.b"));
    QCOMPARE(base->r(QStringLiteral("a.b")), viaGlobal);
    QCOMPARE(base->rmobj(QStringLiteral("a.b")), viaGlobal);
    QCOMPARE(nabu::m(QStringLiteral("a.b"), base), viaGlobal);
    QCOMPARE(base->cmobj(QStringLiteral("a"))->r(QStringLiteral("b")), viaGlobal);

    // A detached subtree resolves relative paths within itself.
    ModuleObject local;
    ModuleObject *inLocal = nabu::m(QStringLiteral("a.b"), &local);
    QVERIFY(inLocal != viaGlobal);
    QCOMPARE(inLocal->pmobj()->pmobj(), &local);
    QCOMPARE(local.rmobj(QStringLiteral("a.#0")), local.r(QStringLiteral("a.#0")));
}

void tst_ModuleObject::mName_data()
{
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QString>("joined");

    QTest::newRow("two") << QStringList{"tessel", "log"} << "tessel.log";
    QTest::newRow("three") << QStringList{"mirel", "r", "dh"} << "mirel.r.dh";
    QTest::newRow("path parts") << QStringList{"a.b", "c"} << "a.b.c";
    QTest::newRow("list element") << QStringList{"list", "#2", "x"} << "list.#2.x";
}

void tst_ModuleObject::mName()
{
    QFETCH(QStringList, parts);
    QFETCH(QString, joined);

    const QString name = parts.size() == 2 ? nabu::mName(parts.at(0), parts.at(1))
                                           : nabu::mName(parts.at(0), parts.at(1), parts.at(2));
    QCOMPARE(name, joined);
    ModuleObject root;
    QCOMPARE(nabu::m(name, &root), root.r(joined));
}

void tst_ModuleObject::caseInsensitiveLookup()
{
    ModuleObject root;
    ModuleObject *speed = root.c(QStringLiteral("Speed"));
    QVERIFY(root.hasCmobj(QStringLiteral("SPEED"), true));
    QVERIFY(!root.hasCmobj(QStringLiteral("SPEED")));
    QCOMPARE(root.c(QStringLiteral("speed"), true), speed);
    QCOMPARE(root.cmobj(QStringLiteral("sPeEd"), true), speed);
    QCOMPARE(root.cmobjCount(), 1);
    // Case-sensitive lookups of another spelling make a sibling.
    ModuleObject *other = root.c(QStringLiteral("speed"));
    QVERIFY(other != speed);
    QCOMPARE(root.cmobjCount(), 2);
}

void tst_ModuleObject::cmobjsOrder()
{
    ModuleObject root;
    for (const char *key : {"zeta", "alpha", "mid"})
        root.c(QString::fromLatin1(key));
    root.r(QStringLiteral("alpha.inner.deep"));
    root.r(QStringLiteral("alpha.second"));
    QCOMPARE(names(root.cmobjs()), (QStringList{"zeta", "alpha", "mid"}));
    QCOMPARE(names(root.cmobjs(true)),
             (QStringList{"zeta", "alpha", "inner", "deep", "second", "mid"}));

    auto *first = new ModuleObject(QStringLiteral("first"));
    QCOMPARE(root.insert(this, first, true, 0), first);
    auto *third = new ModuleObject(QStringLiteral("third"));
    root.insert(this, third, true, 2);
    QCOMPARE(names(root.cmobjs()), (QStringList{"first", "zeta", "third", "alpha", "mid"}));
    QCOMPARE(root.indexOf(third), 2);
    QCOMPARE(root.c(2), third);

    QVERIFY(root.remove(this, QStringLiteral("zeta")));
    QCOMPARE(names(root.cmobjs()), (QStringList{"first", "third", "alpha", "mid"}));
    QCOMPARE(root.indexOf(third), 1);
    QCOMPARE(root.r(QStringLiteral("#1")), third);
}

void tst_ModuleObject::duplicateKeys()
{
    ModuleObject root;
    ModuleObject *a = root.append(this, QStringLiteral("k"));
    ModuleObject *b = root.append(this, QStringLiteral("k"));
    QVERIFY(a != b);
    a->set(this, 1);
    b->set(this, 2);
    QCOMPARE(root.cmobjCount(), 2);
    // The first of a key is the one found and the one exported.
    QCOMPARE(root.c(QStringLiteral("k")), a);
    QCOMPARE(root.exportToJson().toObject().value("k").toInt(), 1);

    // A duplicate inserted in front takes the key over.
    auto *front = new ModuleObject(QStringLiteral("k"));
    front->set(this, 0);
    root.insert(this, front, true, 0);
    QCOMPARE(root.c(QStringLiteral("k")), front);
    QCOMPARE(root.exportToJson().toObject().value("k").toInt(), 0);

    // Removing the holder hands the key to the next in line, in order.
    QVERIFY(root.remove(this, QStringLiteral("k")));
    QCOMPARE(root.c(QStringLiteral("k")), a);
    QVERIFY(root.remove(this, a));
    QCOMPARE(root.c(QStringLiteral("k")), b);
    QCOMPARE(root.exportToJson().toObject().value("k").toInt(), 2);
    // Removing a later duplicate leaves the holder alone.
    ModuleObject *c = root.append(this, QStringLiteral("k"));
    QVERIFY(root.remove(this, c));
    QCOMPARE(root.c(QStringLiteral("k")), b);
    QVERIFY(root.remove(this, QStringLiteral("k")));
    QVERIFY(!root.hasCmobj(QStringLiteral("k")));
    QCOMPARE(root.cmobjCount(), 0);
    QVERIFY(!root.remove(this, QStringLiteral("k")));
}

void tst_ModuleObject::removalThenLookup()
{
    ModuleObject root;
    ModuleObject *gone = root.r(QStringLiteral("a.b"));
    gone->set(this, 9);
    ModuleObject *a = root.c(QStringLiteral("a"));
    QSignalSpy removed(a, &ModuleObject::childRemoved);
    QPointer<ModuleObject> watchGone(gone);

    QVERIFY(a->remove(this, QStringLiteral("b")));
    QVERIFY(watchGone.isNull());
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(0).toString(), QStringLiteral("b"));
    QVERIFY(!a->hasCmobj(QStringLiteral("b")));
    QCOMPARE(a->cmobjCount(), 0);
    QVERIFY(!a->remove(this, QStringLiteral("b")));
    QVERIFY(!a->remove(this, static_cast<ModuleObject *>(nullptr)));
    QCOMPARE(removed.count(), 1);

    // A lookup after removal yields a fresh node that reads as absent.
    ModuleObject *fresh = root.r(QStringLiteral("a.b"));
    QCOMPARE(fresh->getInt(-1), -1);
    QCOMPARE(a->cmobjCount(), 1);

    // Removal without destruction hands the node back, parentless and whole.
    fresh->r(QStringLiteral("x"))->set(this, 4);
    QVERIFY(a->remove(this, fresh, false));
    QCOMPARE(removed.count(), 2);
    QCOMPARE(fresh->pmobj(), nullptr);
    QCOMPARE(fresh->parent(), nullptr);
    QCOMPARE(fresh->r(QStringLiteral("x"))->getInt(), 4);
    QVERIFY(!a->hasCmobj(QStringLiteral("b")));
    delete fresh;
    QCOMPARE(a->cmobjCount(), 0);

    // Removing a node of another parent is refused.
    ModuleObject other;
    ModuleObject *stranger = other.c(QStringLiteral("s"));
    QVERIFY(!a->remove(this, stranger));
    QCOMPARE(stranger->pmobj(), &other);
}

void tst_ModuleObject::clearAndNotify()
{
    ModuleObject root;
    QList<QPointer<ModuleObject>> kids;
    for (const char *key : {"a", "b", "c"})
        kids.append(root.c(QString::fromLatin1(key)));
    root.append(this, QStringLiteral("a"));
    QSignalSpy removed(&root, &ModuleObject::childRemoved);

    root.clear(this, true, true);
    QCOMPARE(removed.count(), 4);
    QCOMPARE(root.cmobjCount(), 0);
    for (const auto &kid : kids)
        QVERIFY(kid.isNull());
    QVERIFY(!root.hasCmobj(QStringLiteral("a")));
    QCOMPARE(root.c(QStringLiteral("a"))->getInt(-2), -2);

    // Without destruction the children survive on their own, and silently.
    QScopedPointer<ModuleObject> keep(root.c(QStringLiteral("keep")));
    QScopedPointer<ModuleObject> again(root.c(QStringLiteral("a")));
    root.clear(this, false, false);
    QCOMPARE(removed.count(), 4);
    QCOMPARE(keep->pmobj(), nullptr);
    QCOMPARE(keep->parent(), nullptr);
    QCOMPARE(again->pmobj(), nullptr);
    QCOMPARE(root.cmobjCount(), 0);
    QVERIFY(!root.hasCmobj(QStringLiteral("keep")));
}

void tst_ModuleObject::exportOfWideNodes_data()
{
    QTest::addColumn<bool>("list");
    QTest::addColumn<int>("count");

    for (const bool list : {true, false}) {
        for (const int count : {1, 3, 8, 9, 40}) {
            QTest::addRow("%s of %d", list ? "list" : "object", count) << list << count;
        }
    }
}

// Nodes of more children than the walk looks ahead, nested, and with later and earlier
// duplicates of a key: every child exported, in order, the first of each key winning.
void tst_ModuleObject::exportOfWideNodes()
{
    QFETCH(bool, list);
    QFETCH(int, count);

    ModuleObject root;
    ModuleObject *node = root.c(QStringLiteral("node"));
    QJsonArray array;
    QJsonObject object;
    for (int i = 0; i < count; ++i) {
        const QString key = QStringLiteral("k%1").arg(i, 2, 10, QLatin1Char('0'));
        ModuleObject *child = list ? node->c(i) : node->c(key);
        child->set(this, QStringLiteral("v"), i);
        child->set(this, QStringLiteral("t"), key);
        const QJsonObject expected{{QStringLiteral("v"), i}, {QStringLiteral("t"), key}};
        array.append(expected);
        object.insert(key, expected);
    }
    QJsonValue shallow;
    if (list) {
        QCOMPARE(node->exportToJson(), QJsonValue(array));
        QJsonArray nulls;
        for (int i = 0; i < count; ++i)
            nulls.append(QJsonValue::Null);
        shallow = nulls;
    } else {
        const QString first = QStringLiteral("k00");
        const QString last = QStringLiteral("k%1").arg(count - 1, 2, 10, QLatin1Char('0'));
        node->insert(this, new ModuleObject(last), false)->set(this, -1);
        node->insert(this, new ModuleObject(first), false, 0)->set(this, -2);
        object.insert(first, -2);
        QCOMPARE(node->exportToJson(), QJsonValue(object));
        QJsonObject values;
        for (const QString &key : object.keys())
            values.insert(key, QJsonValue::Null);
        values.insert(first, -2);
        shallow = values;
    }
    QCOMPARE(node->exportToJson(false), shallow);
}

void tst_ModuleObject::directDeletion()
{
    ModuleObject root;
    ModuleObject *list = root.r(QStringLiteral("list"));
    list->setList(this, {10, 20, 30, 40}, false);
    ModuleObject *second = list->c(1);
    QSignalSpy removed(list, &ModuleObject::childRemoved);
    delete second;
    QCOMPARE(removed.count(), 1);
    QCOMPARE(list->cmobjCount(), 3);
    QCOMPARE(list->c(1)->getInt(), 30);
    QCOMPARE(list->exportToJson(), js("[10,30,40]"));

    ModuleObject *branch = root.r(QStringLiteral("branch"));
    QPointer<ModuleObject> leaf = root.r(QStringLiteral("branch.x.y"));
    leaf->set(this, 1);
    delete branch;
    QVERIFY(leaf.isNull());
    QVERIFY(!root.hasCmobj(QStringLiteral("branch")));
    QCOMPARE(root.cmobjCount(), 1);
    QCOMPARE(root.r(QStringLiteral("branch.x.y"))->getInt(-1), -1);

    // deleteLater too, once the event loop runs.
    ModuleObject *later = root.c(QStringLiteral("later"));
    later->deleteLater();
    QTRY_VERIFY(!root.hasCmobj(QStringLiteral("later")));
    QCOMPARE(root.exportToJson().toObject().keys(), (QStringList{"branch", "list"}));
}

void tst_ModuleObject::constructedWithTreeParent()
{
    ModuleObject root;
    auto *child = new ModuleObject(QStringLiteral("made"), &root);
    QCOMPARE(child->pmobj(), &root);
    QCOMPARE(root.c(QStringLiteral("made")), child);
    QCOMPARE(root.cmobjCount(), 1);

    // A plain QObject parent is not a tree parent.
    QObject holder;
    auto *loose = new ModuleObject(QStringLiteral("loose"), &holder);
    QCOMPARE(loose->pmobj(), nullptr);
    root.insert(this, loose);
    QCOMPARE(loose->parent(), &root);
    QCOMPARE(root.indexOf(loose), 1);
}

void tst_ModuleObject::reparentingWithInsert()
{
    ModuleObject from;
    ModuleObject to;
    ModuleObject *moving = from.r(QStringLiteral("moving.sub"))->pmobj();
    moving->c(QStringLiteral("sub"))->set(this, 5);
    from.c(QStringLiteral("stays"));
    to.c(QStringLiteral("x"));
    to.c(QStringLiteral("y"));
    QSignalSpy fromRemoved(&from, &ModuleObject::childRemoved);
    QSignalSpy toAdded(&to, &ModuleObject::childAdded);

    QCOMPARE(to.insert(this, moving, true, 1), moving);
    QCOMPARE(moving->pmobj(), &to);
    QCOMPARE(moving->parent(), &to);
    QCOMPARE(names(to.cmobjs()), (QStringList{"x", "moving", "y"}));
    QCOMPARE(names(from.cmobjs()), QStringList{"stays"});
    QVERIFY(!from.hasCmobj(QStringLiteral("moving")));
    QCOMPARE(fromRemoved.count(), 1);
    QCOMPARE(toAdded.count(), 1);
    QCOMPARE(qvariant_cast<ModuleObject *>(toAdded.at(0).at(0)), moving);
    QCOMPARE(to.r(QStringLiteral("moving.sub"))->getInt(), 5);
    // The old parent finds nothing under the key any more.
    QCOMPARE(from.r(QStringLiteral("moving.sub"))->getInt(-1), -1);

    // Within the same parent insert moves the node.
    to.insert(this, moving, false, 0);
    QCOMPARE(names(to.cmobjs()), (QStringList{"moving", "x", "y"}));
    QCOMPARE(toAdded.count(), 1);
    QCOMPARE(to.c(QStringLiteral("moving")), moving);
    to.insert(this, moving, false, -1);
    QCOMPARE(names(to.cmobjs()), (QStringList{"x", "y", "moving"}));
    QCOMPARE(to.cmobjCount(), 3);

    // Deleting the new parent takes the node along; the old one is unaffected.
    QPointer<ModuleObject> watch(moving);
    {
        ModuleObject scratch;
        scratch.insert(this, moving);
    }
    QVERIFY(watch.isNull());
    QCOMPARE(names(to.cmobjs()), (QStringList{"x", "y"}));
    QVERIFY(to.insert(this, nullptr) == nullptr);
}

void tst_ModuleObject::insertRefusesCycles()
{
    ModuleObject root;
    ModuleObject *a = root.c(QStringLiteral("a"));
    ModuleObject *deep = root.r(QStringLiteral("a.b.c"));
    QSignalSpy added(deep, &ModuleObject::childAdded);

    QCOMPARE(deep->insert(this, a), nullptr);
    QCOMPARE(deep->insert(this, deep), nullptr);
    QCOMPARE(a->insert(this, &root), nullptr);
    QCOMPARE(added.count(), 0);
    QCOMPARE(a->pmobj(), &root);
    QCOMPARE(deep->cmobjCount(), 0);
    QCOMPARE(root.exportToJson(), js(R"({"a":{"b":{"c":null}}})"));
}

void tst_ModuleObject::generateIdNeverRepeats_data()
{
    QTest::addColumn<QStringList>("siblings");

    QTest::newRow("none") << QStringList{};
    QTest::newRow("dense") << QStringList{"id0", "id1"};
    QTest::newRow("gap after removal") << QStringList{"id0", "id2"};
    QTest::newRow("next taken") << QStringList{"id1"};
    QTest::newRow("run taken") << QStringList{"x", "id2", "id3", "id4"};
    QTest::newRow("other names") << QStringList{"a", "b", "c"};
}

void tst_ModuleObject::generateIdNeverRepeats()
{
    QFETCH(QStringList, siblings);

    ModuleObject node;
    for (const QString &name : siblings)
        node.append(this, name);
    const QString id = ModuleObject::generateId(&node);
    QVERIFY(!id.isEmpty());
    QVERIFY2(!siblings.contains(id), qPrintable(id));
    QVERIFY(!node.hasCmobj(id));
    QVERIFY(!ModuleObject::generateId(nullptr).isEmpty());
}

void tst_ModuleObject::generateIdAfterChurn()
{
    ModuleObject list;
    // Appends and removals from the front and middle, as an editor does.
    for (int round = 0; round < 50; ++round) {
        list.append(this);
        list.append(this);
        list.remove(this, list.c(round % list.cmobjCount()));
        QSet<QString> seen;
        for (const ModuleObject *child : list.cmobjs()) {
            QVERIFY2(!seen.contains(child->name()), qPrintable(child->name()));
            seen.insert(child->name());
        }
    }
    QCOMPARE(list.cmobjCount(), 50);
}

void tst_ModuleObject::setEmitsChangedWithSource_data()
{
    QTest::addColumn<QVariant>("first");
    QTest::addColumn<QVariant>("second");
    QTest::addColumn<bool>("emits");

    QTest::newRow("same int") << QVariant(1) << QVariant(1) << false;
    QTest::newRow("other int") << QVariant(1) << QVariant(2) << true;
    QTest::newRow("int to double") << QVariant(1) << QVariant(1.0) << true;
    QTest::newRow("int to string") << QVariant(1) << QVariant(QStringLiteral("1")) << true;
    QTest::newRow("bool to int") << QVariant(true) << QVariant(1) << true;
    QTest::newRow("same string") << QVariant(QStringLiteral("a"))
                                 << QVariant(QStringLiteral("a")) << false;
    QTest::newRow("value to absent") << QVariant(3) << QVariant() << true;
    QTest::newRow("empty string to absent") << QVariant(QString()) << QVariant() << true;
    QTest::newRow("list element changed") << QVariant(QVariantList{1, 2})
                                          << QVariant(QVariantList{1, 3}) << true;
}

void tst_ModuleObject::setEmitsChangedWithSource()
{
    QFETCH(QVariant, first);
    QFETCH(QVariant, second);
    QFETCH(bool, emits);

    ModuleObject node(QStringLiteral("n"));
    QObject writer;
    node.set(&writer, first);
    QSignalSpy spy(&node, &ModuleObject::changed);
    QCOMPARE(node.set(&writer, second), &node);
    QCOMPARE(spy.count(), emits ? 1 : 0);
    if (emits) {
        const QList<QVariant> args = spy.takeFirst();
        QCOMPARE(args.at(0), second);
        QCOMPARE(args.at(1), first);
        QCOMPARE(args.at(1).userType(), first.userType());
        QCOMPARE(qvariant_cast<QObject *>(args.at(2)), &writer);
    }
    QCOMPARE(node.get().userType(), second.userType());
}

void tst_ModuleObject::setWithoutCreate()
{
    ModuleObject root;
    root.r(QStringLiteral("a.b"))->set(this, 1);
    QCOMPARE(root.set(this, QStringLiteral("a.missing.x"), 2, false), nullptr);
    QVERIFY(!root.c(QStringLiteral("a"))->hasCmobj(QStringLiteral("missing")));
    QCOMPARE(root.set(this, QStringLiteral("a.#4"), 2, false), nullptr);
    QCOMPARE(root.c(QStringLiteral("a"))->cmobjCount(), 1);

    ModuleObject *b = root.set(this, QStringLiteral("a.b"), 5, false);
    QCOMPARE(b, root.r(QStringLiteral("a.b")));
    QCOMPARE(b->getInt(), 5);
    ModuleObject *made = root.set(this, QStringLiteral("a.c.d"), QStringLiteral("v"));
    QCOMPARE(made->getString(), QStringLiteral("v"));
    QCOMPARE(made->name(), QStringLiteral("d"));
}

void tst_ModuleObject::writersCarrySource()
{
    QObject writer;
    ModuleObject root;
    ModuleObject *node = root.r(QStringLiteral("n"));
    QSignalSpy spy(node, &ModuleObject::changed);
    auto lastSource = [&spy] { return qvariant_cast<QObject *>(spy.last().at(2)); };

    root.set(&writer, QStringLiteral("n"), 1);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(lastSource(), &writer);

    node->setList(&writer, {1, 2});
    QCOMPARE(spy.count(), 2);
    QCOMPARE(lastSource(), &writer);
    QCOMPARE(spy.last().at(0).toList(), (QVariantList{1, 2}));

    node->importFromJson(&writer, js(R"({"k":true})"));
    QCOMPARE(spy.count(), 3);
    QCOMPARE(lastSource(), &writer);
    QCOMPARE(spy.last().at(1).toList(), (QVariantList{1, 2}));

    ModuleObject other;
    other.set(this, 8);
    node->copyFrom(&writer, &other, true, true);
    QCOMPARE(spy.count(), 4);
    QCOMPARE(lastSource(), &writer);
    QCOMPARE(spy.last().at(0).toInt(), 8);

    node->trigger(&writer);
    QCOMPARE(spy.count(), 5);
    QCOMPARE(spy.last().at(0), spy.last().at(1));
    QCOMPARE(lastSource(), &writer);

    node->set(nullptr, 9);
    QCOMPARE(lastSource(), nullptr);
}

void tst_ModuleObject::jsonRoundTrip_data()
{
    QTest::addColumn<QJsonValue>("json");

    QTest::newRow("number") << js("3.5");
    QTest::newRow("string") << js(R"("text")");
    QTest::newRow("bool") << js("false");
    QTest::newRow("null") << js("null");
    QTest::newRow("empty object") << js("{}");
    QTest::newRow("empty array") << js("[]");
    QTest::newRow("flat object") << js(R"({"a":1,"b":"x","c":true})");
    QTest::newRow("flat array") << js(R"([1,"two",false,null])");
    QTest::newRow("nested empties") << js(R"({"o":{},"l":[],"n":null,"ll":[[]],"lo":[{}]})");
    QTest::newRow("array of arrays") << js("[[1,2],[3,[4,[5]]],[]]");
    QTest::newRow("teach points")
        << js(R"({"value":{"[0][0][0]":{"pose":{"frame":{"pos":{"x":1.5,"y":-2,"z":0}}}},)"
              R"("[0][0][1]":{"pose":{"frame":{"pos":{"x":3,"y":4,"z":5}}}}}})");
    QTest::newRow("list of objects with lists")
        << js(R"([{"name":"p1","axes":[0,90,-90,0,0,0]},{"name":"p2","axes":[]}])");
    QTest::newRow("dotted and odd keys") << js(R"({"a.b":1,"":2,"#":3,"x y":4})");
    QTest::newRow("deep nesting") << js(R"({"a":[{"b":[{"c":[{"d":{"e":[1]}}]}]}]})");
}

void tst_ModuleObject::jsonRoundTrip()
{
    QFETCH(QJsonValue, json);

    QObject writer;
    ModuleObject first(QStringLiteral("first"));
    first.importFromJson(&writer, json);
    QCOMPARE(compact(first.exportToJson()), compact(json));
    QCOMPARE(first.isList(), json.isArray());

    const QJsonValue exported = first.exportToJson();
    ModuleObject second(QStringLiteral("second"));
    second.importFromJson(&writer, exported);
    QCOMPARE(compact(second.exportToJson()), compact(json));
    QString why;
    QVERIFY2(sameTree(&first, &second, &why), qPrintable(why));

    // Importing into a node with other content replaces it whole.
    ModuleObject third;
    third.r(QStringLiteral("stale.deep"))->set(this, 1);
    third.setIsList(true);
    third.importFromJson(&writer, exported);
    QCOMPARE(compact(third.exportToJson()), compact(json));
    QVERIFY2(sameTree(&first, &third, &why), qPrintable(why));
}

void tst_ModuleObject::builtTreeRoundTrip()
{
    // A tree built with the writers, the way the framework builds one.
    ModuleObject built;
    built.r(QStringLiteral("robot.name"))->set(this, QStringLiteral("r6"));
    built.r(QStringLiteral("robot.dh"))->setList(this, {0.1, 0.2, QVariantList{1, 2}});
    ModuleObject *points = built.r(QStringLiteral("points"));
    points->setIsList(true);
    for (int i = 0; i < 3; ++i) {
        ModuleObject *p = points->append(this);
        p->r(QStringLiteral("pose.x"))->set(this, i * 1.5);
        p->r(QStringLiteral("label"))->set(this, QStringLiteral("P%1").arg(i));
    }
    points->remove(this, points->c(1));
    built.r(QStringLiteral("value.[0][0][0].pose.frame.pos.x"))->set(this, 2.0);
    built.r(QStringLiteral("empty"))->importFromJson(this, QJsonObject());
    built.r(QStringLiteral("unset"));
    built.r(QStringLiteral("map"))->set(this, QVariantMap{{"k", 1}});

    const QJsonValue exported = built.exportToJson();
    QVERIFY(exported.isObject());
    QVERIFY(exported.toObject().value("points").isArray());
    QCOMPARE(exported.toObject().value("points").toArray().size(), 2);
    QCOMPARE(exported.toObject().value("empty"), QJsonValue(QJsonObject()));
    QVERIFY(exported.toObject().value("unset").isNull());

    ModuleObject rebuilt;
    rebuilt.importFromJson(this, exported);
    QCOMPARE(compact(rebuilt.exportToJson()), compact(exported));
    QCOMPARE(rebuilt.r(QStringLiteral("points.#1.label"))->getString(), QStringLiteral("P2"));
    QCOMPARE(rebuilt.r(QStringLiteral("value.[0][0][0].pose.frame.pos.x"))->getDouble(), 2.0);
    QCOMPARE(rebuilt.r(QStringLiteral("unset"))->getString(QStringLiteral("d")),
             QStringLiteral("d"));
    QCOMPARE(rebuilt.r(QStringLiteral("map.k"))->getInt(), 1);
    QCOMPARE(rebuilt.r(QStringLiteral("robot.dh.#2.#1"))->getInt(), 2);
}

void tst_ModuleObject::emptyObjectVersusNull()
{
    ModuleObject node;
    node.importFromJson(this, QJsonObject());
    QCOMPARE(node.exportToJson(), QJsonValue(QJsonObject()));
    node.importFromJson(this, QJsonValue(QJsonValue::Null));
    QCOMPARE(node.exportToJson(), QJsonValue(QJsonValue::Null));
    node.importFromJson(this, QJsonArray());
    QCOMPARE(node.exportToJson(), QJsonValue(QJsonArray()));
    QVERIFY(node.isList());

    // An object whose last child went away is still an object.
    node.importFromJson(this, js(R"({"only":1})"));
    node.remove(this, QStringLiteral("only"));
    QCOMPARE(node.exportToJson(), QJsonValue(QJsonObject()));
    // A list emptied is still a list.
    node.importFromJson(this, js("[1]"));
    node.clear(this);
    QCOMPARE(node.exportToJson(), QJsonValue(QJsonArray()));

    // An untouched node exports null.
    ModuleObject fresh;
    QCOMPARE(fresh.exportToJson(), QJsonValue(QJsonValue::Null));
}

void tst_ModuleObject::importReplaceAndMerge()
{
    ModuleObject node;
    node.importFromJson(this, js(R"({"a":1,"keep":{"x":1}})"));
    ModuleObject *keep = node.c(QStringLiteral("keep"));

    node.importFromJson(this, js(R"({"b":2,"keep":{"y":2}})"), false);
    QCOMPARE(node.exportToJson(), js(R"({"a":1,"b":2,"keep":{"x":1,"y":2}})"));
    QCOMPARE(node.c(QStringLiteral("keep")), keep);

    QPointer<ModuleObject> watch(keep);
    node.importFromJson(this, js(R"({"b":3})"));
    QCOMPARE(node.exportToJson(), js(R"({"b":3})"));
    QVERIFY(watch.isNull());
    QVERIFY(!node.hasCmobj(QStringLiteral("a")));

    // Replacing a list with an object leaves no list behind.
    node.importFromJson(this, js("[1,2]"));
    node.importFromJson(this, js(R"({"z":0})"));
    QVERIFY(!node.isList());
    QCOMPARE(node.exportToJson(), js(R"({"z":0})"));
}

void tst_ModuleObject::importNotifications()
{
    ModuleObject root;
    ModuleObject *mid = root.r(QStringLiteral("mid"));
    ModuleObject *node = root.r(QStringLiteral("mid.node"));
    QSignalSpy nodeSpy(node, &ModuleObject::changed);
    QSignalSpy midSpy(mid, &ModuleObject::changed);
    QSignalSpy rootSpy(&root, &ModuleObject::changed);
    QObject writer;

    node->importFromJson(&writer, js(R"({"a":[1]})"));
    QCOMPARE(nodeSpy.count(), 1);
    QCOMPARE(nodeSpy.last().at(0).toMap().value("a").toList(), QVariantList{1});
    // Same content again: nothing changed.
    node->importFromJson(&writer, js(R"({"a":[1]})"));
    QCOMPARE(nodeSpy.count(), 1);
    // Without notification the content still changes.
    node->importFromJson(&writer, js(R"({"a":[2]})"), true, false);
    QCOMPARE(nodeSpy.count(), 1);
    QCOMPARE(node->r(QStringLiteral("a.#0"))->getInt(), 2);
    QCOMPARE(midSpy.count(), 0);

    node->importFromJson(&writer, js(R"({"a":[3]})"), true, true, true);
    QCOMPARE(nodeSpy.count(), 2);
    QCOMPARE(midSpy.count(), 1);
    QCOMPARE(rootSpy.count(), 1);
    QCOMPARE(qvariant_cast<QObject *>(rootSpy.last().at(2)), &writer);
}

void tst_ModuleObject::setList()
{
    ModuleObject node;
    node.r(QStringLiteral("old.child"));
    const QVariantList list{1, QStringLiteral("two"), QVariantMap{{"x", 3}},
                            QVariantList{4, QVariantList{5}}};
    QSignalSpy spy(&node, &ModuleObject::changed);
    node.setList(this, list);
    QVERIFY(node.isList());
    QCOMPARE(node.cmobjCount(), 4);
    QVERIFY(!node.hasCmobj(QStringLiteral("old")));
    QCOMPARE(node.exportToJson(), QJsonValue::fromVariant(list));
    QCOMPARE(node.r(QStringLiteral("#2.x"))->getInt(), 3);
    QCOMPARE(node.r(QStringLiteral("#3.#1.#0"))->getInt(), 5);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.last().at(1).toMap().keys(), QStringList{"old"});

    // A second list replaces the first.
    node.setList(this, {7}, false);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(node.exportToJson(), js("[7]"));
    node.setList(this, {});
    QCOMPARE(node.exportToJson(), js("[]"));
    QCOMPARE(spy.count(), 2);
}

void tst_ModuleObject::copyFrom()
{
    ModuleObject original;
    original.importFromJson(this, js(R"({"a":[1,{"b":2}],"c":{"d":"e"},"f":{}})"));
    original.set(this, 11);

    ModuleObject copy;
    copy.r(QStringLiteral("stale"));
    QSignalSpy spy(&copy, &ModuleObject::changed);
    copy.copyFrom(this, &original);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(copy.exportToJson(), original.exportToJson());
    QCOMPARE(copy.getInt(), 11);
    QVERIFY(copy.r(QStringLiteral("a"))->isList());
    QString why;
    QVERIFY2(sameTree(&original, &copy, &why), qPrintable(why));

    // The copy is independent of the original.
    copy.r(QStringLiteral("a.#1.b"))->set(this, 99);
    QCOMPARE(original.r(QStringLiteral("a.#1.b"))->getInt(), 2);
    QVERIFY(copy.r(QStringLiteral("c.d")) != original.r(QStringLiteral("c.d")));

    // Shallow: the value only, children stay.
    ModuleObject shallow;
    shallow.r(QStringLiteral("own"))->set(this, 1);
    QSignalSpy shallowSpy(&shallow, &ModuleObject::changed);
    shallow.copyFrom(this, &original, false, true);
    QCOMPARE(shallow.getInt(), 11);
    QCOMPARE(shallow.cmobjCount(), 1);
    QCOMPARE(shallow.r(QStringLiteral("own"))->getInt(), 1);
    QCOMPARE(shallowSpy.count(), 1);

    // From nothing or from itself: unchanged.
    copy.copyFrom(this, nullptr);
    copy.copyFrom(this, &copy);
    QCOMPARE(copy.r(QStringLiteral("a.#1.b"))->getInt(), 99);
}

void tst_ModuleObject::copyFromRelatives()
{
    ModuleObject root;
    root.importFromJson(this, js(R"({"a":{"b":{"c":[1,2]},"x":1}})"));
    ModuleObject *a = root.c(QStringLiteral("a"));
    const QJsonValue bBefore = a->c(QStringLiteral("b"))->exportToJson();
    a->copyFrom(this, a->c(QStringLiteral("b")));
    QCOMPARE(a->exportToJson(), bBefore);

    ModuleObject tree;
    tree.importFromJson(this, js(R"({"k":{"inner":1},"v":[1]})"));
    const QJsonValue whole = tree.exportToJson();
    ModuleObject *inner = tree.r(QStringLiteral("k.inner"));
    inner->copyFrom(this, &tree);
    QCOMPARE(inner->exportToJson(), whole);
    QCOMPARE(tree.r(QStringLiteral("k.inner.k.inner"))->getInt(), 1);
}

void tst_ModuleObject::watch()
{
    ModuleObject root;
    ModuleObject *leaf = root.r(QStringLiteral("a.b"));
    root.watch(true);
    QVERIFY(root.isWatched());
    QVERIFY(!leaf->isWatched());
    root.watch(true, true);
    QVERIFY(leaf->isWatched());
    root.watch(false, true);
    QVERIFY(!leaf->isWatched());
    QVERIFY(!root.isWatched());
}

void tst_ModuleObject::globalTree()
{
    QCOMPARE(nabu::m(), nabu::ModuleManager::instance());
    ModuleObject *root = nabu::m()->root();
    QVERIFY(root);
    QCOMPARE(nabu::m(QString()), root);
    ModuleObject *node = nabu::m(QStringLiteral("tst.moduleobject.global.v"));
    QCOMPARE(root->r(QStringLiteral("tst.moduleobject.global.v")), node);
    QCOMPARE(node->getDouble(4.5), 4.5);
    node->set(this, 1.5);
    QCOMPARE(nabu::m(nabu::mName(QStringLiteral("tst.moduleobject"), QStringLiteral("global"),
                                 QStringLiteral("v")))
                 ->getDouble(),
             1.5);
    QCOMPARE(root->r(QStringLiteral("tst"))->pmobj(), root);
}

void tst_ModuleObject::writeToJson_data()
{
    QTest::addColumn<QJsonValue>("json");
    QTest::addColumn<bool>("indented");

    QTest::newRow("object indented") << js(R"({"a":[1,{"b":null}],"c":"d"})") << true;
    QTest::newRow("object compact") << js(R"({"a":[1,{"b":null}],"c":"d"})") << false;
    QTest::newRow("array") << js(R"([{"x":1},[],{}])") << true;
    QTest::newRow("empty object") << js("{}") << false;
}

void tst_ModuleObject::writeToJson()
{
    QFETCH(QJsonValue, json);
    QFETCH(bool, indented);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("sub/dir/out.json"));
    QVERIFY(nabu::ModuleManager::writeToJson(path, json, indented));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.trimmed().contains('\n'), indented);
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    const QJsonValue back = doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
    QCOMPARE(back, json);

    // Overwriting replaces the content.
    QVERIFY(nabu::ModuleManager::writeToJson(path, js(R"({"new":1})")));
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(file.readAll()).object().value("new").toInt(), 1);
}

void tst_ModuleObject::writeToJsonRefusals()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString scalarPath = dir.filePath(QStringLiteral("scalar.json"));
    QVERIFY(!nabu::ModuleManager::writeToJson(scalarPath, QJsonValue(3)));
    QVERIFY(!nabu::ModuleManager::writeToJson(scalarPath, QJsonValue(QJsonValue::Null)));
    QVERIFY(!QFile::exists(scalarPath));

    // A file stands where a folder is needed.
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(!nabu::ModuleManager::writeToJson(blocker + QStringLiteral("/x.json"),
                                              js(R"({"a":1})")));

    // A disk that fills during the write: the last good file stays.
    const QString kept = dir.filePath(QStringLiteral("kept.json"));
    QVERIFY(nabu::ModuleManager::writeToJson(kept, js(R"({"a":1})")));
    const auto readAll = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = readAll(kept);
    QJsonArray big;
    for (int i = 0; i < 2000; ++i)
        big.append(QStringLiteral("a value long enough to pass the limit"));
    {
        support::FileSizeLimit limit(4096);
        if (!limit.isActive())
            QSKIP("no file size limit on this system");
        QVERIFY(!nabu::ModuleManager::writeToJson(kept, big));
    }
    QCOMPARE(readAll(kept), before);
}

void tst_ModuleObject::largeTeachPointList()
{
    // A pendant's program holds thousands of teach points; every step here must stay
    // near-linear, or this test alone runs into the test time-out.
    const int n = 20000;
    QJsonArray points;
    for (int i = 0; i < n; ++i) {
        points.append(QJsonObject{
            {"name", QStringLiteral("p%1").arg(i)},
            {"pose", QJsonObject{{"x", i}, {"y", -i}, {"z", 0.5}}},
        });
    }
    ModuleObject root;
    ModuleObject *list = root.r(QStringLiteral("program.points"));
    list->importFromJson(this, points);
    QCOMPARE(list->cmobjCount(), n);
    QCOMPARE(list->exportToJson().toArray(), points);

    for (int i = 0; i < n; i += 997)
        QCOMPARE(root.r(QStringLiteral("program.points.#%1.pose.x").arg(i))->getInt(), i);
    for (int i = 0; i < n; ++i)
        list->c(i)->r(QStringLiteral("pose.z"))->set(this, i);
    QCOMPARE(list->c(n - 1)->r(QStringLiteral("pose.z"))->getInt(), n - 1);

    // Re-importing replaces everything.
    list->importFromJson(this, list->exportToJson());
    QCOMPARE(list->cmobjCount(), n);
    QCOMPARE(list->c(n / 2)->r(QStringLiteral("pose.z"))->getInt(), n / 2);

    // Delete half from the front, one at a time.
    for (int i = 0; i < n / 2; ++i)
        QVERIFY(list->remove(this, list->c(0)));
    QCOMPARE(list->cmobjCount(), n / 2);
    QCOMPARE(list->c(0)->r(QStringLiteral("name"))->getString(), QStringLiteral("p%1").arg(n / 2));

    ModuleObject copy;
    copy.copyFrom(this, list);
    QCOMPARE(copy.exportToJson(), list->exportToJson());

    for (int i = 0; i < n; ++i)
        list->append(this);
    QCOMPARE(list->cmobjCount(), n + n / 2);
    list->clear(this);
    QCOMPARE(list->cmobjCount(), 0);

    QVariantList values;
    for (int i = 0; i < n; ++i)
        values.append(i);
    list->setList(this, values);
    list->setList(this, values);
    QCOMPARE(list->cmobjCount(), n);
    QCOMPARE(list->c(n - 1)->getInt(), n - 1);

    // Many equal keys, as a badly written import can make.
    ModuleObject dup;
    for (int i = 0; i < n; ++i)
        dup.append(this, QStringLiteral("same"))->set(this, i);
    QCOMPARE(dup.c(QStringLiteral("same"))->getInt(), 0);
    for (int i = 0; i < 100; ++i)
        dup.remove(this, QStringLiteral("same"));
    QCOMPARE(dup.c(QStringLiteral("same"))->getInt(), 100);
    dup.clear(this);
    QCOMPARE(dup.cmobjCount(), 0);
}

QTEST_GUILESS_MAIN(tst_ModuleObject)

#include "tst_moduleobject.moc"
