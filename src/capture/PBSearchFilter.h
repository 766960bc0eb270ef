#pragma once
// The one active search of the history lists: the search fields set it to the whole search text.

#include <QStringList>

struct PBSearchFilter {
    QStringList keywords;
};
