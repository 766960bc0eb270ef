#pragma once
// A row of the ignored-applications list: the application's icon, its name and, smaller, its
// desktop id. An id whose desktop entry is gone shows a generic icon and the id itself. GUI thread.

#include <QIcon>
#include <QWidget>

#include <optional>

class QLabel;

class SettingBlacklistCell : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 40;

    explicit SettingBlacklistCell(QWidget *parent = nullptr);

    // Fills the row from the desktop id; every field is set, nothing of an earlier id stays.
    void configure(const QString &appId);

    std::optional<QString> appId;
    QLabel *appIconView = nullptr;
    QLabel *textField = nullptr;
    QLabel *idField = nullptr;

    // The name shown for an id, and whether an installed application has it.
    static QString displayName(const QString &appId, bool *installed = nullptr);
    static QIcon icon(const QString &appId);
};
