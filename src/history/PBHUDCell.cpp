#include "history/PBHUDCell.h"

#include "capture/ItemTitle.h"
#include "capture/PBItemRecordConversion.h"
#include "capture/TaviPBManager.h"
#include "core/FileIcon.h"
#include "core/TaviSettings.h"
#include "core/Thumbnail.h"
#include "history/ImageLoader.h"
#include "history/NamedImages.h"
#include "platform/DispatchQueue.h"
#include "platform/LockedFiles.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"

#include <QApplication>
#include <QCache>
#include <QHBoxLayout>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr int kIconSize = PBHUDCell::kIconSize;

QPixmap iconPixmap(const QIcon &icon) { return icon.pixmap(kIconSize, kIconSize); }

QPixmap applicationIcon(const QString &bundleIdentifier)
{
    static QHash<QString, QPixmap> icons;
    if (const auto found = icons.constFind(bundleIdentifier); found != icons.constEnd())
        return *found;
    const QPixmap pixmap = iconPixmap(Workspace::shared().iconForApplication(bundleIdentifier));
    icons.insert(bundleIdentifier, pixmap);
    return pixmap;
}

// Thumbnails of copied images, by item; decoding a large image once is enough. Lists leave large
// images out: those are read from the store for it.
QPixmap imageThumbnail(const PBItem &item, const QByteArray &listed)
{
    static QCache<QUuid, QPixmap> thumbnails(200);
    if (QPixmap *cached = thumbnails.object(item.uuid()))
        return *cached;
    QByteArray data = listed;
    if (data.isEmpty()) {
        const PBItem full = TaviPBManager::shared().loadFullItem(item);
        if (full.dataProvider())
            data = full.dataProvider()->accosicatedData().toByteArray();
    }
    QImage image;
    if (!image.loadFromData(data))
        return namedImage(QStringLiteral("df_image"));
    auto *pixmap = new QPixmap(QPixmap::fromImage(image.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    thumbnails.insert(item.uuid(), pixmap);
    return *pixmap;
}

// The rows that have a digit hot key: never more than the nine digits.
int digitKeyRows() { return std::clamp(TaviSettings::shared().menuHistoryCapacity(), 0, 9); }

// Thumbnails of copied image files, by item.
QCache<QUuid, QPixmap> &fileThumbnails()
{
    static QCache<QUuid, QPixmap> thumbnails(200);
    return thumbnails;
}

// A thumbnail of the image file within 64 x 64, decoded at that size; null when it is not a readable image.
QImage readThumbnail(const QString &path)
{
    if (LockedFiles::isHeld(path))
        return {}; // the store's own file: opening it would drop its locks
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return {};
    reader.setScaledSize(thumbnailSize(QSizeF(size), 64, 64));
    return reader.read();
}

// The key that pastes the row Return would paste, as the keyboard names it.
QString returnKeyName() { return L("Key.Enter"); }

} // namespace

PBHUDCell::PBHUDCell(QWidget *parent) : QWidget(parent)
{
    setObjectName(kIdentifier);
    setAttribute(Qt::WA_Hover);
    setFixedHeight(int(kRowHeight));
    iconImage = new QLabel(this);
    iconImage->setObjectName(QStringLiteral("iconImage"));
    iconImage->setFixedSize(kIconSize + 8, kIconSize + 8);
    iconImage->setAlignment(Qt::AlignCenter);
    textField = new ElidedLabel(this);
    textField->setObjectName(QStringLiteral("textField"));
    // Cut where a word ends, as the list's titles are.
    textField->setElideAtWordBoundary(true);
    lblShortCut = new QLabel(this);
    lblShortCut->setObjectName(QStringLiteral("lblShortCut"));
    lblShortCut->setTextFormat(Qt::PlainText);
    lblShortCut->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblShortCut->setForegroundRole(QPalette::PlaceholderText);
    deleteBtn = new QToolButton(this);
    deleteBtn->setObjectName(QStringLiteral("deleteBtn"));
    deleteBtn->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    deleteBtn->setAutoRaise(true);
    deleteBtn->setToolTip(L("PBHUD.Delete.tooltip"));
    deleteBtn->hide();
    connect(deleteBtn, &QToolButton::clicked, this, &PBHUDCell::deleteBtnAction);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 4, 10, 4);
    layout->setSpacing(10);
    layout->addWidget(iconImage);
    layout->addWidget(textField, 1);
    layout->addWidget(lblShortCut);
    layout->addWidget(deleteBtn);
}

void PBHUDCell::configureHUDCell(const PBItem &item, int row, bool isSearchMode)
{
    m_item = item;
    deleteBtn->hide();
    if (item.dataProvider()) {
        // One line: the row is too low for more, and a newline would hide the rest.
        textField->setText(itemTitle(item, kMaxTextLength).trimmed());
    } else {
        textField->setText(QStringLiteral("--"));
    }
    isSearchingMode = isSearchMode;
    currentIndex = row;
    const auto &settings = TaviSettings::shared();
    if (!isSearchMode) {
        // The digit hot key as the user presses it: "Super+1", "Alt+1" or "Ctrl+1".
        shortCutStr = symbol(settings.historyQuickSelectionKey()) + QLatin1Char('+') + QString::number(row + 1);
        const QString text = row == 0
                                 ? shortCutStr + QLatin1Char(' ') + L("PBHUD.OR") + QLatin1Char(' ') + returnKeyName()
                                 : shortCutStr;
        lblShortCut->setText(row < digitKeyRows() ? text : QString());
    } else {
        lblShortCut->setText(row == 0 ? returnKeyName() : QString());
    }
    updateIcon();
}

