#pragma once
// One history and shell for the whole test program (the shared list window is made once and keeps
// its history), and a fixture that gives each test a fresh bar and default settings.

#include "colorbar/MainViewController.h"
#include "colorbar/MainWindowController.h"
#include "support/ShellHarness.h"

#include <QList>
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include <memory>

ShellHarness &sharedShell();

class ColorBarTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new bar (shown) after the settings of the test were written.
    MainViewController &makeBar();
    MainViewController &bar() { return *m_window->contentViewController(); }
    QWidget &barWindow() { return *m_window; }
    PBCategoryManager &categories() { return *sharedShell().categories; }
    int rowOf(PBDefaultCategory kind);
    PBCategory addCustom(const QString &name);
    static QScreen *leftScreen();
    static QScreen *rightScreen();

    std::unique_ptr<MainWindowController> m_window;
};
