// The tray icon in a real tray host (trayer) on the test display.

#include "shell/AppActivation.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QPixmap>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Counts the hides of a window.
class HideCounter : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Hide)
            ++hides;
        return false;
    }
    int hides = 0;
};

QWidget *trayIconWindow()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->inherits("QSystemTrayIconSys") || window->objectName() == QLatin1String("QSystemTrayIconSys"))
            return window;
    }
    return nullptr;
}

} // namespace

TEST(TrayIcon, StaysInTheTrayWhenThePasteHidesTheWindows)
{
    if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
        GTEST_SKIP() << "needs the trayer tray host";
    QProcess trayer;
    trayer.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                                            QStringLiteral("right"), QStringLiteral("--widthtype"),
                                            QStringLiteral("pixel"), QStringLiteral("--width"), QStringLiteral("120")});
    ASSERT_TRUE(trayer.waitForStarted(5000));
    ASSERT_TRUE(waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000)) << "no tray appeared";

    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::blue);
    QSystemTrayIcon icon{QIcon(pixmap)};
    icon.show();
    QWidget *window = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (window = trayIconWindow()) && window->isVisible(); }, 10000));
    HideCounter counter;
    window->installEventFilter(&counter);
    QWidget other;
    other.show();

    AppActivation::hide();
    EXPECT_FALSE(other.isVisible());
    AppActivation::unhideWithoutActivation();

    EXPECT_EQ(counter.hides, 0);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(other.isVisible());
    window->removeEventFilter(&counter);
    icon.hide();
    trayer.terminate();
    trayer.waitForFinished(3000);
}
