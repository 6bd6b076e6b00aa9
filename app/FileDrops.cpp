// Files dropped on the window: one ".tme" file is opened as Open opens its
// chosen file; files dropped on the tree of an open pack are added as Add
// adds its chosen file, with the same checks and warnings.
#include "app/CommandSupport.h"
#include "document/PathParts.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace kep {

bool TF_Main::AcceptsDroppedFiles(const QStringList& paths, bool onTree) const {
    if (paths.isEmpty()) return false;
    // On the tree of an open pack every file is taken; Add's checks refuse
    // the ones it cannot add.
    if (onTree && State.IsPack) return true;
    // Only one file can be opened, and Open is the only command taking it.
    return paths.size() == 1 && ExtractFileExt(ToPath(paths.front())) == ".tme" && B_Open->isEnabled();
}

void TF_Main::FilesDropped(const QStringList& paths, bool onTree) {
    if (!AcceptsDroppedFiles(paths, onTree)) return;
    if (onTree && State.IsPack) {
        TestIfSaved();
        bool added = false;
        for (const QString& path : paths)
            added = AddChosenFile(path) || added;
        if (added) {
            TreeSelect(TreeLastItem());
            TreeView1Click();
        }
        TreeView1->setFocus();
        return;
    }
    TestIfSaved();
    if (!SettlePackChanges()) return;
    SetActionColorMaroon();
    SetFileButtons(false, false);
    OnExit enableOpen([this] { B_Open->setEnabled(true); });
    OpenChosenFile(paths.front());
}

QStringList TF_Main::DraggedFiles(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        paths << url.toLocalFile();
    }
    return paths;
}

bool TF_Main::OnTree(const QPoint& position) const {
    return TreeView1->rect().contains(TreeView1->mapFrom(this, position));
}

bool TF_Main::TakeDrag(QDropEvent* event, const QPoint& position) {
    if (!AcceptsDroppedFiles(DraggedFiles(event->mimeData()), OnTree(position))) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void TF_Main::dragEnterEvent(QDragEnterEvent* event) {
    TakeDrag(event, event->position().toPoint());
}

void TF_Main::dragMoveEvent(QDragMoveEvent* event) {
    TakeDrag(event, event->position().toPoint());
}

void TF_Main::dropEvent(QDropEvent* event) {
    const QPoint position = event->position().toPoint();
    if (!TakeDrag(event, position)) return;
    const QStringList paths = DraggedFiles(event->mimeData());
    const bool onTree = OnTree(position);
    RunCommand(onTree ? "TreeView1DragDrop" : "FormDragDrop", [&] { FilesDropped(paths, onTree); });
}

} // namespace kep
