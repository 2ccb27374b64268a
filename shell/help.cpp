#include "shell/help.h"

#include <string>

#include "fw/runtime/loop.h"
#include "fw/runtime/text.h"
#include "fw/system/date.h"
#include "fw/ui/graphics.h"
#include "fw/ui/picture.h"
#include "fw/ui/printing.h"
#include "shell/help_text.h"
#include "shell/menu_bars.h"
#include "shell/window_tables.h"

namespace {

const fw::Color kBlack = fw::Color::FromHex(0x00000000);
const fw::Color kWhite = fw::Color::FromHex(0x00FFFFFF);

const fw::PropertyList kWindowLayout = {
    {"Width", 350},
    {"Height", 348},
    {"MinWidth", 64},
    {"MinHeight", 64},
    {"MaxWidth", 32000},
    {"MaxHeight", 32000},
    {"Frame", 0},
    {"Title", "Ostrel 4 Help"},
    {"CloseButton", true},
    {"Resizeable", false},
    {"MaximizeButton", false},
    {"MinimizeButton", false},
    {"FullScreenButton", false},
    {"Composite", false},
    {"LiveResize", false},
    {"FullScreen", false},
    {"MacProcID", 0},
    {"Placement", 0},
    {"Visible", true},
    {"MenuBarVisible", true},
    {"HasBackColor", false},
    {"BackColor", kWhite},
};

fw::PropertyList TextAreaLayout() {
    return {
        {"Left", 20},
        {"Top", 19},
        {"Width", 310},
        {"Height", 309},
        {"LockLeft", false},
        {"LockTop", false},
        {"LockRight", false},
        {"LockBottom", false},
        {"TabPanelIndex", 0},
        {"TabIndex", 0},
        {"TabStop", true},
        {"Border", true},
        {"Multiline", true},
        {"ScrollbarVertical", true},
        {"ScrollbarHorizontal", false},
        {"Styled", false},
        {"ReadOnly", true},
        {"UseFocusRing", true},
        {"HideSelection", true},
        {"AutoDeactivate", true},
        {"Enabled", true},
        {"Visible", true},
        {"AutomaticallyCheckSpelling", true},
        {"AcceptTabs", false},
        {"TextFont", "System"},
        {"TextSize", 0},
        {"TextUnit", 0},
        {"Bold", false},
        {"Italic", false},
        {"Underline", false},
        {"TextColor", kBlack},
        {"BackColor", kWhite},
        {"LineHeight", 0.0},
        {"LineSpacing", 1.0},
        {"Alignment", 0},
        {"LimitText", 0},
        {"Format", ""},
        {"Mask", ""},
        {"HelpTag", ""},
        {"DataSource", ""},
        {"DataField", ""},
        {"InitialParent", ""},
        {"Text", fw::String(std::string(kHelpText))},
    };
}

// The page as the printer graphics measure it, in points; the text column and
// block keep a 24-point margin on each side inside it, and the footer sits on
// the page's bottom edge.
constexpr int32_t kPageWidth = 540;
constexpr int32_t kPageHeight = 720;
constexpr int32_t kTextLeft = 36;
constexpr int32_t kTextTop = 36;
constexpr int32_t kTextWidth = kPageWidth - 48;
constexpr int32_t kBlockHeight = kPageHeight - 48;
constexpr int32_t kPageLabelLeft = 40;
constexpr int32_t kStampLeft = 100;
constexpr int32_t kFooterBaseline = kPageHeight;

// Back to the text's style after a footer.
void SetTextStyle(fw::Graphics& g) {
    g.SetTextFont("Courier");
    g.SetBold(true);
}

void DrawFooter(fw::Graphics& g, int32_t page, const fw::String& stamp) {
    g.SetTextFont("Arial");
    g.SetBold(false);
    g.DrawString(fw::RuntimeAddString("page ", fw::StringStrInt32(page)), kPageLabelLeft,
                 kFooterBaseline, 0, false);
    g.DrawString(stamp, kStampLeft, kFooterBaseline, 0, false);
}

}  // namespace

const fw::ClassInfo& Help::ClassInfo() {
    return fw::RegisteredClassInfo<Help>("Help.Help", &fw::Window::ClassInfo());
}

fw::Ref<Help> Help::ImplicitInstance() {
    return shell::ImplicitWindowInstance<Help>("Help.Help");
}

Help::Help() {
    HookEvent(fw::WindowEvent::kLayout, this, &Help::Layout);
    HookEvent(fw::WindowEvent::kCreateControls, this, &Help::CreateControls);
    HookEvent(fw::WindowEvent::kAddMenuHandlers, this, &Help::AddMenuHandlers);
}

