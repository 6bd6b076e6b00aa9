#include "app/TF_Main.h"

#include "app/QtPrompts.h"
#include "app/StatusLabel.h"
#include "app/TreeLinesStyle.h"
#include "formstream/CodePage.h"

#include <QAccessible>
#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTextBlock>

// The pictures and icons live in the library's resources, which a static
// library must register itself.
static void InitEditorResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace kep {

namespace {

const QColor kMaroon(128, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kSilver(192, 192, 192);
const QColor kBoxGrey(234, 234, 234);
const QColor kPathText(80, 80, 80);
const QColor kPreviewGrey(128, 128, 128);
const QColor kButtonFace(193, 201, 206);

// "MS Sans Serif" is not on Linux: ask for it first, then DejaVu Sans.
QFont SansFont(int pixelHeight, bool bold = false)
{
    QFont font;
    font.setFamilies({"MS Sans Serif", "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

// "Lucida Console" then DejaVu Sans Mono; fontconfig alone would map it to a
// proportional font and break the code's columns.
QFont ConsoleFont(int pixelHeight)
{
    QFont font;
    font.setFamilies({"Lucida Console", "DejaVu Sans Mono"});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(pixelHeight);
    return font;
}

void SetColor(QWidget* widget, QPalette::ColorRole role, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

void SetBackground(QWidget* widget, const QColor& color)
{
    SetColor(widget, QPalette::Window, color);
    widget->setAutoFillBackground(true);
}

// A label sized to its text like an auto-sizing label: it keeps its left edge,
// or its right edge when right-aligned, and is never narrower than the layout's.
QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top, int width, int height,
                  bool rightAligned = false)
{
    auto* label = new QLabel(text, parent);
    int needed = label->fontMetrics().horizontalAdvance(text) + 1;
    int w = std::max(width, needed);
    int x = rightAligned ? left + width - w : left;
    label->setGeometry(x, top, w, height);
    label->setAlignment((rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return label;
}

// The boxes for the selected object's name and sizes.
InfoBox* MakeBox(QWidget* parent, const QString& role, int left, int top, int width, int height)
{
    auto* box = new InfoBox(parent);
    box->setGeometry(left, top, width, height);
    box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    box->setLineWidth(1);
    box->setAlignment(Qt::AlignCenter);
    box->setFont(SansFont(11));
    SetColor(box, QPalette::WindowText, kMaroon);
    box->setAccessibleName(role);
    return box;
}

CommandButton* MakeCommandButton(QWidget* parent, const QString& caption, const QString& icon, int left)
{
    auto* button = new CommandButton(caption, icon, parent);
    button->setGeometry(left, 12, 114, 40);
    SetColor(button, QPalette::Button, kButtonFace);
    button->setAccessibleName(caption);
    button->setEnabled(false);
    return button;
}

} // namespace

TF_Main::TF_Main(const QStringList& arguments, std::unique_ptr<Prompts> prompts, QWidget* parent)
    : QWidget(parent), prompts_(std::move(prompts)), arguments_(arguments)
{
    InitEditorResources();
    InstallInfoBoxAccessibility();
    if (!prompts_)
        prompts_ = std::make_unique<QtPrompts>(this);
    CreateControls();
    ConnectHandlers();
    RunCommand("FormCreate", [this] { FormCreate(); });
}

TF_Main::~TF_Main()
{
    // The controls outlive this part of the window: no handler may run on it
    // while QWidget deletes them.
    Editor->removeEventFilter(this);
    Editor->viewport()->removeEventFilter(this);
    TreeView1->removeEventFilter(this);
    TreeView1->viewport()->removeEventFilter(this);
    for (QObject* control : findChildren<QObject*>())
        QObject::disconnect(control, nullptr, this, nullptr);
    FormDestroy();
}

void TF_Main::CreateControls()
{
    setObjectName("F_Main");
    setWindowTitle(QStringLiteral("Kep Template Editor"));
    setWindowIcon(QIcon(":/icons/marqetto.svg"));
    // A fixed client area with a minimize box but no maximize box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(798, 599);
    setFont(SansFont(11));
    setAccessibleName(windowTitle());

    // Top bar.
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(0, 0, 798, 73);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    B_Open = new PictureButton(":/pictures/open-up.svg", ":/pictures/open-down.svg",
                               ":/pictures/open-disabled.svg", Panel1);
    B_Open->setGeometry(16, 20, 121, 33);
    B_Open->setAccessibleName("Open");
    B_Save = new PictureButton(":/pictures/save-up.svg", ":/pictures/save-down.svg",
                               ":/pictures/save-disabled.svg", Panel1);
    B_Save->setGeometry(162, 20, 121, 33);
    B_Save->setAccessibleName("Save");
    B_Save->setEnabled(false);

    // Client panel.
    Panel2 = new QFrame(this);
    Panel2->setObjectName("Panel2");
    Panel2->setGeometry(0, 73, 798, 486);
    L_Action = new StatusLabel(Panel2);
    L_Action->setGeometry(16, 12, 183, 40);
    L_Action->setFont(SansFont(12, true));
    SetBackground(L_Action, kBoxGrey);
    SetColor(L_Action, QPalette::WindowText, kMaroon);
    L_Action->setAccessibleName("Status");
    L_Action->setText("Please, open file...");

    B_Esporta = MakeCommandButton(Panel2, "Export File", ":/icons/export.svg", 205);
    B_Cambia = MakeCommandButton(Panel2, "Substitute File", ":/icons/substitute.svg", 321);
    B_Elimina = MakeCommandButton(Panel2, "Remove File", ":/icons/remove.svg", 437);
    B_Inserisci = MakeCommandButton(Panel2, "Add File", ":/icons/add.svg", 553);
    B_Editor = MakeCommandButton(Panel2, "Save changes", ":/icons/savechanges.svg", 669);

    StaticText1 = new QFrame(Panel2);
    StaticText1->setGeometry(15, 59, 768, 2);
    StaticText1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    StaticText1->setLineWidth(1);

    TreeView1 = new QTreeWidget(Panel2);
    TreeView1->setGeometry(15, 68, 185, 385);
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setIndentation(19);
    TreeView1->setRootIsDecorated(true);
    auto* treeStyle = new TreeLinesStyle();
    treeStyle->setParent(TreeView1);
    TreeView1->setStyle(treeStyle);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    TreeView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    TreeView1->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    TreeView1->header()->setStretchLastSection(false);
    TreeView1->viewport()->setCursor(Qt::PointingHandCursor);
    TreeView1->setAccessibleName("Template contents");
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeMenu = new QMenu(TreeView1);
    MI_CheckTemplates = TreeMenu->addAction(QStringLiteral("Check templates"));
    MI_ExportAll = TreeMenu->addAction(QStringLiteral("Export all members..."));
    MI_CheckTemplates->setEnabled(false);
    MI_ExportAll->setEnabled(false);
    {
        // The selected entry is highlighted only while the tree has the focus.
        QPalette palette = TreeView1->palette();
        palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Base));
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         palette.color(QPalette::Active, QPalette::Text));
        TreeView1->setPalette(palette);
    }

    Panel4 = new QFrame(Panel2);
    Panel4->setGeometry(204, 68, 579, 386);
    Panel4->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel4->setLineWidth(2);
    SetBackground(Panel4, kPreviewGrey);

    Shape1 = new DottedFrame(Panel4);
    Shape1->setGeometry(39, 5, 499, 374);
    Image1 = new ImagePreview(Panel4);
    Image1->setGeometry(40, 6, 497, 372);
    Image1->setAccessibleName("Image preview");

    Editor = new CodePane(Panel4);
    Editor->setGeometry(2, 2, 573, 380);
    Editor->setFont(ConsoleFont(11));
    Editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    Editor->setWordWrapMode(QTextOption::NoWrap);
    Editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Editor->setFrameStyle(QFrame::Box | QFrame::Plain);
    Editor->setLineWidth(1);
    SetColor(Editor, QPalette::Base, kSilver);
    SetColor(Editor, QPalette::Text, palette().color(QPalette::WindowText));
    Editor->setAccessibleName("Template code");
    Editor->hide();

    Label4 = MakeLabel(Panel2, "Object:", 16, 464, 34, 13);
    L_Oggetto = MakeBox(Panel2, "Object", 64, 463, 209, 15);
    Label2 = MakeLabel(Panel2, "Size (bytes):", 296, 464, 57, 13);
    L_Size = MakeBox(Panel2, "Size (bytes)", 392, 463, 81, 15);
    Label3 = MakeLabel(Panel2, "Size (pixels):", 488, 464, 58, 13);
    L_Pixels = MakeBox(Panel2, "Size (pixels)", 584, 463, 81, 15);
    cbStretch = new QCheckBox("Stretch image", Panel2);
    cbStretch->setGeometry(680, 462, 105, 17);
    cbStretch->setAccessibleName("Stretch image");

    // Bottom bar.
    Panel3 = new QFrame(this);
    Panel3->setObjectName("Panel3");
    Panel3->setGeometry(0, 559, 798, 40);
    Panel3->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel3->setLineWidth(1);
    Label1 = MakeLabel(Panel3, "Original template path:", 40, 15, 105, 13, true);
    L_Filename = new InfoBox(Panel3);
    L_Filename->setGeometry(160, 12, 529, 18);
    L_Filename->setFrameStyle(QFrame::Box | QFrame::Plain);
    L_Filename->setLineWidth(1);
    L_Filename->setFont(SansFont(11));
    SetBackground(L_Filename, kBoxGrey);
    SetColor(L_Filename, QPalette::WindowText, kPathText);
    L_Filename->setAccessibleName("Original template path");
    L_FileType = new InfoBox(Panel3);
    L_FileType->setGeometry(696, 15, 97, 18);
    L_FileType->setFont(SansFont(11, true));
    L_FileType->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    L_FileType->setAccessibleName("File type");

    // Files dropped anywhere on the window reach the window's drop handlers.
    setAcceptDrops(true);

    // Centred on the desktop.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TF_Main::ConnectHandlers()
{
    auto command = [this](const char* name, void (TF_Main::*handler)()) {
        return [this, name, handler] { RunCommand(name, [this, handler] { (this->*handler)(); }); };
    };
    connect(B_Open, &QPushButton::clicked, this, command("B_OpenClick", &TF_Main::B_OpenClick));
    connect(B_Save, &QPushButton::clicked, this, command("B_SaveClick", &TF_Main::B_SaveClick));
    connect(B_Esporta, &QPushButton::clicked, this, command("B_EsportaClick", &TF_Main::B_EsportaClick));
    connect(B_Cambia, &QPushButton::clicked, this, command("B_CambiaClick", &TF_Main::B_CambiaClick));
    connect(B_Elimina, &QPushButton::clicked, this, command("B_EliminaClick", &TF_Main::B_EliminaClick));
    connect(B_Inserisci, &QPushButton::clicked, this, command("B_InserisciClick", &TF_Main::B_InserisciClick));
    connect(B_Editor, &QPushButton::clicked, this, command("B_EditorClick", &TF_Main::B_EditorClick));
    connect(cbStretch, &QCheckBox::toggled, this, command("cbStretchClick", &TF_Main::cbStretchClick));
    connect(Editor, &QPlainTextEdit::textChanged, this, command("EditorChange", &TF_Main::EditorChange));
    connect(MI_CheckTemplates, &QAction::triggered, this,
            command("MI_CheckTemplatesClick", &TF_Main::MI_CheckTemplatesClick));
    connect(MI_ExportAll, &QAction::triggered, this, command("MI_ExportAllClick", &TF_Main::MI_ExportAllClick));
    connect(TreeView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        RunCommand("TreeView1ContextPopup", [this, position] { TreeView1ContextPopup(position); });
    });
    Editor->installEventFilter(this);
    Editor->viewport()->installEventFilter(this);
    TreeView1->installEventFilter(this);
    TreeView1->viewport()->installEventFilter(this);
}

bool TF_Main::eventFilter(QObject* watched, QEvent* event)
{
    // Files dragged over the code editor are the window's, not text to insert.
    if (watched == Editor->viewport()
        && (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove
            || event->type() == QEvent::Drop)) {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!DraggedFiles(drop->mimeData()).isEmpty()) {
            const QPoint position = Editor->viewport()->mapTo(this, drop->position().toPoint());
            QDropEvent moved(position, drop->possibleActions(), drop->mimeData(), drop->buttons(),
                             drop->modifiers(), event->type());
            if (event->type() == QEvent::Drop)
                dropEvent(&moved);
            else
                TakeDrag(&moved, position);
            drop->setDropAction(moved.dropAction());
            drop->setAccepted(moved.isAccepted());
            return true;
        }
    }
    // The right button opens the context menu without selecting another entry:
    // the selection changes only by the clicks that the tree's handler sees.
    if (watched == TreeView1->viewport()
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
        && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
        return true;
    if (watched == TreeView1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            RunCommand("TreeView1Click", [this] { TreeView1Click(); });
    } else if (watched == TreeView1 && event->type() == QEvent::KeyRelease) {
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat())
            RunCommand("TreeView1KeyUp", [this] { TreeView1KeyUp(); });
    } else if (watched == Editor && event->type() == QEvent::FocusIn) {
        RunCommand("EditorEnter", [this] { EditorEnter(); });
    } else if (watched == Editor && event->type() == QEvent::FocusOut) {
        RunCommand("EditorExit", [this] { EditorExit(); });
    }
    return QWidget::eventFilter(watched, event);
}

void TF_Main::RequestQuit()
{
    // The entry ends the program instead of running its event loop.
    quitRequested_ = true;
    QCoreApplication::quit();
}

// ---- buttons and status line ----

void TF_Main::SetFileButtons(bool open, bool save)
{
    B_Open->setEnabled(open);
    B_Save->setEnabled(save);
}

void TF_Main::SetMemberButtons(bool exportSubstituteRemove, bool add)
{
    B_Esporta->setEnabled(exportSubstituteRemove);
    B_Cambia->setEnabled(exportSubstituteRemove);
    B_Elimina->setEnabled(exportSubstituteRemove);
    B_Inserisci->setEnabled(add);
}

void TF_Main::SetActionColorMaroon()
{
    actionRed_ = false;
    SetColor(L_Action, QPalette::WindowText, kMaroon);
}

void TF_Main::SetActionColorRed()
{
    actionRed_ = true;
    SetColor(L_Action, QPalette::WindowText, kRed);
}

void TF_Main::SetActionText(const std::string& text)
{
    L_Action->setText(FromAnsi(text));
}

void TF_Main::SetFileTypeText(const std::string& text)
{
    L_FileType->setText(FromAnsi(text));
}

// ---- tree ----

void TF_Main::TreeClear()
{
    TreeView1->clear();
}

TreeEntry TF_Main::TreeAddTop(const std::string& text)
{
    auto* item = new QTreeWidgetItem(QStringList{FromAnsi(text)});
    TreeView1->addTopLevelItem(item);
    return item;
}

TreeEntry TF_Main::TreeAddChild(TreeEntry parent, const std::string& text)
{
    if (!parent)
        return TreeAddTop(text);
    auto* item = new QTreeWidgetItem(static_cast<QTreeWidgetItem*>(parent), QStringList{FromAnsi(text)});
    return item;
}

void TF_Main::TreeExpandAll(TreeEntry entry)
{
    if (!entry) {
        TreeView1->expandAll();
        return;
    }
    auto* item = static_cast<QTreeWidgetItem*>(entry);
    item->setExpanded(true);
    for (int i = 0; i < item->childCount(); ++i)
        TreeExpandAll(item->child(i));
}

int TF_Main::TreeCount() const
{
    int count = 0;
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it)
        ++count;
    return count;
}

QTreeWidgetItem* TF_Main::TreeItemAt(int position) const
{
    if (position < 0)
        return nullptr;
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it)
        if (position-- == 0)
            return *it;
    return nullptr;
}

QTreeWidgetItem* TF_Main::TreeLastItem() const
{
    QTreeWidgetItem* last = nullptr;
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it)
        last = *it;
    return last;
}