void PBHUDCell::updateShortcutLabel()
{
    const int capacity = digitKeyRows();
    if (isSearchingMode)
        lblShortCut->setText(isSelected ? returnKeyName() : QString());
    else if (isSelected)
        lblShortCut->setText(currentIndex >= capacity
                                 ? returnKeyName()
                                 : shortCutStr + QLatin1Char(' ') + L("PBHUD.OR") + QLatin1Char(' ') + returnKeyName());
    else
        lblShortCut->setText(currentIndex < capacity ? shortCutStr : QString());
    update();
}

void PBHUDCell::deleteBtnAction()
{
    if (deleteAction)
        deleteAction();
}

void PBHUDCell::updateIcon()
{
    // Cells are reused for other rows: an item without an icon of its own must not show the last one.
    iconImage->clear();
    for (const PBCategory &category : m_item.categories()) {
        switch (category.type()) {
        case PBDefaultCategory::text:
        case PBDefaultCategory::other:
            if (const auto &app = m_item.sourceApp(); app && app->bundleId && !app->bundleId->isEmpty())
                setIcon(applicationIcon(*app->bundleId));
            break;
        case PBDefaultCategory::link:
            setIcon(namedImage(QStringLiteral("website_default")));
            if (const auto &provider = m_item.dataProvider()) {
                const QUuid uuid = m_item.uuid();
                ImageLoader::shared().load(provider->accosicatedData().toUrl(), this,
                                           [this, uuid](const QPixmap &favicon) {
                                               if (m_item.uuid() == uuid)
                                                   setIcon(favicon);
                                           });
            }
            break;
        case PBDefaultCategory::image:
            if (const auto &provider = m_item.dataProvider()) {
                if (const auto *file = provider->as<PBFileItemProvider>()) {
                    showFileThumbnail(file->url());
                } else {
                    setIcon(imageThumbnail(m_item, provider->accosicatedData().toByteArray()));
                }
            }
            break;
        case PBDefaultCategory::file:
            if (const auto &provider = m_item.dataProvider()) {
                if (const auto *file = provider->as<PBFileItemProvider>()) {
                    const auto icon = fileIcon(file->url().toString());
                    setIcon(icon ? iconPixmap(*icon) : QPixmap());
                }
            }
            break;
        case PBDefaultCategory::note: setIcon(namedImage(QStringLiteral("noteIcon"))); break;
        case PBDefaultCategory::email: setIcon(namedImage(QStringLiteral("email"))); break;
        case PBDefaultCategory::unknown:
        case PBDefaultCategory::custom:
        case PBDefaultCategory::all: break;
        }
    }
}

// Styles and icon themes may give a smaller picture than asked for (a 16-pixel globe for the link
// placeholder); thumbnails and site icons come in any size. All are shown at one size.
void PBHUDCell::setIcon(const QPixmap &pixmap)
{
    if (pixmap.isNull()) {
        iconImage->clear();
        return;
    }
    const QSize size = pixmap.deviceIndependentSize().toSize();
    if (std::max(size.width(), size.height()) == kIconSize && size.width() <= kIconSize && size.height() <= kIconSize) {
        iconImage->setPixmap(pixmap);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    QPixmap fitted = pixmap.scaled(QSize(kIconSize, kIconSize) * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    fitted.setDevicePixelRatio(ratio);
    iconImage->setPixmap(fitted);
}

// Decoding a large image file takes long: off the main thread, shown when the cell still holds
// the item; the file's icon when it gives no image.
void PBHUDCell::showFileThumbnail(const QUrl &url)
{
    const QUuid uuid = m_item.uuid();
    if (const QPixmap *cached = fileThumbnails().object(uuid)) {
        setIcon(*cached);
        return;
    }
    const QPointer<PBHUDCell> self(this);
    GlobalQueue::async([self, uuid, url] {
        const QImage image = url.isLocalFile() ? readThumbnail(url.toLocalFile()) : QImage();
        MainQueue::async([self, uuid, url, image] {
            if (!self || self->m_item.uuid() != uuid)
                return;
            if (image.isNull()) {
                const auto icon = fileIcon(url.toString());
                self->setIcon(icon ? iconPixmap(*icon) : QPixmap());
                return;
            }
            auto *pixmap = new QPixmap(QPixmap::fromImage(image));
            self->setIcon(*pixmap);
            fileThumbnails().insert(uuid, pixmap);
        });
    });
}

void PBHUDCell::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    deleteBtn->show();
}

void PBHUDCell::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    deleteBtn->hide();
}

void PBHUDCell::wheelEvent(QWheelEvent *event)
{
    if (event->angleDelta().y() != 0)
        deleteBtn->hide();
    // The table scrolls.
    event->ignore();
}

void PBHUDCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isSelected) {
        QColor highlight = palette().color(QPalette::Highlight);
        highlight.setAlpha(70);
        painter.setPen(Qt::NoPen);
        painter.setBrush(highlight);
        painter.drawRoundedRect(rect().adjusted(4, 2, -4, -2), 6, 6);
    }
}
