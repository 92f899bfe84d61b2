#pragma once
// What the window tests share: prompts that record instead of asking, a key state the test
// holds keys in, and a settings file of the test's own.

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "app/profile_settings.h"
#include "ui/key_state.h"
#include "ui/prompts.h"

class RecordingPrompts : public Prompts {
public:
    RecordingPrompts() : m_previous(SetAppPrompts(this)) {}
    ~RecordingPrompts() override { SetAppPrompts(m_previous); }

    void Message(const QString& text) override {
        messages << text;
        if (whileMessage) {
            whileMessage();
        }
    }
    bool Confirm(const QString& text) override {
        confirmations << text;
        return confirmAnswer;
    }
    QString OpenFileName(FileKind kind, const QString& filters) override {
        fileFilters << filters;
        fileKinds << kind;
        if (whileOpenDialog) {
            whileOpenDialog();
        }
        return openAnswer;
    }
    QString SaveFileName(FileKind kind, const QString&, const QString&,
                         const QString& filters) override {
        fileFilters << filters;
        fileKinds << kind;
        return saveAnswer;
    }

    QStringList messages;
    QStringList confirmations;
    QStringList fileFilters;
    QList<FileKind> fileKinds;
    bool confirmAnswer = true;
    QString openAnswer;
    QString saveAnswer;
    // What else happens while the open dialog is up (the port closing, say).
    std::function<void()> whileOpenDialog;
    // What the test looks at while a message is up.
    std::function<void()> whileMessage;

private:
    Prompts* m_previous;
};

class HeldKeys : public KeyState {
public:
    bool IsDown(SideKey key) const override { return held.contains(static_cast<int>(key)); }
    void Hold(std::initializer_list<SideKey> keys) {
        held.clear();
        for (SideKey key : keys) {
            held.insert(static_cast<int>(key));
        }
    }
    // Counts the key releases the window let it see.
    void Observe(QEvent* event) override {
        if (event->type() == QEvent::KeyRelease) {
            ++releasesSeen;
        }
    }
    QSet<int> held;
    int releasesSeen = 0;
};

// A settings store in a fresh temporary folder.
class TempSettings {
public:
    TempSettings() : settings(std::make_unique<ProfileSettings>(dir.filePath("tarvik.ini"))) {}
    QTemporaryDir dir;
    std::unique_ptr<ProfileSettings> settings;
};

// A static without an id (a label or a frame), found by its caption.
inline QWidget* StaticWithCaption(const QWidget& page, const QString& caption) {
    for (QLabel* label : page.findChildren<QLabel*>()) {
        if (label->text() == caption) {
            return label;
        }
    }
    for (QGroupBox* box : page.findChildren<QGroupBox*>()) {
        if (box->title() == caption) {
            return box;
        }
    }
    return nullptr;
}