QTreeWidgetItem* TF_Main::TreeSelected() const
{
    return TreeView1->currentItem();
}

void TF_Main::TreeSelect(QTreeWidgetItem* item)
{
    TreeView1->setCurrentItem(item);
}

// ---- editor ----

void TF_Main::SetEditorText(const std::string& text)
{
    QString value = FromAnsi(text);
    value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // Replacing the text with an identical one is no change.
    QString current = Editor->document()->toRawText();
    current.replace(QChar::ParagraphSeparator, '\n');
    if (value == current)
        return;
    Editor->setPlainText(value);
}

std::string TF_Main::EditorText()
{
    // toRawText keeps no-break spaces, which toPlainText turns into blanks.
    QString text = Editor->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, '\n');
    text.replace(QChar::LineSeparator, '\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    bool lossy = false;
    std::string bytes = WideToAnsi(text.toStdU16String(), &lossy);
    if (lossy) {
        int line = 1;
        for (qsizetype i = 0; i < text.size(); ++i) {
            char32_t c = text.at(i).unicode();
            if (text.at(i).isHighSurrogate() && i + 1 < text.size())
                c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            lossy = false;
            WideToAnsi(QString::fromUcs4(&c, 1).toStdU16String(), &lossy);
            if (lossy) {
                throw EConvertError("Character U+" + QString::number(c, 16).toUpper().rightJustified(4, '0').toStdString()
                                    + " (" + QString::fromUcs4(&c, 1).toStdString() + ") on line "
                                    + std::to_string(line) + " cannot be stored in the Windows-1252 code page");
            }
            if (text.at(i) == '\n')
                ++line;
            if (c > 0xFFFF)
                ++i;
        }
    }
    return bytes;
}

void TF_Main::DisableEditorSave()
{
    B_Editor->setEnabled(false);
}

// ---- text conversions ----

QString TF_Main::FromAnsi(const std::string& text)
{
    return QString::fromStdU16String(AnsiToWide(text));
}

std::string TF_Main::ToAnsi(const QString& text)
{
    return WideToAnsi(text.toStdU16String());
}

QString TF_Main::FromPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string TF_Main::ToPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace kep
