#pragma once
// F_Main: the editor's one main window. It owns the document, the settings and
// the registry access, and every command runs in one of its handlers.
#include "app/CodePane.h"
#include "app/ImagePreview.h"
#include "app/InfoBox.h"
#include "app/PictureButton.h"
#include "app/Prompts.h"
#include "app/RegistryAccess.h"
#include "document/TemplateDocument.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTreeWidget>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QMenu;
class QMimeData;

namespace kep {

class TF_Select;

class TF_Main : public QWidget, public DocumentWindow {
    Q_OBJECT
public:
    // arguments: the command line without the program; prompts: null for the
    // real message boxes and dialogs. FormCreate runs inside the constructor.
    explicit TF_Main(const QStringList& arguments = {}, std::unique_ptr<Prompts> prompts = nullptr,
                     QWidget* parent = nullptr);
    ~TF_Main() override;

    // ---- controls (positions are those of the layout) ----
    QFrame* Panel1;             // top bar 0,0 798x73
    PictureButton* B_Open;      // 16,20 121x33
    PictureButton* B_Save;      // 162,20 121x33
    QFrame* Panel2;             // client panel 0,73 798x486
    InfoBox* L_Action;           // status line 16,12 183x40
    CommandButton* B_Esporta;   // "Export File"
    CommandButton* B_Cambia;    // "Substitute File"
    CommandButton* B_Elimina;   // "Remove File"
    CommandButton* B_Inserisci; // "Add File"
    CommandButton* B_Editor;    // "Save changes"
    QFrame* StaticText1;        // sunken line
    QTreeWidget* TreeView1;
    QFrame* Panel4;             // preview panel
    ImagePreview* Image1;       // in Panel4
    DottedFrame* Shape1;        // in Panel4
    CodePane* Editor;           // in Panel4, hidden at start
    QLabel* Label4;             // "Object:"
    InfoBox* L_Oggetto;
    QLabel* Label2;             // "Size (bytes):"
    InfoBox* L_Size;
    QLabel* Label3;             // "Size (pixels):"
    InfoBox* L_Pixels;
    QCheckBox* cbStretch;       // "Stretch image"
    // The tree's context menu: "Check templates" and "Export all members...",
    // enabled while a pack or a single template opened by Open is open.
    QMenu* TreeMenu;
    QAction* MI_CheckTemplates;
    QAction* MI_ExportAll;
    QFrame* Panel3;             // bottom bar 0,559 798x40
    QLabel* Label1;             // "Original template path:"
    InfoBox* L_Filename;
    InfoBox* L_FileType;

    // The format-choice dialog, created by the program entry after this window.
    TF_Select* F_Select = nullptr;

    // ---- document and settings ----
    TemplateDocument Doc{*this};
    DocumentState& State = Doc.State;
    std::unique_ptr<RegistryAccess> Registry;
    std::string AppPath;
    std::string& AppDir = Doc.AppDir;
    std::string TmeDir;
    std::string TmeSaveDir;
    // True while the document opened from the Open dialog is a single menu template.
    bool SingleTemplateOpen = false;

    // "Software\Orvenhall\" + the application title, below HKEY_CURRENT_USER.
    static std::string SettingsKey();

    // ---- start-up and settings ----
    void FormCreate();
    void FormDestroy();
    bool DoReadKeys();
    void DoWriteKeys();
    void SavePath(const std::string& name, const std::string& value);
    // Set when start-up asked the application to quit.
    bool QuitRequested() const { return quitRequested_; }

    // ---- prompts ----
    Prompts& Ask() { return *prompts_; }

    // ---- commands (tree navigation, code editing, open and save, members) ----
    void TreeView1Click();
    void TreeView1KeyUp();
    void cbStretchClick();
    void EditorChange();
    void EditorEnter();
    void EditorExit();
    void B_EditorClick();
    void TestIfSaved();
    void B_OpenClick();
    void B_SaveClick();
    void B_EsportaClick();
    void B_CambiaClick();
    void B_EliminaClick();
    void B_InserisciClick();

    // ---- the tree's context menu ----
    void TreeView1ContextPopup(const QPoint& position);
    // Every template's code to text and back, reported in one box.
    void MI_CheckTemplatesClick();
    // Every member into a folder chosen in a folder dialog.
    void MI_ExportAllClick();
    // True while a document that the context menu's commands work on is open.
    bool DocumentOpen() const { return State.IsPack || SingleTemplateOpen; }

