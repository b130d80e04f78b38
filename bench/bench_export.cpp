// The host's data tree at a pendant's size: the teach-point list of 10,000 points exported with
// exportToJson against building the same QJsonDocument directly.
//     bench_export [--points=N] [benchmark flags]
#include <nabuCore/moduleobject.h>

#include <benchmark/benchmark.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

int g_points = 10000;

const QStringList kCartesianKeys = {
    QStringLiteral("pose.frame.pos.x"),           QStringLiteral("pose.frame.pos.y"),
    QStringLiteral("pose.frame.pos.z"),           QStringLiteral("pose.elb"),
    QStringLiteral("pose.frame.ori.euler.a"),     QStringLiteral("pose.frame.ori.euler.b"),
    QStringLiteral("pose.frame.ori.euler.c"),     QStringLiteral("pose.frame.ori.quaternion.q1"),
    QStringLiteral("pose.frame.ori.quaternion.q2"), QStringLiteral("pose.frame.ori.quaternion.q3"),
    QStringLiteral("pose.frame.ori.quaternion.q4"), QStringLiteral("conf.cf1"),
    QStringLiteral("conf.cf2"),                   QStringLiteral("conf.cf3"),
    QStringLiteral("conf.cf4"),                   QStringLiteral("conf.cf5"),
    QStringLiteral("conf.cf6"),                   QStringLiteral("conf.cf7"),
    QStringLiteral("conf.cfx"),
};

// Point `id`: even ones are joint points, odd ones Cartesian, each with every key it carries.
bool isJoint(int id)
{
    return id % 2 == 0;
}

double valueOf(int id, int key)
{
    return id * 0.001 + key * 1.25;
}

