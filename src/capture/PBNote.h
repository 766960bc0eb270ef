#pragma once
// A note the user writes: its title and its body.

#include <QString>

struct PBNote {
    QString title;
    QString body;
};
