#pragma once

#include <QPointer>
#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QVBoxLayout;

namespace mirel {
class BaseContentWidget;
}

// The host's program editor, as far as plug-ins reach it: the instruction groups and
// instructions registered with the robot-language registry, their usage, skeleton and default
// text, recognition of a typed line, and the insert and property editors the registry makes.
// A small program of text lines receives what the editors produce.
class ProgramEditor : public QWidget
{
    Q_OBJECT

public:
    explicit ProgramEditor(QWidget *parent = nullptr);
    ~ProgramEditor() override;

    // Reads the registry again; the selection stays when it still exists.
    void refresh();
    QStringList instructions() const;
    bool selectInstruction(const QString &name);
    QString selectedInstruction() const;
    // The registered instruction whose pattern the whole line matches, or an empty text.
    QString recognise(const QString &line) const;

    QStringList programLines() const;
    // The frame holding the editor inside the panel, or null when the registry has no editor
    // for the selected instruction. One editor is open at a time.
    QGroupBox *openInsertEditor();
    QGroupBox *openPropertyEditor();
    QGroupBox *openEditorFrame() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    enum class Mode { Insert, Property };

    QGroupBox *openEditor(Mode mode);
    void accept(Mode mode, QGroupBox *frame, mirel::BaseContentWidget *editor, QLabel *verdict);
    void showInstruction(const QString &name);
    void recogniseLine(const QString &line);

    QTreeWidget *m_tree;
    QLabel *m_usage;
    QLabel *m_skeleton;
    QLabel *m_default;
    QPushButton *m_insert;
    QPushButton *m_property;
    QListWidget *m_program;
    QLineEdit *m_line;
    QLabel *m_recognised;
    QVBoxLayout *m_layout;
    QPointer<QGroupBox> m_frame;
};
