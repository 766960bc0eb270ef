#pragma once
// The preview of the row a history list's selection rests on, in a popover beside the row: the
// item (and a decoded image) read off the GUI thread, what arrives after the selection moved on
// dropped. Also places the list's other windows (sheets, note editors) beside the list, where the
// preview would stand. GUI thread.

#include "core/PBItem.h"

#include <QtGlobal>

class CategoryListModel;
class CategoryListTableView;
class FilePreviewViewController;
class ImagePreviewViewController;
class LinkContentViewController;
class PreviewPopover;
class QRect;
class QWidget;
class TaviPBManager;
class TextContentViewController;

class CategoryListPreview {
public:
    // `list` is the list's content, which holds the table.
    CategoryListPreview(QWidget &list, TaviPBManager &manager, CategoryListModel &model, CategoryListTableView &table);
    ~CategoryListPreview();

    // A preview still being read is not shown.
    void cancel() { ++m_request; }
    // Shows the row's preview if the selection still rests on it alone.
    void previewRow(int row);
    void close();
    void placeBesideList(QWidget *window);
    // Whether the window belongs to the list (its preview, sheets and dialogs).
    bool ownsWindow(const QWidget *window) const;

    PreviewPopover *contentPopover();
    TextContentViewController *textContentViewController();
    LinkContentViewController *linkContentViewController();
    FilePreviewViewController *filePreviewViewController();
    ImagePreviewViewController *imagePreviewViewController();
    // The row's place on the screen.
    QRect globalRowRect(int row) const;

private:
    void showPreviewFor(const PBItem &item, int row);
    void showInPopover(QWidget *content, int row);

    QWidget &m_list;
    TaviPBManager &m_manager;
    CategoryListModel &m_model;
    CategoryListTableView &m_table;
    quint64 m_request = 0;
    TextContentViewController *m_textPreview = nullptr;
    LinkContentViewController *m_linkPreview = nullptr;
    FilePreviewViewController *m_filePreview = nullptr;
    ImagePreviewViewController *m_imagePreview = nullptr;
    PreviewPopover *m_popover = nullptr;
};
