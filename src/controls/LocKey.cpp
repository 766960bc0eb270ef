#include "controls/LocKey.h"

#include "platform/Strings.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>

namespace LocKey {

namespace {
QString localized(const std::optional<QString> &key)
{
    const QString id = key.value_or(QString());
    return id.isEmpty() ? QString() : Strings::text(id);
}
} // namespace

void set(QObject *object, const std::optional<QString> &key)
{
    if (!object)
        return;
    const QString text = localized(key);
    if (auto *menu = qobject_cast<QMenu *>(object))
        menu->setTitle(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(object))
        button->setText(text);
    else if (auto *label = qobject_cast<QLabel *>(object))
        label->setText(text);
    else if (auto *field = qobject_cast<QLineEdit *>(object))
        field->setText(text);
    else if (auto *box = qobject_cast<QGroupBox *>(object))
        box->setTitle(text);
    else if (auto *action = qobject_cast<QAction *>(object))
        action->setText(text);
    else if (auto *widget = qobject_cast<QWidget *>(object))
        widget->setWindowTitle(text);
}

void setTab(QTabWidget *tabs, int index, const std::optional<QString> &key)
{
    if (tabs && index >= 0 && index < tabs->count())
        tabs->setTabText(index, localized(key));
}

void setColumn(QAbstractItemModel *model, int column, const std::optional<QString> &key)
{
    if (model && column >= 0 && column < model->columnCount())
        model->setHeaderData(column, Qt::Horizontal, localized(key));
}

std::optional<QString> get(const QObject *) { return std::nullopt; }

void applyAll(QObject *root)
{
    if (!root)
        return;
    QList<QObject *> objects{root};
    objects += root->findChildren<QObject *>();
    for (QObject *object : std::as_const(objects)) {
        const QVariant key = object->property(kPropertyName);
        if (!key.isValid())
            continue;
        set(object, key.toString());
        object->setProperty(kPropertyName, QVariant());
    }
}

} // namespace LocKey
