// Help texts, hints and warnings of every pane read at 4.5:1 or more against what is painted
// behind them, in a light and in a dark theme: the text colour is taken from each label's palette,
// the background from the window as drawn.

#include "PreferencesTestSupport.h"

#include "core/TaviSettings.h"
#include "platform/Strings.h"
#include "preferences/BlacklistViewController.h"
#include "preferences/PreferenceTabViewController.h"
#include "preferences/PreferencesWindowViewController.h"
#include "shell/ShellSeams.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

double relativeLuminance(QRgb rgb)
{
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(rgb)) + 0.7152 * linear(qGreen(rgb)) + 0.0722 * linear(qBlue(rgb));
}

double contrast(QRgb a, QRgb b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour most of an area is painted in: the background behind a label's text.
QRgb backgroundOf(const QImage &image, const QRect &area)
{
    QHash<QRgb, int> counts;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000u];
    }
    QRgb most = 0;
    int mostCount = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > mostCount) {
            most = it.key();
            mostCount = it.value();
        }
    }
    return most;
}

QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2D, 0x2D, 0x30));
    dark.setColor(QPalette::WindowText, QColor(0xE6, 0xE6, 0xE6));
    dark.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    dark.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x28));
    dark.setColor(QPalette::Text, QColor(0xE6, 0xE6, 0xE6));
    dark.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3D));
    dark.setColor(QPalette::ButtonText, QColor(0xE6, 0xE6, 0xE6));
    dark.setColor(QPalette::PlaceholderText, QColor(0x5A, 0x5A, 0x5A));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(0x55, 0x55, 0x58));
    return dark;
}

class HelpTextContrast : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_palette = QApplication::palette();
        m_fixture.emplace();
        TaviSettings::shared().setBlackList({});
        // One ignored application, so that its row (name and grey id) is there to be read.
        const QString folder =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/applications");
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/org.example.Editor.desktop"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[Desktop Entry]\nType=Application\nName=Example Editor\nExec=/usr/bin/true\n");
        file.close();
        ShellSeams::shared().showPreferencesWindow();
        m_window = preferencesWindowController();
        ASSERT_NE(m_window, nullptr);
        m_window->resize(760, 640);
        BlacklistViewController *ignored = m_window->findChild<BlacklistViewController *>();
        ASSERT_NE(ignored, nullptr);
        ignored->addApplications({file.fileName()});
    }
    void TearDown() override
    {
        QApplication::setPalette(m_palette);
        TaviSettings::shared().setBlackList({});
        m_fixture.reset();
    }

    // Every label and every field's placeholder on every tab, as drawn.
    void expectEveryTextReadable(const char *theme)
    {
        PreferenceTabViewController *tabs = m_window->contentViewController();
        int labelsRead = 0;
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            QApplication::processEvents();
            const QImage drawn = m_window->grab().toImage();
            for (QLabel *label : tabs->widget(tab)->findChildren<QLabel *>()) {
                if (!label->isVisibleTo(m_window) || !label->isEnabled() || label->text().isEmpty())
                    continue;
                const QRect area(label->mapTo(m_window, QPoint(0, 0)), label->size());
                if (!drawn.rect().intersects(area))
                    continue; // scrolled out of the window
                const QRgb background = backgroundOf(drawn, area);
                for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
                    const QRgb text = label->palette().color(group, label->foregroundRole()).rgb();
                    EXPECT_GE(contrast(text, background), 4.5)
                        << theme << ", " << qPrintable(tabs->tabText(tab)) << ": \""
                        << qPrintable(label->text().left(50)) << "\" in " << qPrintable(QColor(text).name()) << " on "
                        << qPrintable(QColor(background).name());
                }
                ++labelsRead;
            }
            for (QLineEdit *field : tabs->widget(tab)->findChildren<QLineEdit *>()) {
                if (field->placeholderText().isEmpty() || !field->isVisibleTo(m_window) || !field->isEnabled())
                    continue;
                const QRgb base = field->palette().color(QPalette::Active, QPalette::Base).rgb();
                const QRgb placeholder = field->palette().color(QPalette::Active, QPalette::PlaceholderText).rgb();
                EXPECT_GE(contrast(placeholder, base), 4.5)
                    << theme << ", " << qPrintable(tabs->tabText(tab)) << ": placeholder \""
                    << qPrintable(field->placeholderText()) << "\" in " << qPrintable(QColor(placeholder).name())
                    << " on " << qPrintable(QColor(base).name());
            }
        }
        EXPECT_GT(labelsRead, 20) << theme;
    }

    QPalette m_palette;
    std::optional<PreferencesFixture> m_fixture;
    PreferencesWindowViewController *m_window = nullptr;
};

} // namespace

TEST_F(HelpTextContrast, EveryHelpTextAndWarningReadsInALightAndADarkTheme)
{
    // The passphrase warning is a help text like the others, not a disabled one.
    QLabel *warning = nullptr;
    for (QLabel *label : m_window->findChildren<QLabel *>()) {
        if (label->text() == L("Sync.Pane.passphraseHint"))
            warning = label;
    }
    ASSERT_NE(warning, nullptr);
    EXPECT_TRUE(warning->isEnabled());

    expectEveryTextReadable("light");
    QApplication::setPalette(darkPalette());
    QApplication::processEvents();
    expectEveryTextReadable("dark");
}
