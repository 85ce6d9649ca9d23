#include "settings/KeyboardShortcutConfigDialog.h"

#include "base/FittingScrollArea.h"
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
#include <QScreen>
#include <QSettings>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QVariant>

#include <algorithm>

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
    // The list is taller than a small screen: it scrolls, the buttons stay.
    auto* scroll = new FittingScrollArea(this);
    scroll->setObjectName(QStringLiteral("shortcutScrollArea"));
    auto* list = new QWidget(scroll);
    list->setObjectName(QStringLiteral("shortcutList"));
    // One grid for every section, so that all editors line up in one column.
    auto* grid = new QGridLayout(list);
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
            auto* edit = new QKeySequenceEdit(list);
            edit->setObjectName(QString::fromLatin1(entry.key));
            edit->setProperty("class", QStringLiteral("keySequenceEdit"));
            edit->setMinimumWidth(120);
            if (entry.fixed) {
                edit->setKeySequence(QKeySequence(QString::fromLatin1(entry.defaultSequence)));
                edit->setEnabled(false);
                edit->setToolTip(QStringLiteral("This key cannot be changed"));
            }
            grid->addWidget(new QLabel(QString::fromLatin1(entry.label), list), row, 0);
            grid->addWidget(edit, row++, 1);
            editors.push_back({QString::fromLatin1(group.group), QString::fromLatin1(entry.key),
                               QString::fromLatin1(entry.defaultSequence), edit, entry.fixed});
            connect(edit, &QKeySequenceEdit::keySequenceChanged, this, [this] { clashLabel->clear(); });
        }
    }
    scroll->setWidget(list);
    layout->addWidget(scroll, 1);
    clashLabel = new QLabel(this);
    clashLabel->setObjectName(QStringLiteral("clashLabel"));
    clashLabel->setWordWrap(true);
    layout->addWidget(clashLabel);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    auto* restore = buttons->addButton(QStringLiteral("Restore defaults"), QDialogButtonBox::ResetRole);
    restore->setObjectName(QStringLiteral("restoreDefaultsButton"));
    layout->addWidget(buttons);
    connect(restore, &QPushButton::clicked, this, &KeyboardShortcutConfigDialog::restoreDefaults);
    connect(buttons, &QDialogButtonBox::accepted, this, &KeyboardShortcutConfigDialog::trySave);
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

void KeyboardShortcutConfigDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Whole where the screen allows, else as tall as the screen with the
    // list scrolling.
    const QScreen* shown = screen();
    if (shown != nullptr) {
        const QRect room = shown->availableGeometry();
        const int wanted = std::min(sizeHint().height(), room.height());
        if (height() != wanted) {
            resize(width(), wanted);
        }
        if (!room.contains(frameGeometry())) {
            move(pos().x(), room.top());
        }
    }
}

void KeyboardShortcutConfigDialog::trySave()
{
    const QString found = clash();
    clashLabel->setText(found);
    if (found.isEmpty()) {
        accept();
    }
}

QString KeyboardShortcutConfigDialog::clash() const
{
    std::vector<QString> sequences;
    sequences.reserve(editors.size());
    for (const auto& editor : editors) {
        sequences.push_back(editor.edit->keySequence().toString(QKeySequence::PortableText));
    }
    return Settings::shortcutClash(sequences);
}

void KeyboardShortcutConfigDialog::restoreDefaults()
{
    for (const auto& editor : editors) {
        editor.edit->setKeySequence(QKeySequence(editor.defaultSequence, QKeySequence::PortableText));
    }
    clashLabel->clear();
}

void KeyboardShortcutConfigDialog::load()
{
    store->sync();
    clashLabel->clear();
    for (const auto& editor : editors) {
        if (editor.fixed) {
            continue;
        }
        const QString text =
            store->value(editor.group + QLatin1Char('/') + editor.key, editor.defaultSequence).toString();
        editor.edit->setKeySequence(QKeySequence(text, QKeySequence::PortableText));
    }
}

void KeyboardShortcutConfigDialog::save()
{
    for (const auto& editor : editors) {
        if (editor.fixed) {
            continue;
        }
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
