#pragma once

#include <QDialog>

#include <memory>
#include <vector>

class QKeySequenceEdit;
class QSettings;

namespace Keldar::OndrixLumivane {

// Edits the keyboard shortcuts of every toolbar, one section per group of
// the shortcut table. The editors start from the store with the defaults as
// fallback; saving writes every editor, so the defaults are in the store
// after the first save.
class KeyboardShortcutConfigDialog : public QDialog
{
    Q_OBJECT

public:
    explicit KeyboardShortcutConfigDialog(QWidget* parent = nullptr);
    ~KeyboardShortcutConfigDialog() override;

    void load();
    void save();
    // The editor of `key` in `group`, or null.
    QKeySequenceEdit* editorFor(const QString& group, const QString& key) const;

Q_SIGNALS:
    void shortcutsUpdated();
    void initialSaveDone();

private:
    struct Editor
    {
        QString group;
        QString key;
        QString defaultSequence;
        QKeySequenceEdit* edit;
    };

    std::unique_ptr<QSettings> store;
    std::vector<Editor> editors;
    bool initialSaveMade = false;
};

} // namespace Keldar::OndrixLumivane
