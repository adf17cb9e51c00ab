// The report of an extraction run as one JSON object, for scripts: what
// each job wrote (the file, the title, the outcome and its exit status, the
// damage skipped) and, since a program stream carries no language tags, what
// each output stream is: its id, kind, format, language and where it came
// from.
#pragma once

#include <string>

// One job's object, or with batch {"source", "jobs": [...], "exitStatus"};
// built from Batch. exitStatus is the run's own (usage error, signal).
// A run refused before any job started gives the object of its request
// with the outcome "refused".
std::string ExtractionReportJson(const std::string& source, const std::string& output, bool batch,
                                 int exitStatus);
