#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "Version.h"
#include "app/LocalPath.h"
#include "res/ResourceIds.h"
#include "romdata/TerminalSafe.h"

namespace om {

namespace {

// A message made safe for the terminal it is printed on, as the companion's
// are: a name or an option typed with control characters in it (an escape
// sequence) shows them as \xNN instead of having the terminal obey them.
QString TerminalText(const QString& text) {
    return PathFromBytes(QByteArray::fromStdString(TerminalSafe(PathBytes(text).toStdString(), true)));
}

}  // namespace

QStringList ArgumentsFromArgv(int argc, const char* const* argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(PathFromBytes(QByteArray(argv[i])));
    return arguments;
}

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Orbitmarsh Battle Animation Editor: edits the battle backgrounds of the "
                       "game's enemy groups in a ROM image."));
    // Not addHelpOption(): its --help-all would list Qt's own options, which
    // this command line does not take.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help and exits."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("ROM"),
                                 QStringLiteral("ROM image (.smc or .sfc) to open at start."),
                                 QStringLiteral("[ROM]"));

    // The usage line names the program as it was started. The parser would
    // take the name from the application object, which does not exist yet.
    const QString name = arguments.isEmpty() ? QString::fromLatin1(kProgramName)
                                             : QFileInfo(arguments.first()).fileName();
    const auto helpText = [&] {
        QString text = parser.helpText();
        const QString usage = QStringLiteral("Usage: ");
        const qsizetype end = text.indexOf(QStringLiteral(" [options]"));
        if (text.startsWith(usage) && end > 0)
            text.replace(usage.size(), end - usage.size(), name);
        return text;
    };

    CommandLine result;
    const auto usageError = [&](const QString& what) {
        result.exitStatus = kUsageErrorStatus;
        result.err = TerminalText(name + QStringLiteral(": ") + what + QLatin1Char('\n') + helpText());
        return result;
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        result.exitStatus = 0;
        result.out = TerminalText(helpText());
        return result;
    }
    if (parser.isSet(version)) {
        result.exitStatus = 0;
        result.out = QString::fromLatin1(kProgramName) + QLatin1Char(' ') +
                     QString::fromLatin1(kVersion) + QLatin1Char('\n');
        return result;
    }
    const QStringList roms = parser.positionalArguments();
    if (roms.size() > 1)
        return usageError(QStringLiteral("only one ROM can be opened at a time."));
    if (roms.size() == 1) {
        if (roms.first().isEmpty())
            return usageError(QStringLiteral("the ROM's name is empty."));
        result.romPath = AbsolutePath(roms.first());
    }
    return result;
}

}  // namespace om
