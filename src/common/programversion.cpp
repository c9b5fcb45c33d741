#include "programversion.h"

#include "versioninfo.h"

QString programVersionNumber()
{
    return QStringLiteral(BENCH_VERSION_NUMBER);
}

QString programCommit()
{
    return QStringLiteral(BENCH_VERSION_COMMIT);
}

QString programVersion()
{
    return QStringLiteral("%1 (%2)").arg(programVersionNumber(), programCommit());
}
