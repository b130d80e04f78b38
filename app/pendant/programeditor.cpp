#include "programeditor.h"

#include <mirel/basecontentwidget.h>
#include <mirel/rlmanager.h>

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kNameRole = Qt::UserRole + 1;

mirel::RlManager *registry()
{
    return mirel::RlManager::getRlManager();
}

QLabel *valueLabel(const QString &objectName, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton *button(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    return b;
}

} // namespace

ProgramEditor::ProgramEditor(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("programEditor"));
    auto *layout = new QVBoxLayout(this);
    m_layout = layout;
    layout->setContentsMargins(4, 4, 4, 4);

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("instructionTree"));
    m_tree->setHeaderLabel(tr("Instructions"));
    layout->addWidget(m_tree, 2);

    auto *details = new QFormLayout;
    m_usage = valueLabel(QStringLiteral("usageLabel"), this);
    m_skeleton = valueLabel(QStringLiteral("skeletonLabel"), this);
    m_default = valueLabel(QStringLiteral("defaultLabel"), this);
    details->addRow(tr("Usage:"), m_usage);
    details->addRow(tr("Skeleton:"), m_skeleton);
    details->addRow(tr("Default:"), m_default);
    layout->addLayout(details);

    auto *buttons = new QHBoxLayout;
    m_insert = button(QStringLiteral("insertEditorButton"), tr("Insert..."), this);
    m_property = button(QStringLiteral("propertyEditorButton"), tr("Properties..."), this);
    buttons->addWidget(m_insert);
    buttons->addWidget(m_property);
    layout->addLayout(buttons);

    m_program = new QListWidget(this);
    m_program->setObjectName(QStringLiteral("programList"));
    layout->addWidget(new QLabel(tr("Program:"), this));
    layout->addWidget(m_program, 1);

    m_line = new QLineEdit(this);
    m_line->setObjectName(QStringLiteral("lineEdit"));
    m_line->setPlaceholderText(tr("Type an instruction line"));
    m_recognised = valueLabel(QStringLiteral("recognisedLabel"), this);
    layout->addWidget(m_line);
    layout->addWidget(m_recognised);

    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        showInstruction(item ? item->data(0, kNameRole).toString() : QString());
    });
    connect(m_insert, &QPushButton::clicked, this, [this] { openInsertEditor(); });
    connect(m_property, &QPushButton::clicked, this, [this] { openPropertyEditor(); });
    connect(m_line, &QLineEdit::textChanged, this, &ProgramEditor::recogniseLine);
    connect(m_program, &QListWidget::currentTextChanged, m_line, &QLineEdit::setText);

    showInstruction(QString());
    recogniseLine(QString());
}

ProgramEditor::~ProgramEditor() = default;

void ProgramEditor::refresh()
{
    const QString selected = selectedInstruction();
    {
        const QSignalBlocker blocker(m_tree);
        m_tree->clear();
        const QStringList groups = registry()->insGroups();
        for (const QString &group : groups) {
            const QString text = registry()->insGroupText(group);
            auto *groupItem = new QTreeWidgetItem(m_tree, {text.isEmpty() ? group : text});
            groupItem->setFlags(groupItem->flags() & ~Qt::ItemIsSelectable);
            const QStringList names = registry()->insGroupInsList(group);
            for (const QString &name : names) {
                auto *item = new QTreeWidgetItem(groupItem, {name});
                item->setData(0, kNameRole, name);
            }
        }
        m_tree->expandAll();
    }
    if (!selectInstruction(selected))
        showInstruction(QString());
    recogniseLine(m_line->text());
}

QStringList ProgramEditor::instructions() const
{
    QStringList names;
    for (int g = 0; g < m_tree->topLevelItemCount(); ++g) {
        const QTreeWidgetItem *group = m_tree->topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i) {
            const QString name = group->child(i)->data(0, kNameRole).toString();
            if (!names.contains(name))
                names.append(name);
        }
    }
    return names;
}

bool ProgramEditor::selectInstruction(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (int g = 0; g < m_tree->topLevelItemCount(); ++g) {
        QTreeWidgetItem *group = m_tree->topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i) {
            if (group->child(i)->data(0, kNameRole).toString() == name) {
                m_tree->setCurrentItem(group->child(i));
                showInstruction(name);
                return true;
            }
        }
    }
    return false;
}

QString ProgramEditor::selectedInstruction() const
{
    const QTreeWidgetItem *item = m_tree->currentItem();
    return item ? item->data(0, kNameRole).toString() : QString();
}

