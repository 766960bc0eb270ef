#include "core/Alert.h"
#include "core/DateExtensions.h"
#include "core/FileIcon.h"
#include "core/ScreenExtensions.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

TEST(DisplayLabel, TodayShowsOnlyTheTime)
{
    const QDate today(2026, 3, 14);
    const QDateTime morning(today, QTime(9, 5));
    EXPECT_EQ(displayLabel(morning, QLocale(QStringLiteral("en_US")), today), QStringLiteral("09:05"));
    EXPECT_EQ(displayLabel(morning, QLocale(QStringLiteral("de_DE")), today), QStringLiteral("09:05"));
}

TEST(DisplayLabel, OtherDaysShowMonthAndDayInTheLocalesOrder)
{
    const QDate today(2026, 3, 14);
    const QDateTime yesterday(today.addDays(-1), QTime(21, 40));
    EXPECT_EQ(displayLabel(yesterday, QLocale(QStringLiteral("en_US")), today), QStringLiteral("03/13 21:40"));
    EXPECT_EQ(displayLabel(yesterday, QLocale(QStringLiteral("de_DE")), today), QStringLiteral("13.03 21:40"));
    EXPECT_EQ(displayLabel(yesterday, QLocale(QStringLiteral("ja_JP")), today), QStringLiteral("03/13 21:40"));
    const QString label =
        displayLabel(QDateTime(QDate(2025, 1, 2), QTime(7, 0)), QLocale(QStringLiteral("fr_FR")), today);
    EXPECT_EQ(label, QStringLiteral("02/01 07:00"));
}

TEST(DisplayLabel, UsesTheCurrentDayByDefault)
{
    // A fixed "today": a clock read twice could fall on both sides of midnight.
    const QDate today(2026, 3, 14);
    setCurrentDateSource([today] { return today; });
    const QString midnight = displayLabel(QDateTime(today, QTime(0, 0)));
    const QString dayBefore = displayLabel(QDateTime(today.addDays(-1), QTime(23, 59)));
    const QString dayAfter = displayLabel(QDateTime(today.addDays(1), QTime(0, 0)));
    setCurrentDateSource({});
    EXPECT_EQ(midnight, QStringLiteral("00:00"));
    EXPECT_GT(dayBefore.size(), 5);
    EXPECT_GT(dayAfter.size(), 5);
}

TEST(DisplayLabel, FollowsTheDefaultLocaleWhenItChanges)
{
    // The locale of the user's languages is looked up once, and again for a new default.
    const QDate today(2026, 3, 14);
    setCurrentDateSource([today] { return today; });
    const QDateTime yesterday(today.addDays(-1), QTime(21, 40));
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    const QString german = displayLabel(yesterday);
    const QString germanAgain = displayLabel(yesterday);
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    const QString english = displayLabel(yesterday);
    QLocale::setDefault(QLocale::system());
    setCurrentDateSource({});
    EXPECT_EQ(german, QStringLiteral("13.03 21:40"));
    EXPECT_EQ(germanAgain, german);
    EXPECT_EQ(english, QStringLiteral("03/13 21:40"));
}

TEST(ScreenNumbers, IdentifyAttachedScreens)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    ASSERT_FALSE(screens.isEmpty());
    const quint32 number = screenNumber(screens.first());
    EXPECT_NE(number, 0u);
    EXPECT_LE(number, 0x7fffffffu);
    EXPECT_EQ(number, screenNumber(screens.first())); // stable
    EXPECT_EQ(indexOfScreenNumber(number), 0);
    EXPECT_EQ(screenWithNumber(number), screens.first());
}

TEST(ScreenNumbers, AnUnknownNumberHasNoScreen)
{
    quint32 unknown = 12345;
    while (indexOfScreenNumber(unknown) >= 0)
        ++unknown;
    EXPECT_EQ(indexOfScreenNumber(unknown), -1);
    EXPECT_EQ(screenWithNumber(unknown), nullptr);
    EXPECT_EQ(screenNumber(nullptr), 0u);
}