QString description(int id)
{
    return QStringLiteral("Auto generate at: 2026/01/04 10:%1:%2")
        .arg(id / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(id % 60, 2, 10, QLatin1Char('0'));
}

const QString kQuaternionKeys[] = {QStringLiteral("q1"), QStringLiteral("q2"), QStringLiteral("q3"),
                                    QStringLiteral("q4")};
const QString kConfKeys[] = {QStringLiteral("cf1"), QStringLiteral("cf2"), QStringLiteral("cf3"),
                             QStringLiteral("cf4"), QStringLiteral("cf5"), QStringLiteral("cf6"),
                             QStringLiteral("cf7")};

// The texts of each point, made once like the tree's: both sides then start from data in memory
// and neither pays for formatting inside the timed loop.
struct PointTexts
{
    QString name;
    QString description;
};

const std::vector<PointTexts> &pointTexts()
{
    static const std::vector<PointTexts> texts = [] {
        std::vector<PointTexts> made;
        made.reserve(size_t(g_points));
        for (int id = 0; id < g_points; ++id)
            made.push_back({QStringLiteral("P%1").arg(id), description(id)});
        return made;
    }();
    return texts;
}

// The list as the host's tree holds it.
std::unique_ptr<nabu::ModuleObject> buildTree()
{
    auto point = std::make_unique<nabu::ModuleObject>(QStringLiteral("point"));
    nabu::ModuleObject *list = point->c(QStringLiteral("_list"));
    list->setIsList(true);
    for (int id = 0; id < g_points; ++id) {
        nabu::ModuleObject *p = list->append(nullptr);
        p->set(nullptr, QStringLiteral("id"), id);
        p->set(nullptr, QStringLiteral("name"), pointTexts()[size_t(id)].name);
        p->set(nullptr, QStringLiteral("property"),
               isJoint(id) ? QStringLiteral("joint") : QStringLiteral("cart"));
        p->set(nullptr, QStringLiteral("description"), pointTexts()[size_t(id)].description);
        p->set(nullptr, QStringLiteral("func"), QStringLiteral("main"));
        p->set(nullptr, QStringLiteral("task"), QStringLiteral("T_ROB1"));
        nabu::ModuleObject *pos = p->r(QStringLiteral("value.[0][0][0]"));
        int key = 0;
        if (isJoint(id)) {
            for (int k = 0; k < 7; ++k)
                pos->set(nullptr, QStringLiteral("inner_pos.#%1").arg(k), valueOf(id, key++));
            for (int k = 0; k < 6; ++k)
                pos->set(nullptr, QStringLiteral("extern_pos.#%1").arg(k), valueOf(id, key++));
        } else {
            for (const QString &path : kCartesianKeys)
                pos->set(nullptr, path, valueOf(id, key++));
            for (int k = 0; k < 6; ++k)
                pos->set(nullptr, QStringLiteral("external_joint.#%1").arg(k), valueOf(id, key++));
        }
        pos->set(nullptr, QStringLiteral("coord.tool"), QStringLiteral("tool0"));
        pos->set(nullptr, QStringLiteral("coord.wobj"), QStringLiteral("wobj0"));
    }
    return point;
}

QJsonArray numbers(int id, int *key, int count)
{
    QJsonArray array;
    for (int k = 0; k < count; ++k)
        array.append(valueOf(id, (*key)++));
    return array;
}

// The same document, built straight from the values.
QJsonDocument buildDirectly()
{
    const std::vector<PointTexts> &texts = pointTexts();
    QJsonArray list;
    for (int id = 0; id < g_points; ++id) {
        QJsonObject pos;
        int key = 0;
        if (isJoint(id)) {
            pos.insert(QStringLiteral("inner_pos"), numbers(id, &key, 7));
            pos.insert(QStringLiteral("extern_pos"), numbers(id, &key, 6));
        } else {
            // Innermost first, each object made whole before it is put into its parent.
            QJsonObject position;
            position.insert(QStringLiteral("x"), valueOf(id, key++));
            position.insert(QStringLiteral("y"), valueOf(id, key++));
            position.insert(QStringLiteral("z"), valueOf(id, key++));
            const double elb = valueOf(id, key++);
            QJsonObject euler;
            euler.insert(QStringLiteral("a"), valueOf(id, key++));
            euler.insert(QStringLiteral("b"), valueOf(id, key++));
            euler.insert(QStringLiteral("c"), valueOf(id, key++));
            QJsonObject quaternion;
            for (const QString &q : kQuaternionKeys)
                quaternion.insert(q, valueOf(id, key++));
            QJsonObject conf;
            for (const QString &c : kConfKeys)
                conf.insert(c, valueOf(id, key++));
            conf.insert(QStringLiteral("cfx"), valueOf(id, key++));
            const QJsonObject orientation{{QStringLiteral("euler"), euler},
                                          {QStringLiteral("quaternion"), quaternion}};
            const QJsonObject frame{{QStringLiteral("pos"), position},
                                    {QStringLiteral("ori"), orientation}};
            pos.insert(QStringLiteral("pose"),
                       QJsonObject{{QStringLiteral("frame"), frame}, {QStringLiteral("elb"), elb}});
            pos.insert(QStringLiteral("conf"), conf);
            pos.insert(QStringLiteral("external_joint"), numbers(id, &key, 6));
        }
        pos.insert(QStringLiteral("coord"), QJsonObject{{QStringLiteral("tool"), QStringLiteral("tool0")},
                                                        {QStringLiteral("wobj"), QStringLiteral("wobj0")}});
        QJsonObject point{
            {QStringLiteral("id"), id},
            {QStringLiteral("name"), texts[size_t(id)].name},
            {QStringLiteral("property"), isJoint(id) ? QStringLiteral("joint") : QStringLiteral("cart")},
            {QStringLiteral("description"), texts[size_t(id)].description},
            {QStringLiteral("func"), QStringLiteral("main")},
            {QStringLiteral("task"), QStringLiteral("T_ROB1")},
            {QStringLiteral("value"), QJsonObject{{QStringLiteral("[0][0][0]"), pos}}},
        };
        list.append(point);
    }
    return QJsonDocument(list);
}

bool sameDocument(nabu::ModuleObject *list)
{
    return QJsonDocument(list->exportToJson().toArray()) == buildDirectly();
}

void exportTree(benchmark::State &state)
{
    const std::unique_ptr<nabu::ModuleObject> tree = buildTree();
    nabu::ModuleObject *list = tree->r(QStringLiteral("_list"));
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        QJsonDocument document(list->exportToJson().toArray());
        benchmark::DoNotOptimize(document);
    }
    state.SetItemsProcessed(state.iterations() * g_points);
}

void buildDocument(benchmark::State &state)
{
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        QJsonDocument document = buildDirectly();
        benchmark::DoNotOptimize(document);
    }
    state.SetItemsProcessed(state.iterations() * g_points);
}

} // namespace

int main(int argc, char **argv)
{
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--points=", 9) == 0)
            g_points = int(std::strtol(argv[i] + 9, nullptr, 10));
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    // A failed comparison fails the run too (a skipped benchmark alone exits with 0), so that the
    // brief CTest run catches an export that drifts from the document.
    {
        const std::unique_ptr<nabu::ModuleObject> tree = buildTree();
        if (!sameDocument(tree->r(QStringLiteral("_list")))) {
            std::fprintf(stderr, "the export differs from the document built directly\n");
            return 1;
        }
    }
    benchmark::RegisterBenchmark("export/direct_qjsondocument", buildDocument)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("export/moduleobject_exporttojson", exportTree)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
