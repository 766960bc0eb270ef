#include "history/CategoryListPreview.h"

#include "capture/TaviPBManager.h"
#include "history/CategoryListModel.h"
#include "history/CategoryListTableView.h"
#include "history/FilePreviewViewController.h"
#include "history/ImagePreviewViewController.h"
#include "history/LinkContentViewController.h"
#include "history/PreviewPopover.h"
#include "history/TextContentViewController.h"
#include "history/WindowPlacement.h"
#include "platform/Analytics.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"

#include <QApplication>
#include <QPointer>

CategoryListPreview::CategoryListPreview(QWidget &list, TaviPBManager &manager, CategoryListModel &model,
                                         CategoryListTableView &table)
    : m_list(list),
      m_manager(manager),
      m_model(model),
      m_table(table)
{
}

CategoryListPreview::~CategoryListPreview() { delete m_popover; }

void CategoryListPreview::previewRow(int row)
{
    const QList<int> rows = m_table.selectedRows();
    if (row < 0 || rows.size() != 1 || rows.first() != row || !m_list.isVisible())
        return;
    // A sheet the list opened stands where the preview would.
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal->parentWidget() == m_list.window())
        return;
    const PBItem item = m_model.item(row);
    if (item.uuid().isNull())
        return;
    showPreviewFor(item, row);
}

void CategoryListPreview::showPreviewFor(const PBItem &item, int row)
{
    const auto primary = item.primaryCategory();
    const PBDefaultCategory kind = primary ? primary->type() : PBDefaultCategory::unknown;
    Analytics::trackEvent(QStringLiteral("SingleClick_Preview"), {{QStringLiteral("type"), rawValue(kind)}});
    const quint64 request = ++m_request;
    const QPointer<QWidget> list(&m_list);
    CategoryListPreview *const self = this;
    TaviPBManager *store = &m_manager;
    // Whole items (their stored representations) and decoded images are read off the GUI thread;
    // what arrives after the selection moved on is dropped.
    const auto whenCurrent = [list, self, request](auto show) {
        return [list, self, request, show](auto &&...args) {
            if (list && self->m_request == request)
                show(args...);
        };
    };
    switch (kind) {
    case PBDefaultCategory::text: {
        const auto show = whenCurrent([self, row](const PBItem &full) {
            if (!full.dataProvider())
                return;
            self->textContentViewController()->configure(*full.dataProvider());
            self->showInPopover(self->textContentViewController(), row);
        });
        m_model.readAsync([store, item, show] {
            const PBItem full = store->loadFullItem(item);
            MainQueue::async([show, full] { show(full); });
        });
        return;
    }
    case PBDefaultCategory::link:
        linkContentViewController()->configure(item.dataProvider() ? item.dataProvider()->representedText()
                                                                   : QString());
        showInPopover(linkContentViewController(), row);
        return;
    case PBDefaultCategory::image:
    case PBDefaultCategory::file:
    case PBDefaultCategory::note:
    case PBDefaultCategory::other: {
        if (!item.dataProvider())
            return;
        if (const auto *file = item.dataProvider()->as<PBFileItemProvider>()) {
            filePreviewViewController()->configure(file->url());
            showInPopover(filePreviewViewController(), row);
            return;
        }
        const bool other = item.dataProvider()->is<PBOtherItemProvider>();
        if (!other && !item.dataProvider()->is<PBImageItemProvider>())
            return;
        const auto show = whenCurrent([self, row, other](const PBItem &full, const QImage &image) {
            if (!image.isNull()) {
                self->imagePreviewViewController()->configure(image);
                self->showInPopover(self->imagePreviewViewController(), row);
            } else if (other && full.dataProvider()) {
                self->textContentViewController()->configure(*full.dataProvider());
                self->showInPopover(self->textContentViewController(), row);
            } else {
                LOG_INFO("showPreview(anchor:)", QStringLiteral("A copied image does not decode; no preview"));
            }
        });
        m_model.readAsync([store, item, show] {
            const PBItem full = store->loadFullItem(item);
            const QImage image =
                full.dataProvider()
                    ? ImagePreviewViewController::decodeForPreview(full.dataProvider()->accosicatedData().toByteArray())
                    : QImage();
            MainQueue::async([show, full, image] { show(full, image); });
        });
        return;
    }
    case PBDefaultCategory::all:
    case PBDefaultCategory::custom:
    case PBDefaultCategory::email:
    case PBDefaultCategory::unknown: return;
    }
}

QRect CategoryListPreview::globalRowRect(int row) const
{
    const QRect local = m_table.visualRect(m_model.index(row));
    return QRect(m_table.viewport()->mapToGlobal(local.topLeft()), local.size());
}

void CategoryListPreview::showInPopover(QWidget *content, int row)
{
    if (!m_list.isVisible())
        return;
    contentPopover()->show(content, globalRowRect(row));
}

void CategoryListPreview::close()
{
    if (m_popover && m_popover->isVisible())
        m_popover->close();
}

void CategoryListPreview::placeBesideList(QWidget *window)
{
    // A preview still being read is not shown either.
    ++m_request;
    close();
    WindowPlacement::placeBeside(window, &m_list);
}

PreviewPopover *CategoryListPreview::contentPopover()
{
    if (!m_popover)
        m_popover = new PreviewPopover;
    return m_popover;
}

TextContentViewController *CategoryListPreview::textContentViewController()
{
    if (!m_textPreview)
        m_textPreview = new TextContentViewController(contentPopover());
    return m_textPreview;
}

LinkContentViewController *CategoryListPreview::linkContentViewController()
{
    if (!m_linkPreview)
        m_linkPreview = new LinkContentViewController(contentPopover());
    return m_linkPreview;
}

FilePreviewViewController *CategoryListPreview::filePreviewViewController()
{
    if (!m_filePreview)
        m_filePreview = new FilePreviewViewController(contentPopover());
    return m_filePreview;
}

ImagePreviewViewController *CategoryListPreview::imagePreviewViewController()
{
    if (!m_imagePreview)
        m_imagePreview = new ImagePreviewViewController(contentPopover());
    return m_imagePreview;
}

bool CategoryListPreview::ownsWindow(const QWidget *candidate) const
{
    if (!candidate)
        return false;
    if (candidate == m_popover)
        return true;
    for (const QWidget *parent = candidate; parent; parent = parent->parentWidget()) {
        if (parent == m_list.window())
            return true;
    }
    return false;
}
