#pragma once
// The two-step benchmarks: this program starts itself twice with a private home (the XDG folders
// under one folder), once to seed a history and once to measure it, so that the measuring
// process starts on a stored history as the program would. The children get "seed"/"measure",
// the item count and the home folder as their arguments. `measure` returns false when it could
// not take its figures; the program's exit status is then 1.

#include "platform/Strings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

#include <unistd.h>

namespace Bench {

struct DriverOptions {
    // A seeded history is kept between runs in the folder TAVI_BENCH_HOME names.
    bool reusableHome = true;
    // The children use the platform QT_QPA_PLATFORM names, offscreen when it names none.
    bool platformFromEnvironment = false;
    // The measuring child works on a copy of the seeded home: it changes the history.
    bool measureOnCopy = false;
};

inline bool copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    const QDir source(from);
    for (const QFileInfo &entry : source.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString target = to + QLatin1Char('/') + entry.fileName();
        if (entry.isDir() ? !copyFolder(entry.filePath(), target) : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}

inline int runSeedThenMeasure(int argc, char *argv[], qint64 defaultCount,
                              const std::function<void(qint64 count)> &seed, const std::function<bool()> &measure,
                              DriverOptions options = {})
{
    if (argc == 4) {
        if (!options.platformFromEnvironment || qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        Strings::install(); // the windows measured show their real texts
        if (qstrcmp(argv[1], "seed") == 0) {
            seed(QByteArray(argv[2]).toLongLong());
            return 0;
        }
        const bool measured = measure();
        std::fflush(stdout);
        return measured ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    const qint64 count = argc > 1 ? QByteArray(argv[1]).toLongLong() : defaultCount;
    if (count <= 0) {
        std::fprintf(stderr, "nothing to measure: a history of %s items\n", argc > 1 ? argv[1] : "0");
        return 1;
    }
    QTemporaryDir temporary;
    const bool named = options.reusableHome && !qEnvironmentVariableIsEmpty("TAVI_BENCH_HOME");
    const QString home = named ? qEnvironmentVariable("TAVI_BENCH_HOME") : temporary.path();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"}) {
        const QString folder = home + QLatin1Char('/') + QString::fromLatin1(name);
        QDir().mkpath(folder);
        environment.insert(QString::fromLatin1(name), folder);
    }
    environment.insert(QStringLiteral("TAVI_MUTE_SOUNDS"), QStringLiteral("1"));
    const QString seededMark = home + QStringLiteral("/XDG_DATA_HOME/seeded");
    const bool seeded = options.reusableHome && QFile::exists(seededMark);
    QTemporaryDir copy;
    for (const char *step : {"seed", "measure"}) {
        const bool seeding = qstrcmp(step, "seed") == 0;
        if (seeded && seeding)
            continue;
        QString childHome = home;
        if (!seeding && options.measureOnCopy && named) {
            childHome = copy.path();
            if (!copyFolder(home, childHome))
                qFatal("could not copy the seeded home %s", qPrintable(home));
            // The copy's pages reach the disk now, not while the figures are taken.
            ::sync();
            for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
                environment.insert(QString::fromLatin1(name), childHome + QLatin1Char('/') + QString::fromLatin1(name));
        }
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(step), QString::number(count), childHome});
        child.waitForFinished(-1);
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            std::fprintf(stderr, "the %s step failed\n", step);
            return 1;
        }
        if (seeding && options.reusableHome) {
            QFile mark(seededMark);
            mark.open(QIODevice::WriteOnly);
        }
    }
    return 0;
}

} // namespace Bench
