// Modules: the program maps none of the libraries only a preview, text recognition or a sound
// needs until a module is first asked for, and a module that is missing gives no entry.

#include "history/PdfRenderer.h"
#include "platform/LoadableModule.h"
#include "platform/SoundBackend.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {
QByteArray maps()
{
    QFile file(QStringLiteral("/proc/self/maps"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
bool mapped(const QByteArray &library) { return maps().contains(library); }
// What the process mapped before any test ran (and asked for a module): what it links.
const QByteArray kMappedAtStart = maps();
} // namespace

TEST(LoadableModules, TheirLibrariesAreMappedOnlyOnceAModuleIsAskedFor)
{
    ASSERT_TRUE(kMappedAtStart.contains("libQt6Core"));
    for (const char *library : {"libQt6WebEngineCore", "libQt6Quick", "libQt6Pdf", "libQt6Multimedia", "libtesseract"})
        EXPECT_FALSE(kMappedAtStart.contains(library)) << library << " is linked";

    ASSERT_TRUE(LoadableModule::isInstalled(QString::fromLatin1(kPdfModule)));
    const QFunctionPointer pdf = LoadableModule::entry(QString::fromLatin1(kPdfModule), kPdfRendererEntry);
    ASSERT_NE(pdf, nullptr);
    EXPECT_TRUE(mapped("libQt6Pdf"));
    EXPECT_EQ(LoadableModule::entry(QString::fromLatin1(kPdfModule), kPdfRendererEntry), pdf);
    // A file that is no PDF renders nothing.
    EXPECT_TRUE(reinterpret_cast<PdfRendererEntry>(pdf)()
                    ->firstPage(QStringLiteral("/nonexistent.pdf"), [](const QSize &size) { return size; })
                    .isNull());

    EXPECT_NE(LoadableModule::entry(QString::fromLatin1(kSoundModule), kSoundBackendEntry), nullptr);
    EXPECT_TRUE(mapped("libQt6Multimedia"));
    EXPECT_FALSE(mapped("libQt6WebEngineCore"));
}

TEST(LoadableModules, AMissingModuleOrSymbolGivesNoEntry)
{
    EXPECT_FALSE(LoadableModule::isInstalled(QStringLiteral("no-such-module")));
    EXPECT_EQ(LoadableModule::entry(QStringLiteral("no-such-module"), "anything"), nullptr);
    EXPECT_EQ(LoadableModule::entry(QStringLiteral("no-such-module"), "anything"), nullptr);
    EXPECT_EQ(LoadableModule::entry(QString::fromLatin1(kPdfModule), "noSuchEntry"), nullptr);
}