TEST(FileIcons, AFinalSlashMeansAFolderWithoutAskingTheFileSystem)
{
    EXPECT_EQ(fileIconType(QStringLiteral("/no/such/place.txt/"))->name(), QStringLiteral("inode/directory"));
    QTemporaryDir dir;
    EXPECT_EQ(fileIconType(dir.path())->name(), QStringLiteral("inode/directory"));
    EXPECT_EQ(fileIconType(QUrl::fromLocalFile(dir.path()).toString())->name(), QStringLiteral("inode/directory"));
}

TEST(FileIcons, FilesUseTheTypeOfTheirExtension)
{
    EXPECT_EQ(fileIconType(QStringLiteral("/tmp/photo.png"))->name(), QStringLiteral("image/png"));
    EXPECT_EQ(fileIconType(QStringLiteral("file:///tmp/report.pdf"))->name(), QStringLiteral("application/pdf"));
    EXPECT_EQ(fileIconType(QStringLiteral("/tmp/README"))->name(), QStringLiteral("text/plain"));
    EXPECT_EQ(fileIconType(QStringLiteral("/tmp/data.zzqqxx"))->name(), QStringLiteral("application/octet-stream"));
    EXPECT_FALSE(fileIcon(QStringLiteral("/tmp/photo.png"))->isNull());
    EXPECT_FALSE(fileIcon(QStringLiteral("/tmp/"))->isNull());
}

namespace {
// Presses the button with the given title on the next modal dialog.
void pressWhenShown(const QString &title, QWidget **seenAccessory = nullptr)
{
    QTimer::singleShot(0, [title, seenAccessory] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        if (seenAccessory)
            *seenAccessory = box->findChild<QCheckBox *>();
        for (QAbstractButton *button : box->buttons())
            if (button->text() == title)
                button->click();
    });
}
} // namespace

TEST(Alerts, ReturnTheButtonPressedAfterTheCompletionRan)
{
    std::optional<ModalResponse> response;
    pressWhenShown(QStringLiteral("Keep"));
    showAlert(QStringLiteral("Clear everything?"), QStringLiteral("This cannot be undone."), QStringLiteral("Clear"),
              QStringLiteral("Keep"), nullptr, AlertStyle::warning, [&](ModalResponse r) { response = r; });
    EXPECT_EQ(response, ModalResponse::alertSecondButtonReturn);

    pressWhenShown(QStringLiteral("OK"));
    showAlert(QStringLiteral("Done"), QString(), QStringLiteral("OK"), std::nullopt, nullptr, AlertStyle::informational,
              [&](ModalResponse r) { response = r; });
    EXPECT_EQ(response, ModalResponse::alertFirstButtonReturn);
}

TEST(Alerts, TheAccessoryIsShownAndStaysTheCallers)
{
    auto *checkBox = new QCheckBox(QStringLiteral("Also notes"));
    QWidget *seen = nullptr;
    bool checkedInCompletion = false;
    QTimer::singleShot(0, [&] { checkBox->setChecked(true); });
    pressWhenShown(QStringLiteral("Clear"), &seen);
    showAlert(QStringLiteral("Clear?"), QString(), QStringLiteral("Clear"), QStringLiteral("Cancel"), checkBox,
              AlertStyle::critical, [&](ModalResponse) { checkedInCompletion = checkBox->isChecked(); });
    EXPECT_EQ(seen, checkBox);
    EXPECT_TRUE(checkedInCompletion);
    EXPECT_EQ(checkBox->parent(), nullptr); // not deleted with the dialog
    delete checkBox;
}

namespace {
// Types the key into the next modal alert; `look` sees the alert first.
void typeWhenShown(Qt::Key key, std::function<void(QMessageBox &)> look = {})
{
    QTimer::singleShot(0, [key, look] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        if (look)
            look(*box);
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, key);
    });
}
} // namespace