// Pattern keys carry a prefix ("c_" for plug-in instructions) before the instruction's name.
QString ProgramEditor::recognise(const QString &line) const
{
    const QString key = registry()->matchPattern(line);
    if (key.isEmpty())
        return QString();
    const QStringList keywords = registry()->cmdKeywords();
    const int cut = key.indexOf(QLatin1Char('_'));
    const QString name = cut < 0 ? key : key.mid(cut + 1);
    return keywords.contains(name) ? name : key;
}

QStringList ProgramEditor::programLines() const
{
    QStringList lines;
    for (int i = 0; i < m_program->count(); ++i)
        lines.append(m_program->item(i)->text());
    return lines;
}

QGroupBox *ProgramEditor::openInsertEditor()
{
    return openEditor(Mode::Insert);
}

QGroupBox *ProgramEditor::openPropertyEditor()
{
    return openEditor(Mode::Property);
}

QGroupBox *ProgramEditor::openEditorFrame() const
{
    return m_frame.data();
}

void ProgramEditor::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
    // Something to look at the first time: the first registered instruction.
    if (selectedInstruction().isEmpty() && !instructions().isEmpty())
        selectInstruction(instructions().constFirst());
}

// The editor opens inside the panel, as the pendant has no floating windows.
QGroupBox *ProgramEditor::openEditor(Mode mode)
{
    const QString name = selectedInstruction();
    if (name.isEmpty())
        return nullptr;
    delete m_frame;
    const bool insert = mode == Mode::Insert;
    const QString title = insert ? tr("Insert %1").arg(name) : tr("Properties of %1").arg(name);
    auto *frame = new QGroupBox(title, this);
    frame->setObjectName(insert ? QStringLiteral("insertEditorPanel")
                                : QStringLiteral("propertyEditorPanel"));
    mirel::BaseContentWidget *editor = insert ? registry()->createInsertWidget(name, frame)
                                              : registry()->createPropertyWidget(name, frame);
    if (!editor) {
        delete frame;
        m_recognised->setText(tr("No editor is registered for %1").arg(name));
        return nullptr;
    }
    editor->setObjectName(QStringLiteral("instructionEditor"));
    // The property editor edits the line at hand; otherwise the instruction's default.
    const QString current = recognise(m_line->text()) == name ? m_line->text()
                                                              : registry()->insDefault(name);
    if (!insert || !current.isEmpty())
        editor->SetContent(current);

    auto *layout = new QVBoxLayout(frame);
    layout->addWidget(editor, 1);
    QLabel *verdict = valueLabel(QStringLiteral("editorVerdict"), frame);
    layout->addWidget(verdict);
    auto *row = new QHBoxLayout;
    QPushButton *ok = button(QStringLiteral("editorAcceptButton"),
                             insert ? tr("Insert") : tr("Replace"), frame);
    QPushButton *cancel = button(QStringLiteral("editorCancelButton"), tr("Cancel"), frame);
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    connect(ok, &QPushButton::clicked, this,
            [this, mode, frame, editor, verdict] { accept(mode, frame, editor, verdict); });
    connect(cancel, &QPushButton::clicked, frame, &QObject::deleteLater);
    // Below the buttons, above the program.
    m_layout->insertWidget(3, frame, 2);
    m_frame = frame;
    return frame;
}

void ProgramEditor::accept(Mode mode, QGroupBox *frame, mirel::BaseContentWidget *editor,
                           QLabel *verdict)
{
    const bool insert = mode == Mode::Insert;
    if (!(insert ? editor->InsertCheck() : editor->ReplaceCheck())) {
        verdict->setText(tr("The editor refused the instruction: check its fields."));
        return;
    }
    const QString text = editor->ToString();
    QListWidgetItem *current = m_program->currentItem();
    if (insert || !current) {
        const int row = current ? m_program->row(current) + 1 : m_program->count();
        m_program->insertItem(row, text);
        m_program->setCurrentRow(row);
    } else {
        current->setText(text);
        m_line->setText(text);
    }
    frame->deleteLater();
}

void ProgramEditor::showInstruction(const QString &name)
{
    const bool known = !name.isEmpty();
    m_usage->setText(known ? registry()->usage(name) : QString());
    m_skeleton->setText(known ? registry()->skeleton(QStringLiteral("s_") + name) : QString());
    m_default->setText(known ? registry()->insDefault(name) : QString());
    m_insert->setEnabled(known);
    m_property->setEnabled(known);
}

void ProgramEditor::recogniseLine(const QString &line)
{
    if (line.trimmed().isEmpty()) {
        m_recognised->setText(tr("Type a line to see which instruction it is."));
        return;
    }
    const QString name = recognise(line);
    if (name.isEmpty()) {
        m_recognised->setText(tr("No registered instruction matches this line."));
        return;
    }
    m_recognised->setText(tr("Recognised: %1").arg(name));
    selectInstruction(name);
}
