#include "waitdieditor.h"

#include <tessel/interface/interfacemanager.h>

#include <QComboBox>
#include <QFormLayout>
#include <QRegularExpression>
#include <QSpinBox>

namespace tessel {

const QString WaitDIEditor::Name = QStringLiteral("WaitDI");

WaitDIEditor::WaitDIEditor(QWidget *parent)
    : RLContentBase(parent)
    , m_signal(new QComboBox(this))
    , m_value(new QSpinBox(this))
{
    setType(Name);
    m_signal->setObjectName(QStringLiteral("signalBox"));
    // The robot's digital inputs; a name typed by hand is fine for a cell not yet wired.
    m_signal->setEditable(true);
    m_signal->addItems(tesselInterface().getIOByType(QStringLiteral("DI")));
    m_value->setObjectName(QStringLiteral("valueBox"));
    m_value->setRange(0, 1);
    m_value->setValue(1);
    // The program editor sits in a narrow side panel: the field gives way to its label, and a
    // label too long for the row goes above its field.
    m_signal->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_signal->setMinimumContentsLength(8);
    auto *layout = new QFormLayout(this);
    layout->setRowWrapPolicy(QFormLayout::WrapLongRows);
    layout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    layout->addRow(tr("Input"), m_signal);
    layout->addRow(tr("Value"), m_value);
}

void WaitDIEditor::FillWith(const QString &text)
{
    static const QRegularExpression line(
        QStringLiteral("^\\s*WaitDI\\s+(\\w+)\\s*,\\s*([01])\\s*(?://.*)?$"));
    const QRegularExpressionMatch match = line.match(text);
    if (!match.hasMatch())
        return;
    m_signal->setCurrentText(match.captured(1));
    m_value->setValue(match.captured(2).toInt());
}

QString WaitDIEditor::ToString()
{
    return QStringLiteral("%1 %2, %3")
        .arg(Name, m_signal->currentText().trimmed())
        .arg(m_value->value());
}

// A signal name is a word: anything else would not read back as the instruction.
bool WaitDIEditor::CheckInsert()
{
    static const QRegularExpression word(QStringLiteral("^\\w+$"));
    return word.match(m_signal->currentText().trimmed()).hasMatch();
}

bool WaitDIEditor::CheckReplace()
{
    return CheckInsert();
}

} // namespace tessel
