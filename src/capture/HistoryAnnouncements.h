#pragma once
// How the history manager's parts tell the rest of the program: notifications posted on the main
// thread with the payloads of NotificationPayloads.h, and the user told once (through
// HistoryProblems) of each setting whose stored value cannot be read. Any thread.

#include "capture/HistoryProblems.h"
#include "core/NotificationPayloads.h"
#include "core/PBItem.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariantMap>

// Category id -> the items of a batch filed under it (each item once per id).
using ItemsByCategory = NotificationPayload::ItemsByCategory;

// Posts at once on the main thread (or without an application), else queued to it.
void postOnMain(const QString &name, const QVariantMap &userInfo = {});

class UnreadableSettingNotice {
public:
    explicit UnreadableSettingNotice(HistoryProblems &problems) : m_problems(problems) {}

    // Tells the user once per setting that its stored value cannot be read, and what follows
    // (the text under `consequence`, naming the setting).
    void tell(const QString &key, const char *consequence);

private:
    HistoryProblems &m_problems;
    ToldOnce m_told;
};
