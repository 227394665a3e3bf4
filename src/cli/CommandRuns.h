#pragma once

#include "CommandDefinition.h"

// The work of each command, once the line is read and the password checked.
// Each returns the exit status, or ends with fail().
int importFile(Context& context);
int exportFile(Context& context);
int list(Context& context);
int show(Context& context);
int search(Context& context);
int generate(Context& context);
int backup(Context& context);
int restore(Context& context);
int repair(Context& context);
// SyncCommands.cpp: one record changed, a copy merged, what merges kept.
int addRecord(Context& context);
int editRecord(Context& context);
int removeRecord(Context& context);
int mergeCopy(Context& context);
struct ShownRecord;
int showHistory(Context& context, const ShownRecord& record, bool secrets);
int browserSetup(Context& context);
int browserList(Context& context);
int browserForget(Context& context);
