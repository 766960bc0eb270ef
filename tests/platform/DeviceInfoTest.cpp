#include "platform/DeviceInfo.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}
} // namespace

TEST(DeviceInfo, PlatformUUIDComesFromTheFirstReadableSource)
{
    QTemporaryDir dir;
    const QString product = writeFile(dir, QStringLiteral("product_uuid"), "4c4c4544-0051-3510-8052-b4c04f4e4d32\n");
    const QString machine = writeFile(dir, QStringLiteral("machine-id"), "0123456789abcdef0123456789abcdef\n");
    const QString missing = dir.filePath(QStringLiteral("missing"));
    EXPECT_EQ(DeviceInfo::platformUUID({missing, product, machine}),
              QStringLiteral("4C4C4544-0051-3510-8052-B4C04F4E4D32"));
    EXPECT_EQ(DeviceInfo::platformUUID({machine}), QStringLiteral("01234567-89AB-CDEF-0123-456789ABCDEF"));
}

TEST(DeviceInfo, NoReadableSourceGivesNothing)
{
    QTemporaryDir dir;
    const QString garbage = writeFile(dir, QStringLiteral("junk"), "not an id");
    const QString empty = writeFile(dir, QStringLiteral("empty"), "");
    EXPECT_FALSE(DeviceInfo::platformUUID({garbage, empty, dir.filePath(QStringLiteral("missing"))}).has_value());
    EXPECT_FALSE(DeviceInfo::platformUUID(QStringList()).has_value());
}
