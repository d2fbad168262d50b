// Rows about files the user may not read or write mean nothing to root,
// who may: run as root (as CI runs the suites), such a row runs again in a
// child of the test program that has dropped to the unprivileged user
// "nobody", and passes when the child's run of that one row passes.
#pragma once

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace omtest {

inline constexpr int kNobody = 65534;

// True when the current row ran in such a child, and its result is already
// reported: the caller returns. False when the caller runs the row itself
// (it is not root).
inline bool RanUnprivileged() {
    if (geteuid() != 0)
        return false;
    // The child's own folders: home, state, settings, temporaries.
    QTemporaryDir home;
    if (!home.isValid() || ::chown(QFile::encodeName(home.path()).constData(), kNobody, kNobody) != 0) {
        QTest::qFail("no folder for the unprivileged child", __FILE__, __LINE__);
        return true;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                             "XDG_RUNTIME_DIR", "TMPDIR", "XDG_CACHE_HOME"})
        env.insert(QString::fromLatin1(name), home.path());
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    const QString row = QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char(':') +
                        QString::fromLatin1(QTest::currentDataTag());
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=%1").arg(kNobody), QStringLiteral("--regid=%1").arg(kNobody),
                 QStringLiteral("--clear-groups"), QStringLiteral("--"),
                 QCoreApplication::applicationFilePath(), row});
    const bool ended = child.waitForFinished(240000);
    const QByteArray output = child.readAll();
    if (!ended || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 ||
        !output.contains(" 0 failed, 0 skipped")) {
        QTest::qFail(qPrintable(QStringLiteral("the row run as user nobody did not pass:\n") +
                                QString::fromLocal8Bit(output)),
                     __FILE__, __LINE__);
    }
    return true;
}

}  // namespace omtest
