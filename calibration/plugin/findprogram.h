#pragma once

#include <QString>

// The external program in a folder whose name holds a word.
struct ProgramMatch
{
    QString path; // absolute; set only when exactly one file matched
    int count = 0;
};

// Files (not links) matching "*<word>*.exe", case-insensitively.
ProgramMatch findProgram(const QString &folder, const QString &word);
