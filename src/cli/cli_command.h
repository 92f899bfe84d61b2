#pragma once
// The commands of tarvik-cli and what they share: exit codes and option handling.

#include <QCommandLineParser>
#include <QStringList>

#include "cli/controller_session.h"

enum ExitCode : int {
    kExitOk = 0,
    kExitNoAnswer = 1,  // the controller did not answer or acknowledge
    kExitUsage = 2,
    kExitFileError = 3,
    kExitPortError = 4,
    kExitDifferent = 5,  // diff: the two sets differ
};

// Whether a command talks to a controller: --port, --baud and --can.
enum class LinkUse { kNone, kRequired, kOptional };

// A command's parser with --help and --lang, and the link options it uses.
class CommandOptions {
public:
    CommandOptions(const QString& name, const QString& description, LinkUse link);

    QCommandLineParser& Parser() { return m_parser; }
    const QCommandLineParser& Parser() const { return m_parser; }
    // --records and --outbox, and for a command that reaches a controller --station and
    // --unit.
    void AddRecordOptions(bool operation = true);
    // The help, its usage line naming the command as typed: "tarvik-cli records [options]".
    QString HelpText() const;
    // Parses `arguments` (the command name first). Returns an exit code when the command must
    // not run: 0 after --help, kExitUsage after a usage error (both already printed).
    std::optional<int> Parse(const QStringList& arguments);
    // Valid after Parse; the port is empty when an optional link was not asked for.
    const LinkOptions& Link() const { return m_link; }

private:
    QString m_name;
    LinkUse m_linkUse;
    QCommandLineParser m_parser;
    LinkOptions m_link;
};

// Reads a whole file; prints the reason and returns nothing when it cannot.
std::optional<QByteArray> ReadWholeFile(const QString& path);

int RunPorts(const QStringList& arguments);
int RunRead(const QStringList& arguments);
int RunWrite(const QStringList& arguments);
int RunCheck(const QStringList& arguments);
int RunFlash(const QStringList& arguments);
int RunStatus(const QStringList& arguments);
int RunDiff(const QStringList& arguments);
// records [summary]: the production records.
int RunRecords(const QStringList& arguments);
// reset, restart-cable, factory-restore.
bool IsOneShotCommand(const QString& name);
int RunOneShot(const QStringList& arguments);
