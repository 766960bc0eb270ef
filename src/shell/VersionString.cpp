#include "shell/VersionString.h"

#include <QRegularExpression>
#include <QStringList>

namespace {
// The runs of a version: digits become numbers, anything else stays text.
struct Run {
    bool isNumber = false;
    qulonglong number = 0;
    QString text;
};

QList<Run> runsOf(const QString &version)
{
    QList<Run> runs;
    qsizetype i = 0;
    while (i < version.size()) {
        const bool digit = version.at(i).isDigit();
        qsizetype end = i;
        while (end < version.size() && version.at(end).isDigit() == digit)
            ++end;
        Run run;
        run.isNumber = digit;
        run.text = version.mid(i, end - i);
        if (digit)
            run.number = run.text.left(18).toULongLong();
        runs.append(run);
        i = end;
    }
    // Trailing ".0" runs do not make a version newer.
    while (runs.size() >= 2 && runs.last().isNumber && runs.last().number == 0
           && runs.at(runs.size() - 2).text == QLatin1String(".")) {
        runs.removeLast();
        runs.removeLast();
    }
    return runs;
}
} // namespace

namespace VersionString {

bool isValid(const QString &text)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,9}(\\.[0-9]{1,9}){0,3}")));
    return pattern.match(text).hasMatch();
}

int compare(const QString &left, const QString &right)
{
    const QList<Run> a = runsOf(left);
    const QList<Run> b = runsOf(right);
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i].isNumber && b[i].isNumber) {
            if (a[i].number != b[i].number)
                return a[i].number < b[i].number ? -1 : 1;
        } else if (const int order = a[i].text.compare(b[i].text); order != 0) {
            return order < 0 ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace VersionString
