#pragma once

#include <sys/types.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

// The running processes, from /proc.

// One process of the system's process table.
struct BSDProcessRecord {
    pid_t processID = 0;
    QString command;  // the short command name the system keeps (at most 15 characters on Linux)
    uid_t userID = 0; // the real user identifier
    pid_t processGroupID = 0;
};

// Reads the process table into `list`, which must be empty. Answers 0, or the
// system's error number when the table cannot be read (the list stays empty).
// A process that ends while the table is read is left out.
int GetBSDProcessList(QList<BSDProcessRecord>* list);

// One dictionary per running process: "processID" (number), "processName"
// (the short command name), and "userID" with "userName" when the user
// identifier belongs to an account, and "processGroupID" (number). Empty when
// the table cannot be read.
QVariantList GetProcessInfoList();

// The command line of a process (empty when it has ended or is not readable).
QStringList GetProcessArguments(pid_t processID);
