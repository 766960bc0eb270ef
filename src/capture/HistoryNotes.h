#pragma once
// Notes the user writes into the history: a new note stored and announced, and a note's edited
// text written back, filed under the active category. Main thread.

#include "capture/HistoryRecords.h"

class TaviSettings;

class HistoryNotes {
public:
    HistoryNotes(TaviSettings &settings, HistoryRecords &records);

    PBItem addNote(const QString &title, const QString &body);
    void updateNote(const PBItem &item);

private:
    TaviSettings &m_settings;
    HistoryRecords &m_records;
};
