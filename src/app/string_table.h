#pragma once
// Texts 101..254 in Chinese and English, compiled in from resources/strings.json. Ids that
// have no text give an empty string, as a missing resource string does.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

#include "app/ui_language.h"

class StringTable {
public:
    // The table compiled into the program; empty (and a warning) if it cannot be read.
    static const StringTable& Instance();

    // Parses {"strings": [{"id": n, "zh": "...", "en": "..."}, ...]}. Rejects anything else,
    // including a repeated id, and says why in `error`.
    static std::optional<StringTable> FromJson(const QByteArray& json, QString* error = nullptr);

    QString Text(int id, UiLanguage language) const;
    bool Contains(int id) const { return m_entries.contains(id); }
    QList<int> Ids() const;

private:
    struct Entry {
        QString chinese;
        QString english;
    };
    QHash<int, Entry> m_entries;
};

// Text `id` in this run's UI language.
QString Tr(int id);