TEST(Alerts, ADestructiveAlertIsLeftWithReturnOrEscape)
{
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Enter}) {
        std::optional<ModalResponse> response;
        QString defaultTitle;
        typeWhenShown(key, [&](QMessageBox &box) {
            defaultTitle = box.defaultButton() ? box.defaultButton()->text() : QString();
        });
        showDestructiveAlert(QStringLiteral("Clear this category?"), QStringLiteral("This cannot be undone."),
                             QStringLiteral("Clear"), QStringLiteral("Cancel"), nullptr,
                             [&](ModalResponse r) { response = r; });
        EXPECT_EQ(defaultTitle, QStringLiteral("Cancel"));
        EXPECT_EQ(response, ModalResponse::alertSecondButtonReturn) << "key " << key;
    }
    // A question that destroys nothing keeps its first button as the default, a warning too.
    for (const AlertStyle style : {AlertStyle::informational, AlertStyle::warning}) {
        std::optional<ModalResponse> response;
        typeWhenShown(Qt::Key_Return);
        showAlert(QStringLiteral("Folder not readable"), QString(), QStringLiteral("Choose Folder"),
                  QStringLiteral("Later"), nullptr, style, [&](ModalResponse r) { response = r; });
        EXPECT_EQ(response, ModalResponse::alertFirstButtonReturn);
    }
}

TEST(Alerts, TheOptionsSitBetweenTheTextsAndTheButtons)
{
    auto *options = new QWidget;
    auto *column = new QVBoxLayout(options);
    column->addWidget(new QCheckBox(QStringLiteral("Pinned items too")));
    column->addWidget(new QCheckBox(QStringLiteral("Items in my categories too")));
    QRect optionsPlace, textsPlace, buttonsPlace;
    std::optional<ModalResponse> response;
    typeWhenShown(Qt::Key_Return, [&](QMessageBox &box) {
        box.layout()->activate();
        const auto place = [&box](QWidget *widget) {
            return widget ? QRect(widget->mapTo(&box, QPoint(0, 0)), widget->size()) : QRect();
        };
        optionsPlace = place(options);
        textsPlace = place(box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")));
        buttonsPlace = place(box.findChild<QDialogButtonBox *>(QStringLiteral("qt_msgbox_buttonbox")));
    });
    showDestructiveAlert(QStringLiteral("Clear this category?"), QStringLiteral("This cannot be undone."),
                         QStringLiteral("Clear"), QStringLiteral("Cancel"), options,
                         [&](ModalResponse r) { response = r; });
    ASSERT_FALSE(optionsPlace.isEmpty());
    ASSERT_FALSE(textsPlace.isEmpty());
    ASSERT_FALSE(buttonsPlace.isEmpty());
    EXPECT_GT(optionsPlace.top(), textsPlace.bottom());
    EXPECT_LT(optionsPlace.bottom(), buttonsPlace.top());
    // Aligned with the texts, not under the icon.
    EXPECT_EQ(optionsPlace.left(), textsPlace.left());
    EXPECT_EQ(response, ModalResponse::alertSecondButtonReturn);
    delete options;
}

TEST(Alerts, AResponderAnswersInsteadOfADialog)
{
    QString asked;
    setAlertResponder([&](const AlertRequest &request) {
        asked = request.messageText;
        return ModalResponse::alertSecondButtonReturn;
    });
    std::optional<ModalResponse> response;
    showAlert(QStringLiteral("Quit?"), QString(), QStringLiteral("Quit"), QStringLiteral("Stay"), nullptr,
              AlertStyle::warning, [&](ModalResponse r) { response = r; });
    setAlertResponder({});
    EXPECT_EQ(asked, QStringLiteral("Quit?"));
    EXPECT_EQ(response, ModalResponse::alertSecondButtonReturn);
}
