#include "settings/KeyboardShortcutConfigDialog.h"

#include "base/SettingsStore.h"
#include "base/ViewerContext.h"
#include "settings/SettingsDefaults.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QGridLayout>
#include <QKeySequence>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <QVariant>

namespace Keldar::OndrixLumivane {

KeyboardShortcutConfigDialog::KeyboardShortcutConfigDialog(QWidget* parent)
    : QDialog(parent)
    , store(openSettingsStore())
{
    setObjectName(QStringLiteral("keyboardShortcutConfigDialog"));
    setWindowTitle(QStringLiteral("Keyboard Shortcuts"));
    setProperty("class", QStringLiteral("inverted"));

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(6);
    // One grid for every section, so that all editors line up in one column.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setColumnStretch(1, 1);
    int row = 0;
    for (const auto& group : Settings::shortcutGroups()) {
        auto* heading = new QLabel(QString::fromLatin1(group.title), this);
        heading->setProperty("class", QStringLiteral("sectionHeading"));
        QFont font = heading->font();
        font.setBold(true);
        heading->setFont(font);
        grid->addWidget(heading, row++, 0, 1, 2);
        for (const auto& entry : group.entries) {
            auto* edit = new QKeySequenceEdit(this);
            edit->setObjectName(QString::fromLatin1(entry.key));
            edit->setProperty("class", QStringLiteral("keySequenceEdit"));
            edit->setMinimumWidth(120);
            grid->addWidget(new QLabel(QString::fromLatin1(entry.label), this), row, 0);
            grid->addWidget(edit, row++, 1);
            editors.push_back({QString::fromLatin1(group.group), QString::fromLatin1(entry.key),
                               QString::fromLatin1(entry.defaultSequence), edit});
        }
    }
    layout->addLayout(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(this, &QDialog::accepted, this, [this] {
        save();
        Q_EMIT shortcutsUpdated();
    });

    load();
    // The defaults reach the store once the window exists, so every toolbar
    // finds its shortcuts there from the first start on.
    connect(ViewerContext::instance(), &ViewerContext::uiConstructed, this, [this] {
        save();
        if (!initialSaveMade) {
            initialSaveMade = true;
            Q_EMIT initialSaveDone();
        }
    });
}

KeyboardShortcutConfigDialog::~KeyboardShortcutConfigDialog() = default;

void KeyboardShortcutConfigDialog::load()
{
    store->sync();
    for (const auto& editor : editors) {
        const QString text =
            store->value(editor.group + QLatin1Char('/') + editor.key, editor.defaultSequence).toString();
        editor.edit->setKeySequence(QKeySequence(text, QKeySequence::PortableText));
    }
}

void KeyboardShortcutConfigDialog::save()
{
    for (const auto& editor : editors) {
        store->setValue(editor.group + QLatin1Char('/') + editor.key,
                        editor.edit->keySequence().toString(QKeySequence::PortableText));
    }
    store->sync();
}

QKeySequenceEdit* KeyboardShortcutConfigDialog::editorFor(const QString& group, const QString& key) const
{
    for (const auto& editor : editors) {
        if (editor.group == group && editor.key == key) {
            return editor.edit;
        }
    }
    return nullptr;
}

} // namespace Keldar::OndrixLumivane