    // ---- the parts of Open and Add after their file dialogs ----
    // Opens path as the chosen file of Open.
    void OpenChosenFile(const QString& path);
    // Adds path as the chosen file of Add; false when it was refused with a warning.
    bool AddChosenFile(const QString& path);
    // Drops the code changes not yet written back: the code is read again.
    void DiscardCodeChanges();

    // ---- unsaved pack changes ----
    // Set by every change of the open document that only Save writes to a
    // file: a substituted, added or removed member, and saved code. The window
    // title carries an asterisk while it is set.
    bool PackChanged() const { return packChanged_; }
    // Records a change; ignored when Save cannot write the open document.
    void MarkPackChanged();
    void ClearPackChanged();
    // Before an action that would drop the open document: with unsaved pack
    // changes, asks whether to save first. Yes runs Save, No goes on, closing
    // the question cancels. True when the action may go on.
    bool SettlePackChanges();
    static QString PackChangedQuestion();
    static QString WindowTitleText(bool changed);

    // ---- files dropped on the window ----
    // On the tree of an open pack the files are added as Add does; elsewhere
    // one ".tme" file is opened as Open does. AcceptsDroppedFiles tells
    // whether the drop is taken at all; FilesDropped acts on it.
    bool AcceptsDroppedFiles(const QStringList& paths, bool onTree) const;
    void FilesDropped(const QStringList& paths, bool onTree);

    // ---- which buttons are enabled ----
    // At start only B_Open is enabled. Open, Save, Export, Substitute and Add
    // turn B_Open and B_Save off while their file dialog is shown and both on
    // again when they end (Open: Save only after a successful load). The tree
    // refresh sets the member buttons: a pack member selected, all on; another
    // entry of a pack, only Add; a single template, all off. B_Editor is on
    // while the code has changes not yet written back.
    void SetFileButtons(bool open, bool save);
    void SetMemberButtons(bool exportSubstituteRemove, bool add);

    // ---- status line: maroon for prompts and information, red for a refused version ----
    void SetActionColorMaroon();
    bool ActionIsRed() const { return actionRed_; }

    // ---- the general error handler ----
    // Runs a handler; an exception that leaves it is reported with its message,
    // its class and the command's name, and the program goes on. Returns false
    // when the handler ended by an exception.
    bool RunCommand(const char* command, const std::function<void()>& handler);
    void ReportException(const char* command);

    // ---- tree helpers (entries counted from 0 in depth-first order) ----
    int TreeCount() const;
    QTreeWidgetItem* TreeItemAt(int position) const;
    QTreeWidgetItem* TreeLastItem() const;
    QTreeWidgetItem* TreeSelected() const;
    void TreeSelect(QTreeWidgetItem* item);

    // ---- text conversions: the document's texts are Windows-1252 bytes, paths native bytes ----
    static QString FromAnsi(const std::string& text);
    static std::string ToAnsi(const QString& text);
    static QString FromPath(const std::string& path);
    static std::string ToPath(const QString& path);

    // ---- DocumentWindow ----
    void SetActionText(const std::string& text) override;
    void SetActionColorRed() override;
    void SetFileTypeText(const std::string& text) override;
    void TreeClear() override;
    TreeEntry TreeAddTop(const std::string& text) override;
    TreeEntry TreeAddChild(TreeEntry parent, const std::string& text) override;
    void TreeExpandAll(TreeEntry entry) override;
    void SetEditorText(const std::string& text) override;
    std::string EditorText() override;
    void DisableEditorSave() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Pending code changes, then unsaved pack changes, are settled before the window closes.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    void ConnectHandlers();
    void RequestQuit();
    // The local files a drag carries (empty when it carries anything else),
    // and whether position (in this window) lies on the tree.
    static QStringList DraggedFiles(const QMimeData* data);
    bool OnTree(const QPoint& position) const;
    // Takes the drag or drop at position when its files are accepted there.
    bool TakeDrag(QDropEvent* event, const QPoint& position);

    std::unique_ptr<Prompts> prompts_;
    QStringList arguments_;
    bool quitRequested_ = false;
    bool actionRed_ = false;
    bool packChanged_ = false;
};

} // namespace kep

using kep::TF_Main;
