#pragma once
// The record of the command that runs: begun when a command is about to reach the controller,
// filled in as it learns things, and finished by main with the command's exit code. A store that
// cannot be opened or written costs one line on stderr; the command itself goes on.

#include <QString>

#include "core/params/block_layout.h"
#include "records/operation_record.h"

class CommandOptions;

// Starts the record of `command` (its name on the command line) with the link and record
// options the user gave.
void BeginCommandRecord(const CommandOptions& options, RecordOperation operation,
                        const QString& command);
// The record under way; null when no command began one.
OperationRecord* CurrentCommandRecord();
// The controller's set as it was read: check value and versions.
void NoteControllerRead(const ParameterBlock& blocks);
// The check value of the set that went to the controller.
void NoteParametersWritten();
// Finishes the record (success exactly when the command ends with 0, the reason the last
// message it showed, or the tool's own words when it showed none), commits it and waits at
// most a few seconds for the records to take it, then says in one line what went wrong with
// them, if anything (records kept aside, records waiting in the outbox). A command whose port
// could not be opened reached no controller and leaves no record. Returns `exitCode`.
int FinishCommandRecord(int exitCode);
// Marks the record under way, if any, as cancelled with `reason`: FinishCommandRecord then
// stores it as cancelled whatever the exit code. Any thread, but not from inside a signal
// handler (it takes a lock); a later call replaces the reason.
void CancelCommandRecord(const QString& reason);

// Where records go and which station this is: the options, else the per-user settings, else
// the default file and the host name.
QString RecordsSetting(const QString& option);
// With a server, the local outbox: the option, else the setting; empty: the default file.
QString OutboxSetting(const QString& option);
QString StationName(const QString& option);
