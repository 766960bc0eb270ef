#include "shell/ShellSeams.h"

ShellSeams &ShellSeams::shared()
{
    static ShellSeams seams;
    return seams;
}
