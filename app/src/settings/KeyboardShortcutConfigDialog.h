#pragma once

#include <QDialog>

#include <memory>
#include <vector>

class QKeySequenceEdit;
class QLabel;
class QSettings;

namespace Keldar::OndrixLumivane {

// Edits the keyboard shortcuts of every toolbar, one section per group of
// the shortcut table. The editors start from the store with the defaults as
// fallback; saving writes every editor, so the defaults are in the store
// after the first save. Keys the viewer keeps for itself are shown beside
// them, read-only, and Save is refused while two actions shown together
// share a key.
class KeyboardShortcutConfigDialog : public QDialog
{
    Q_OBJECT

public:
    explicit KeyboardShortcutConfigDialog(QWidget* parent = nullptr);
    ~KeyboardShortcutConfigDialog() override;

    void load();
    void save();
    // Puts every editor back to its default; nothing is stored until Save.
    void restoreDefaults();
    // The sentence naming two actions that share a key, or empty.
    QString clash() const;
    // The editor of `key` in `group`, or null.
    QKeySequenceEdit* editorFor(const QString& group, const QString& key) const;

Q_SIGNALS:
    void shortcutsUpdated();
    void initialSaveDone();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Editor
    {
        QString group;
        QString key;
        QString defaultSequence;
        QKeySequenceEdit* edit;
        bool fixed;
    };

    void trySave();

    std::unique_ptr<QSettings> store;
    std::vector<Editor> editors;
    QLabel* clashLabel;
    bool initialSaveMade = false;
};

} // namespace Keldar::OndrixLumivane
