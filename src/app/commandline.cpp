#include "commandline.h"

#include "programversion.h"

#include <QtGlobal>

namespace {

QByteArray versionText()
{
    return QStringLiteral("transformer-bench %1\nQt %2\n").arg(programVersion(), QString::fromLatin1(qVersion())).toUtf8();
}

QByteArray helpText()
{
    return QStringLiteral(
               "Использование: transformer-bench [--help | --version]\n"
               "Программа стенда испытания силовых трансформаторов.\n"
               "\n"
               "  --help     показать эту справку и выйти\n"
               "  --version  показать версию программы и версию Qt и выйти\n"
               "\n"
               "Без этих ключей открывается главное окно программы.\n"
               "Настройки, справочник типов, состояние и архив (varnek.ini, varnek.dat,\n"
               "varnek.tmp, varnek.db) хранятся в папке ~/.local/share/transformer-bench\n"
               "(у переносной копии программы - рядом с ней).\n"
               "Руководство оператора: клавиша F1 в любом окне программы,\n"
               "/usr/share/doc/transformer-bench/manual.html; man transformer-bench.\n")
        .toUtf8();
}

} // namespace

std::optional<QByteArray> commandLineAnswer(const QStringList &arguments)
{
    // The first of the two that is given wins, as with most programs.
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--help"))
            return helpText();
        if (argument == QLatin1String("--version"))
            return versionText();
    }
    return std::nullopt;
}

std::optional<QByteArray> commandLineAnswer(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return commandLineAnswer(arguments);
}
