// List and tree view benchmark: the library's list and tree view beside the
// platform's list view (report mode) and tree view, in one run, each in a
// 600 x 400 window.
//
//   List: 10,000 text rows x 3 columns built (the platform's with redraw off),
//   the first layout and paint, a scroll to the end and its paint, and row
//   5,000 selected, made visible and painted.
//   Tree: 100 roots x 99 children (10,000 nodes) built collapsed and painted,
//   then every root expanded and the tree painted.
//
// Each round (default 5) builds all four in fresh windows; the figures are the
// medians of the rounds, so that a busy machine disturbs one round rather than
// the ratio. Prints each time and the control/platform ratio and ends with one
// ratio line per step; a layout that measures every row on every pass, or a
// paint that visits every row, shows as a ratio far above 1. Needs a display
// (run it through scripts/bench list). Usage: uilib_list_bench [ROWS [ROUNDS]]
#include "ListItemUI.h"
#include "ListUI.h"
#include "TreeViewUI.h"
#include "WindowImplBase.h"
#include "BenchSupport.h"

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

using benchui::medianOf;
using benchui::pump;
using benchui::secondsOf;
using benchui::StepFigures;

void paint(HWND window)
{
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

constexpr int kWidth = 600, kHeight = 400;
constexpr int kRoots = 100;

std::wstring cell(int row, int column)
{
    wchar_t text[40];
    if (column == 0)
        swprintf(text, 40, L"Row %05d", row);
    else if (column == 1)
        swprintf(text, 40, L"%d KB", row * 7 % 1000);
    else
        swprintf(text, 40, L"state %d", row % 13);
    return text;
}

class BenchFrame : public WindowImplBase {
public:
    explicit BenchFrame(const wchar_t* skin) : m_skin(skin) {}
    bool ready = false;
    CControlUI* control(const wchar_t* name) { return m_PaintManager.FindControlByName(name); }

    // Opens the window and waits for its first layout; false when it fails.
    bool open()
    {
        if (!CreateNativeWindow(nullptr, L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 0, kWidth, kHeight)) return false;
        for (int i = 0; i < 200 && !ready; ++i) {
            pump();
            Sleep(5);
        }
        return ready;
    }

protected:
    const wchar_t* GetWindowClassName() const override { return L"SkinUIListBench"; }
    CUIString GetSkinFolder() override { return CUIString(); }
    CUIString GetSkinFile() override { return CUIString(m_skin); }
    void OnNotify(TNotifyMsgUI& msg) override
    {
        if (msg.sType == L"windowinit") ready = true;
        WindowImplBase::OnNotify(msg);
    }

private:
    const wchar_t* m_skin;
};

struct ListTimes {
    double build = 0, paint = 0, end = 0, select = 0;
};

struct TreeTimes {
    double build = 0, expand = 0;
};

ListTimes benchListControl(int rows)
{
    ListTimes times;
    BenchFrame frame(L"<Window size=\"600,400\"><VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\">"
                     L"<List name=\"list\" vscrollbar=\"true\" itemaltbk=\"true\" itembkcolor=\"#FFF2F5F8\">"
                     L"<ListHeader height=\"22\"><ListHeaderItem text=\"Name\" width=\"200\"/>"
                     L"<ListHeaderItem text=\"Size\" width=\"150\"/><ListHeaderItem text=\"State\" width=\"200\"/>"
                     L"</ListHeader></List></VerticalLayout></Window>");
    if (!frame.open()) return times;
    HWND window = frame.GetWindowHandle();
    auto* list = static_cast<CListUI*>(frame.control(L"list"));
    times.build = secondsOf([&] {
        for (int i = 0; i < rows; ++i) {
            auto* row = new CListTextElementUI;
            list->Add(row);
            for (int c = 0; c < 3; ++c) row->SetText(c, cell(i, c).c_str());
        }
    });
    times.paint = secondsOf([&] { paint(window); });
    times.end = secondsOf([&] {
        list->EndDown();
        paint(window);
    });
    times.select = secondsOf([&] {
        list->SelectItem(rows / 2);
        paint(window);
    });
    if (list->GetCurSel() != rows / 2) fwprintf(stderr, L"the list did not select row %d\n", rows / 2);
    DestroyWindow(window);
    pump();
    return times;
}

HWND platformWindow(const wchar_t* className, DWORD style)
{
    HWND window = CreateWindowExW(0, className, nullptr, WS_POPUP | WS_VISIBLE | style, 0, 0, kWidth, kHeight, nullptr,
        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) fwprintf(stderr, L"no platform %ls window\n", className);
    pump();
    return window;
}

ListTimes benchListPlatform(int rows)
{
    ListTimes times;
    HWND window = platformWindow(WC_LISTVIEWW, LVS_REPORT | LVS_SHOWSELALWAYS);
    if (!window) return times;
    const wchar_t* titles[] = {L"Name", L"Size", L"State"};
    int widths[] = {200, 150, 200};
    for (int c = 0; c < 3; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(titles[c]);
        column.cx = widths[c];
        SendMessageW(window, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    times.build = secondsOf([&] {
        SendMessageW(window, WM_SETREDRAW, FALSE, 0);
        for (int i = 0; i < rows; ++i) {
            std::wstring texts[3] = {cell(i, 0), cell(i, 1), cell(i, 2)};
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = texts[0].data();
            SendMessageW(window, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            for (int c = 1; c < 3; ++c) {
                item.iSubItem = c;
                item.pszText = texts[c].data();
                SendMessageW(window, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
            }
        }
        SendMessageW(window, WM_SETREDRAW, TRUE, 0);
    });
    times.paint = secondsOf([&] { paint(window); });
    times.end = secondsOf([&] {
        SendMessageW(window, LVM_ENSUREVISIBLE, rows - 1, FALSE);
        paint(window);
    });
    times.select = secondsOf([&] {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(window, LVM_SETITEMSTATE, rows / 2, reinterpret_cast<LPARAM>(&state));
        SendMessageW(window, LVM_ENSUREVISIBLE, rows / 2, FALSE);
        paint(window);
    });
    DestroyWindow(window);
    pump();
    return times;
}

TreeTimes benchTreeControl(int children)
{
    TreeTimes times;
    BenchFrame frame(L"<Window size=\"600,400\"><VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\">"
                     L"<TreeView name=\"tree\" vscrollbar=\"true\"/></VerticalLayout></Window>");
    if (!frame.open()) return times;
    HWND window = frame.GetWindowHandle();
    auto* view = static_cast<CTreeViewUI*>(frame.control(L"tree"));
    std::vector<CTreeNodeUI*> roots;
    times.build = secondsOf([&] {
        for (int r = 0; r < kRoots; ++r) {
            auto* root = new CTreeNodeUI;
            root->GetItemButton()->SetText((L"Root " + std::to_wstring(r)).c_str());
            for (int c = 0; c < children; ++c) {
                auto* child = new CTreeNodeUI;
                child->GetItemButton()->SetText((L"Node " + std::to_wstring(c)).c_str());
                root->AddChildNode(child);
            }
            view->AddNode(root);
            root->Expand(false);
            roots.push_back(root);
        }
        paint(window);
    });
    times.expand = secondsOf([&] {
        for (CTreeNodeUI* root : roots) root->Expand(true);
        paint(window);
    });
    DestroyWindow(window);
    pump();
    return times;
}

TreeTimes benchTreePlatform(int children)
{
    TreeTimes times;
    HWND window = platformWindow(WC_TREEVIEWW, TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT);
    if (!window) return times;
    std::vector<HTREEITEM> roots;
    times.build = secondsOf([&] {
        for (int r = 0; r < kRoots; ++r) {
            std::wstring text = L"Root " + std::to_wstring(r);
            TVINSERTSTRUCTW insert{};
            insert.hParent = TVI_ROOT;
            insert.hInsertAfter = TVI_LAST;
            insert.item.mask = TVIF_TEXT;
            insert.item.pszText = text.data();
            auto root = reinterpret_cast<HTREEITEM>(
                SendMessageW(window, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
            for (int c = 0; c < children; ++c) {
                std::wstring child = L"Node " + std::to_wstring(c);
                insert.hParent = root;
                insert.item.pszText = child.data();
                SendMessageW(window, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
            }
            roots.push_back(root);
        }
        paint(window);
    });
    times.expand = secondsOf([&] {
        for (HTREEITEM root : roots) SendMessageW(window, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
        paint(window);
    });
    DestroyWindow(window);
    pump();
    return times;
}

int run(int argc, wchar_t** argv)
{
    int rows = argc > 1 ? _wtoi(argv[1]) : 10000;
    int rounds = argc > 2 ? _wtoi(argv[2]) : 5;
    if (rows < 2 || rounds < 1) {
        fwprintf(stderr, L"usage: uilib_list_bench [ROWS [ROUNDS]]\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    CWindowManagerUI::SetModuleInstance(GetModuleHandleW(nullptr));
    int children = rows / kRoots - 1;
    std::vector<ListTimes> lists, listViews;
    std::vector<TreeTimes> trees, treeViews;
    for (int r = 0; r < rounds; ++r) {
        lists.push_back(benchListControl(rows));
        listViews.push_back(benchListPlatform(rows));
        trees.push_back(benchTreeControl(children));
        treeViews.push_back(benchTreePlatform(children));
        if (lists.back().build == 0 || listViews.back().build == 0 || trees.back().build == 0 ||
            treeViews.back().build == 0)
            return 1;
    }
    wchar_t built[64], expanded[64];
    swprintf(built, 64, L"UI list: %d text rows built", rows);
    swprintf(expanded, 64, L"UI tree: %d roots expanded", kRoots);
    const wchar_t* listView = L"platform list view";
    const wchar_t* treeView = L"platform tree view";
    const StepFigures steps[] = {
        {L"list: rows built", medianOf(lists, &ListTimes::build), medianOf(listViews, &ListTimes::build), L"list-build",
            built, listView},
        {L"list: first layout and paint", medianOf(lists, &ListTimes::paint), medianOf(listViews, &ListTimes::paint),
            L"list-paint", L"UI list: first layout and paint", listView},
        {L"list: scrolled to the end, painted", medianOf(lists, &ListTimes::end), medianOf(listViews, &ListTimes::end),
            L"list-scroll", L"UI list: scrolled to the end, painted", listView},
        {L"list: middle row selected, shown, painted", medianOf(lists, &ListTimes::select),
            medianOf(listViews, &ListTimes::select), L"list-select", L"UI list: middle row selected, shown, painted",
            listView},
        {L"tree: built collapsed and painted", medianOf(trees, &TreeTimes::build),
            medianOf(treeViews, &TreeTimes::build), L"tree-build", L"UI tree: built collapsed and painted", treeView},
        {L"tree: every root expanded, painted", medianOf(trees, &TreeTimes::expand),
            medianOf(treeViews, &TreeTimes::expand), L"tree-expand", expanded, treeView},
    };
    wprintf(L"list: %d text rows x 3 columns; tree: %d roots x %d children; medians of %d rounds\n", rows, kRoots,
        children, rounds);
    printSteps(steps);
    CWindowManagerUI::Term();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    return benchui::guardedMain(run, argc, argv);
}
