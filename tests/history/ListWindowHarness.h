#pragma once
// The history list window over a test history, for the list's tests.

#include "history/CategoryListViewController.h"
#include "history/CategoryWindowController.h"
#include "history/CategoryListTableView.h"
#include "core/Alert.h"
#include "support/ShellHarness.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

inline PBCategory kindCategory(ShellHarness &shell, PBDefaultCategory kind)
{
    for (const PBCategory &category : shell.categories->categories()) {
        if (category.type() == kind)
            return category;
    }
    return PBCategory::all();
}

// "<prefix> 0" to "<prefix> count-1".
inline QStringList numberedTexts(const QString &prefix, int count)
{
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts.append(QStringLiteral("%1 %2").arg(prefix).arg(i));
    return texts;
}

// The list window over a history of the texts (the last one newest), showing a category.
struct ListWindow {
    explicit ListWindow(ShellHarness &shell, const QStringList &texts, PBDefaultCategory kind = PBDefaultCategory::all)
        : shell(shell),
          window(*shell.manager)
    {
        for (const QString &text : texts) {
            shell.copyText(text);
            waitForTheClockToMove();
        }
        view = window.contentViewController();
        window.show();
        open(kindCategory(shell, kind));
    }
    void open(const PBCategory &category)
    {
        view->updateUI(category);
        settle();
    }
    void settle()
    {
        EXPECT_TRUE(waitUntil([this] { return !view->isLoading(); }));
        shell.settle();
    }
    void activate()
    {
        QApplication::setActiveWindow(&window);
        window.windowDidBecomeMain();
    }
    void key(QWidget *to, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(to, key, modifiers);
        shell.settle();
    }
    QList<int> selected() const { return view->itemsTableView->selectedRows(); }
    QString textAt(int row) const
    {
        const PBItem item = view->itemAt(row);
        return item.dataProvider() ? item.dataProvider()->representedText() : QString();
    }
    QStringList texts() const
    {
        QStringList all;
        for (int row = 0; row < view->numberOfRows(); ++row)
            all.append(textAt(row));
        return all;
    }

    ShellHarness &shell;
    CategoryWindowController window;
    CategoryListViewController *view = nullptr;
};

// A user's category with a name of its own, as stored.
inline PBCategory addCustomCategory(ShellHarness &shell, const QString &name)
{
    const PBCategory category(std::nullopt, name, QColor(Qt::darkBlue), QColor(Qt::white), PBDefaultCategory::custom,
                              false, false);
    shell.categories->add(category);
    return shell.categories->customCategories().last();
}

// Answers every alert with one button while it lives, and keeps the texts it was asked (and
// those of the alerts that default to their cancel) and the alerts' first buttons.
struct Answering {
    explicit Answering(ModalResponse response)
    {
        setAlertResponder([this, response](const AlertRequest &request) {
            asked.append(request.informativeText);
            buttons.append(request.firstButtonTitle);
            if (request.destructive)
                askedDestructively.append(request.informativeText);
            return response;
        });
    }
    ~Answering() { setAlertResponder({}); }
    QStringList asked;
    QStringList askedDestructively;
    // The first button of each alert.
    QStringList buttons;
};