void Help::Layout() {
    SetMenuBar(MenuBar2::ImplicitInstance());
    fw::RuntimeMassPropertySetter(*this, kWindowLayout);
}

void Help::CreateControls() {
    CreateControls0();
}

void Help::CreateControls0() {
    fw::Ref<fw::Object> control = New(fw::TextArea::ClassInfo());
    control->Constructor();
    AddControl("TextArea1", fw::RuntimeCheckCast<fw::Control>(control));
    fw::RuntimeMassPropertySetter(ControlByName("TextArea1"), TextAreaLayout());
}

fw::Ref<fw::TextArea> Help::TextArea1() {
    return fw::RuntimeCheckCast<fw::TextArea>(ControlByName("TextArea1"));
}

template <class T>
fw::Ref<T> Help::MenuItemNamed(const char* name) {
    return fw::RuntimeCheckCast<T>(MenuBar()->Lookup(name));
}

fw::Ref<fw::MenuItem> Help::EditMenu() {
    return MenuItemNamed<fw::MenuItem>("EditMenu");
}
fw::Ref<fw::MenuItem> Help::EditSelectAll() {
    return MenuItemNamed<fw::MenuItem>("EditSelectAll");
}
fw::Ref<fw::MenuItem> Help::EditSeparator2() {
    return MenuItemNamed<fw::MenuItem>("EditSeparator2");
}
fw::Ref<fw::MenuItem> Help::EditClear() {
    return MenuItemNamed<fw::MenuItem>("EditClear");
}
fw::Ref<fw::MenuItem> Help::EditPaste() {
    return MenuItemNamed<fw::MenuItem>("EditPaste");
}
fw::Ref<fw::MenuItem> Help::EditCopy() {
    return MenuItemNamed<fw::MenuItem>("EditCopy");
}
fw::Ref<fw::MenuItem> Help::EditCut() {
    return MenuItemNamed<fw::MenuItem>("EditCut");
}
fw::Ref<fw::MenuItem> Help::EditSeparator1() {
    return MenuItemNamed<fw::MenuItem>("EditSeparator1");
}
fw::Ref<fw::MenuItem> Help::EditUndo() {
    return MenuItemNamed<fw::MenuItem>("EditUndo");
}
fw::Ref<fw::MenuItem> Help::FileMenu() {
    return MenuItemNamed<fw::MenuItem>("FileMenu");
}
fw::Ref<fw::QuitMenuItem> Help::FileQuit() {
    return MenuItemNamed<fw::QuitMenuItem>("FileQuit");
}
fw::Ref<fw::MenuItem> Help::FilePrintHelp() {
    return MenuItemNamed<fw::MenuItem>("FilePrintHelp");
}

void Help::AddMenuHandlers() {
    AddMenuHandler("FilePrintHelp", fw::RuntimeCreateDelegate(this, &Help::FilePrintHelp_Action));
}

bool Help::FilePrintHelp_Action() {
    // Printing closes this very window; the reference keeps the object alive
    // until its own handler has returned.
    fw::Ref<Help> self(this);
    return PrintHelp();
}

bool PrintHelp() {
    // Taken before the dialog, so that every page shows when the command was
    // chosen, however long the user lingers in the dialog.
    fw::Ref<fw::Date> now = fw::New<fw::Date>();
    const fw::String stamp =
        fw::RuntimeAddString(fw::RuntimeAddString(now->ShortTime(), ", "), now->ShortDate());

    // The print job is sent when the last holders of the printer graphics,
    // `g` and the text printer, go at the end of this function.
    fw::Ref<fw::Graphics> g = fw::OpenPrinterDialog();
    fw::Ref<Help> help;
    fw::Ref<fw::StyledTextPrinter> printer;
    if (g) {
        g->SetTextFont("Courier");
        g->SetTextSize(10);
        g->SetForeColor(kBlack);
        g->SetBold(true);

        help = Help::ImplicitInstance();
        printer = help->TextArea1()->StyledTextPrinter(g, kTextWidth);

        int32_t page = 1;
        while (!printer->Eof()) {
            printer->DrawBlock(kTextLeft, kTextTop, kBlockHeight);
            if (!printer->Eof()) {
                DrawFooter(*g, page, stamp);
                SetTextStyle(*g);
                ++page;
                g->NextPage();
            }
            fw::RuntimeBackgroundTask();
        }
        // The last page, or the only one of an empty text, gets its footer too.
        DrawFooter(*g, page, stamp);
    }

    Help::ImplicitInstance()->Close();
    return true;
}
