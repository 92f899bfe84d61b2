#pragma once
// Short sounds at the steps of a production run, played by bare file name without waiting.
// Behind an interface so that tests hear nothing and can tell what was played.

#include <QString>
#include <QStringList>
#include <memory>

class Sounds {
public:
    virtual ~Sounds() = default;
    // "success.wav", "error.wav", "start_download.wav", "download_success.wav",
    // "read_success.wav". A missing file or no audio device stays silent.
    virtual void Play(const QString& fileName) = 0;
};

// Looks the name up in the working directory, next to the program, in the installed data
// folder and in the source tree's defaults, in that order. The playing is the platform's
// (sound_player_<platform>.cpp): Qt Multimedia on Linux, the system's PlaySound on Windows.
class SoundEffects : public Sounds {
public:
    SoundEffects();
    ~SoundEffects() override;
    void Play(const QString& fileName) override;

    // Where a name is found; empty when nowhere.
    static QString Locate(const QString& fileName);
    static QStringList SearchFolders();

private:
    struct Player;
    std::unique_ptr<Player> m_player;
};
