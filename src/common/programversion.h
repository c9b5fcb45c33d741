#pragma once

#include <QString>

// The project's version number, e.g. "1.0.0".
QString programVersionNumber();
// The commit the program was built from, e.g. "fbb7b02" ("-dirty" with uncommitted changes).
QString programCommit();
// Both, for records and documents: "1.0.0 (fbb7b02)".
QString programVersion();
