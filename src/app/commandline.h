#pragma once

#include <QByteArray>
#include <QStringList>

#include <optional>

// The two questions the program answers on its command line before any window opens,
// so that they work on a terminal without a display: "--help" and "--version". The
// answer is printed as it is and the program ends with 0. Any other arguments (none, or
// Qt's own such as -platform) start the program as always.
std::optional<QByteArray> commandLineAnswer(const QStringList &arguments);
std::optional<QByteArray> commandLineAnswer(int argc, char **argv);
