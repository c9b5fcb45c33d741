// Writes the state file over and over, alternating between two contents, until killed:
// the victim of the test that kills writers at random moments.
#include "keyvaluefile.h"
#include "recordslocation.h"
#include "statefile.h"

#include <QCoreApplication>

#include <cstdio>

// The two contents, big enough that a write takes a while.
KeyValueFile::Entries contents(char which)
{
    KeyValueFile::Entries entries;
    for (int i = 0; i < 2000; ++i)
        entries.append({QStringLiteral("Key%1").arg(i), QString(700 + (which == 'a' ? 0 : 300), QLatin1Char(which))});
    return entries;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    setRecordsDirectoryForTests(QString::fromLocal8Bit(argv[1]));
    KeyValueFile file(recordFilePath(StateFile::FileName));
    const char first = argv[2][0];
    if (argc > 3) { // only the one write: how the tests learn the two contents
        file.writeValues(StateFile::Section, contents(first));
        return 0;
    }
    std::puts("writing");
    std::fflush(stdout);
    for (char which = first;; which = which == 'a' ? 'b' : 'a')
        file.writeValues(StateFile::Section, contents(which));
}
