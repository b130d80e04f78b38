#include "programeditor.h"

#include "rl/rlcontentbase.h"
#include "rl/rlmanager.h"

#include <support/temporarycurrentdir.h>

#include <mirel/rlmanager.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

// "Pulse <output>": refuses an empty output name.
class PulseEditor : public tessel::RLContentBase
{
    Q_OBJECT

public:
    PulseEditor()
        : m_output(new QLineEdit(this))
    {
        m_output->setObjectName(QStringLiteral("outputEdit"));
    }
    void FillWith(const QString &text) override { m_output->setText(text.section(' ', 1)); }
    QString ToString() override { return QStringLiteral("Pulse ") + m_output->text(); }
    bool CheckInsert() override { return !m_output->text().isEmpty(); }
    bool CheckReplace() override { return CheckInsert(); }

private:
    QLineEdit *m_output;
};

template<class T>
T *child(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

} // namespace

class tst_ProgramEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listsGroupsAndShowsAnInstruction();
    void recognisesTypedLines_data();
    void recognisesTypedLines();
    void insertAndPropertyEditorsByObjectName();
    void instructionWithoutEditorsOpensNothing();

private:
    support::TemporaryCurrentDir m_dir;
    tessel::RLManager m_rl{nullptr};
};

void tst_ProgramEditor::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const auto editor = []() -> tessel::RLContentBase * { return new PulseEditor; };
    m_rl.createGroups(QStringLiteral("io"), QStringLiteral("IO"));
    m_rl.createData(QStringLiteral("io"), QStringLiteral("Pulse"),
                    QStringLiteral("Pulses an output"), editor, editor);
    m_rl.createPattern(QStringLiteral("Pulse"), QStringLiteral("^\\s*Pulse\\s+\\w+\\s*$"));
    m_rl.createInsDefault(QStringLiteral("Pulse"), QStringLiteral("Pulse do_lamp"));
    m_rl.createData(QStringLiteral("flow"), QStringLiteral("Halt"), QStringLiteral("Stops"),
                    editor, editor);
    // Known to the registry, but nobody gave it editors.
    mirel::RlManager::getRlManager()->addInsGroupInsList(QStringLiteral("flow"), {"Bare"}, false);
}

void tst_ProgramEditor::listsGroupsAndShowsAnInstruction()
{
    ProgramEditor editor;
    editor.show();
    QCOMPARE(editor.instructions(), (QStringList{"Pulse", "Halt", "Bare"}));
    auto *tree = child<QTreeWidget>(&editor, "instructionTree");
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("IO"));
    QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("flow"));
    // The first instruction is shown when nothing was chosen.
    QCOMPARE(editor.selectedInstruction(), QStringLiteral("Pulse"));
    tree->setCurrentItem(tree->topLevelItem(1)->child(0));
    QCOMPARE(child<QLabel>(&editor, "usageLabel")->text(), QStringLiteral("Stops"));
    QCOMPARE(child<QLabel>(&editor, "skeletonLabel")->text(), QStringLiteral("Halt"));
    QVERIFY(editor.selectInstruction(QStringLiteral("Pulse")));
    QCOMPARE(child<QLabel>(&editor, "defaultLabel")->text(), QStringLiteral("Pulse do_lamp"));
}

void tst_ProgramEditor::recognisesTypedLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("instruction");
    QTest::newRow("with argument") << "Pulse do_gripper" << "Pulse";
    QTest::newRow("bare keyword with comment") << "  Halt // end" << "Halt";
    QTest::newRow("keyword takes no argument") << "Halt 1" << "";
    QTest::newRow("unknown") << "Jump x" << "";
}

void tst_ProgramEditor::recognisesTypedLines()
{
    QFETCH(QString, line);
    QFETCH(QString, instruction);
    ProgramEditor editor;
    editor.show();
    QCOMPARE(editor.recognise(line), instruction);
    QTest::keyClicks(child<QLineEdit>(&editor, "lineEdit"), line);
    const QString shown = child<QLabel>(&editor, "recognisedLabel")->text();
    if (instruction.isEmpty()) {
        QCOMPARE(shown, QStringLiteral("No registered instruction matches this line."));
    } else {
        QCOMPARE(shown, QStringLiteral("Recognised: ") + instruction);
        QCOMPARE(editor.selectedInstruction(), instruction);
    }
}

void tst_ProgramEditor::insertAndPropertyEditorsByObjectName()
{
    ProgramEditor editor;
    editor.show();
    QVERIFY(editor.selectInstruction(QStringLiteral("Pulse")));

    QTest::mouseClick(child<QPushButton>(&editor, "insertEditorButton"), Qt::LeftButton);
    QGroupBox *panel = child<QGroupBox>(&editor, "insertEditorPanel");
    QVERIFY(panel);
    auto *output = child<QLineEdit>(panel, "outputEdit");
    QVERIFY(output);
    // The insert editor starts from the registered default.
    QCOMPARE(output->text(), QStringLiteral("do_lamp"));
    output->clear();
    QTest::mouseClick(child<QPushButton>(panel, "editorAcceptButton"), Qt::LeftButton);
    QVERIFY(!child<QLabel>(panel, "editorVerdict")->text().isEmpty());
    QVERIFY(editor.programLines().isEmpty());
    QTest::keyClicks(output, QStringLiteral("do_gripper"));
    QTest::mouseClick(child<QPushButton>(panel, "editorAcceptButton"), Qt::LeftButton);
    QCOMPARE(editor.programLines(), QStringList{"Pulse do_gripper"});
    QTRY_VERIFY(!child<QGroupBox>(&editor, "insertEditorPanel"));

    // The selected program line goes into the property editor and comes back edited.
    auto *program = child<QListWidget>(&editor, "programList");
    program->setCurrentRow(0);
    QTest::mouseClick(child<QPushButton>(&editor, "propertyEditorButton"), Qt::LeftButton);
    panel = child<QGroupBox>(&editor, "propertyEditorPanel");
    QVERIFY(panel);
    output = child<QLineEdit>(panel, "outputEdit");
    QCOMPARE(output->text(), QStringLiteral("do_gripper"));
    output->setText(QStringLiteral("do_lamp"));
    QTest::mouseClick(child<QPushButton>(panel, "editorAcceptButton"), Qt::LeftButton);
    QCOMPARE(editor.programLines(), QStringList{"Pulse do_lamp"});
    QCOMPARE(child<QLineEdit>(&editor, "lineEdit")->text(), QStringLiteral("Pulse do_lamp"));
}

void tst_ProgramEditor::instructionWithoutEditorsOpensNothing()
{
    ProgramEditor editor;
    editor.show();
    QVERIFY(editor.selectInstruction(QStringLiteral("Bare")));
    QVERIFY(!editor.openInsertEditor());
    QVERIFY(!editor.openPropertyEditor());
    QVERIFY(child<QLabel>(&editor, "recognisedLabel")->text().contains(QStringLiteral("Bare")));
}

QTEST_MAIN(tst_ProgramEditor)
#include "tst_programeditor.moc"
