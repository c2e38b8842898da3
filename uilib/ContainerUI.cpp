#include "ContainerUI.h"

#include "AttributeTable.h"
#include "RenderKit.h"
#include "ScrollBarUI.h"

#include <algorithm>

namespace SkinUI {

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI()
{
    m_bDelayedDestroy = false;
    RemoveAll();
    delete m_pVerticalScrollBar;
    delete m_pHorizontalScrollBar;
}

const wchar_t* CContainerUI::GetClassName() const
{
    return L"ContainerUI";
}

LPVOID CContainerUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"IContainer") == 0) return static_cast<IContainerUI*>(this);
    if (name && wcscmp(name, L"Container") == 0) return static_cast<CContainerUI*>(this);
    return CControlUI::GetInterfaceByName(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const
{
    return static_cast<CControlUI*>(m_items.GetAt(index));
}
int CContainerUI::GetItemIndex(CControlUI* control) const
{
    return m_items.Find(control);
}

bool CContainerUI::SetItemIndex(CControlUI* control, int index)
{
    int current = m_items.Find(control);
    if (current < 0 || index < 0 || index >= m_items.GetSize()) return false;
    m_items.Remove(current);
    m_items.InsertAt(index, control);
    NeedUpdate();
    return true;
}

int CContainerUI::GetCount() const
{
    return m_items.GetSize();
}

void CContainerUI::adopt(CControlUI* control)
{
    if (m_pManager)
        m_pManager->InitControls(control, this);
    else
        control->SetManager(nullptr, this, false);
    if (IsVisible())
        NeedUpdate();
    else
        control->SetInheritedVisible(false);
}

bool CContainerUI::Add(CControlUI* control)
{
    if (!control) return false;
    adopt(control);
    return m_items.Add(control);
}

bool CContainerUI::AddAt(CControlUI* control, int index)
{
    if (!control || index < 0 || index > m_items.GetSize()) return false;
    adopt(control);
    return m_items.InsertAt(index, control);
}

void CContainerUI::deleteChild(CControlUI* control)
{
    if (!m_bAutoDestroy) return;
    if (m_bDelayedDestroy && m_pManager)
        m_pManager->AddDelayedCleanup(control);
    else
        delete control;
}

bool CContainerUI::Remove(CControlUI* control)
{
    int index = m_items.Find(control);
    if (index < 0) return false;
    NeedUpdate();
    m_items.Remove(index);
    deleteChild(control);
    return true;
}

bool CContainerUI::RemoveAt(int index)
{
    CControlUI* control = GetItemAt(index);
    return control && Remove(control);
}

void CContainerUI::RemoveAll()
{
    while (!m_items.IsEmpty()) {
        CControlUI* control = static_cast<CControlUI*>(m_items.GetAt(m_items.GetSize() - 1));
        m_items.Remove(m_items.GetSize() - 1);
        deleteChild(control);
    }
    NeedUpdate();
}

void CContainerUI::SetVisible(bool visible)
{
    if (m_bVisible == visible) return;
    CControlUI::SetVisible(visible);
    for (int i = 0; i < m_items.GetSize(); ++i) itemAt(i)->SetInheritedVisible(IsVisible());
}

void CContainerUI::SetInheritedVisible(bool visible)
{
    CControlUI::SetInheritedVisible(visible);
    for (int i = 0; i < m_items.GetSize(); ++i) itemAt(i)->SetInheritedVisible(IsVisible());
}

void CContainerUI::SetMouseEnabled(bool enabled)
{
    if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetMouseEnabled(enabled);
    if (m_pHorizontalScrollBar) m_pHorizontalScrollBar->SetMouseEnabled(enabled);
    CControlUI::SetMouseEnabled(enabled);
}

void CContainerUI::SetManager(CWindowManagerUI* manager, CControlUI* parent, bool init)
{
    for (int i = 0; i < m_items.GetSize(); ++i) itemAt(i)->SetManager(manager, this, init);
    if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetManager(manager, this, init);
    if (m_pHorizontalScrollBar) m_pHorizontalScrollBar->SetManager(manager, this, init);
    CControlUI::SetManager(manager, parent, init);
}

RECT CContainerUI::GetInset() const
{
    return m_rcInset;
}

void CContainerUI::SetInset(RECT inset)
{
    m_rcInset = inset;
    NeedUpdate();
}

int CContainerUI::GetChildPadding() const
{
    return m_iChildPadding;
}

void CContainerUI::SetChildPadding(int padding)
{
    m_iChildPadding = padding;
    NeedUpdate();
}

bool CContainerUI::IsDeleteOnRemove() const
{
    return m_bAutoDestroy;
}
void CContainerUI::SetDeleteOnRemove(bool remove)
{
    m_bAutoDestroy = remove;
}
bool CContainerUI::IsDeferredDelete() const
{
    return m_bDelayedDestroy;
}
void CContainerUI::SetDeferredDelete(bool deferred)
{
    m_bDelayedDestroy = deferred;
}
bool CContainerUI::IsMouseChildEnabled() const
{
    return m_bMouseChildEnabled;
}
void CContainerUI::SetMouseChildEnabled(bool enabled)
{
    m_bMouseChildEnabled = enabled;
}

int CContainerUI::FindSelectableChild(int index, bool forward) const
{
    int count = m_items.GetSize();
    if (count == 0) return -1;
    index = std::clamp(index, 0, count - 1);
    auto selectable = [&](int i) {
        CControlUI* c = itemAt(i);
        return c->GetInterfaceByName(L"ListItem") && c->IsVisible() && c->IsEnabled();
    };
    if (forward) {
        for (int i = index; i < count; ++i)
            if (selectable(i)) return i;
        return -1;
    }
    for (int i = index; i >= 0; --i)
        if (selectable(i)) return i;
    return FindSelectableChild(0, true);
}

RECT CContainerUI::GetInnerRect() const
{
    RECT rc = m_rcItem;
    rc.left += m_rcInset.left;
    rc.top += m_rcInset.top;
    rc.right -= m_rcInset.right;
    rc.bottom -= m_rcInset.bottom;
    if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible()) rc.right -= m_pVerticalScrollBar->GetFixedWidth();
    if (m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible())
        rc.bottom -= m_pHorizontalScrollBar->GetFixedHeight();
    return rc;
}

void CContainerUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    if (m_items.IsEmpty()) return;
    RECT inner = rc;
    inner.left += m_rcInset.left;
    inner.top += m_rcInset.top;
    inner.right -= m_rcInset.right;
    inner.bottom -= m_rcInset.bottom;
    placeChildren(inner);
}

void CContainerUI::placeChildren(RECT area)
{
    for (CControlUI* child : placeFloatingChildren()) child->SetPos(area);
}

std::vector<CControlUI*> CContainerUI::placeFloatingChildren()
{
    std::vector<CControlUI*> flowing;
    flowing.reserve(static_cast<size_t>(m_items.GetSize()));
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CControlUI* child = itemAt(i);
        if (!child->IsVisible()) continue;
        if (child->IsFloat())
            PlaceFloatingChild(i);
        else
            flowing.push_back(child);
    }
    return flowing;
}

void CContainerUI::PlaceFloatingChild(int index)
{
    CControlUI* child = itemAt(index);
    if (!child || !child->IsVisible() || !child->IsFloat()) return;
    SIZE origin = child->GetFixedOrigin();
    int w = child->GetFixedWidth(), h = child->GetFixedHeight();
    // Along one axis: from the leading edge for an offset >= 0, else back from the trailing edge.
    auto place = [](LONG lead, LONG trail, LONG offset, int size, LONG& from, LONG& to) {
        from = offset >= 0 ? lead + offset : trail + offset - size;
        to = from + size;
    };
    RECT rc;
    place(m_rcItem.left, m_rcItem.right, origin.cx, w, rc.left, rc.right);
    place(m_rcItem.top, m_rcItem.bottom, origin.cy, h, rc.top, rc.bottom);
    TRelativePosUI relative = child->GetRelativePos();
    if (relative.bRelative && relative.szParent.cx != 0) {
        int width = m_rcItem.right - m_rcItem.left, height = m_rcItem.bottom - m_rcItem.top;
        int dx = width - relative.szParent.cx, dy = height - relative.szParent.cy;
        rc.left += dx * relative.nMoveXPercent / 100;
        rc.top += dy * relative.nMoveYPercent / 100;
        rc.right = rc.left + w + dx * relative.nZoomXPercent / 100;
        rc.bottom = rc.top + h + dy * relative.nZoomYPercent / 100;
    }
    if (relative.bRelative)
        child->SetRelativeParentSize(SIZE{m_rcItem.right - m_rcItem.left, m_rcItem.bottom - m_rcItem.top});
    child->SetPos(rc);
}

CControlUI* CContainerUI::SearchControl(FINDCONTROLPROC proc, LPVOID data, UINT flags)
{
    if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    bool hitTest = (flags & UIFIND_HITTEST) != 0;
    POINT* pt = static_cast<POINT*>(data);
    if (hitTest && (!m_bMouseEnabled || !PtInRect(&m_rcItem, *pt))) return nullptr;
    if (hitTest && !m_bMouseChildEnabled) {
        CControlUI* found = nullptr;
        if (m_pVerticalScrollBar) found = m_pVerticalScrollBar->SearchControl(proc, data, flags);
        if (!found && m_pHorizontalScrollBar) found = m_pHorizontalScrollBar->SearchControl(proc, data, flags);
        if (found) return found;
        return CControlUI::SearchControl(proc, data, flags);
    }
    CControlUI* found = nullptr;
    if (m_pVerticalScrollBar) found = m_pVerticalScrollBar->SearchControl(proc, data, flags);
    if (!found && m_pHorizontalScrollBar) found = m_pHorizontalScrollBar->SearchControl(proc, data, flags);
    if (found) return found;
    if (flags & UIFIND_ME_FIRST) {
        found = CControlUI::SearchControl(proc, data, flags);
        if (found) return found;
    }
    RECT inner = GetInnerRect();
    int count = m_items.GetSize();
    for (int k = 0; k < count; ++k) {
        int i = (flags & UIFIND_TOP_FIRST) ? count - 1 - k : k;
        CControlUI* child = itemAt(i);
        found = child->SearchControl(proc, data, flags);
        if (!found) continue;
        if (!hitTest || child->IsFloat() || PtInRect(&inner, *pt)) return found;
    }
    if (!(flags & UIFIND_ME_FIRST)) return CControlUI::SearchControl(proc, data, flags);
    return nullptr;
}

void CContainerUI::OnEvent(TEventMsgUI& event)
{
    if (passMouseToParent(event, IsMouseEnabled())) return;
    if (takeFocusEvent(event)) return;
    // The keys and the wheel scroll along the vertical bar, else along the horizontal one.
    using Step = void (CContainerUI::*)();
    struct Steps {
        Step pageBack, pageOn, end, home, lineBack, lineOn;
    };
    static const Steps kVertical = {&CContainerUI::PageUp, &CContainerUI::PageDown, &CContainerUI::EndDown,
        &CContainerUI::HomeUp, &CContainerUI::LineUp, &CContainerUI::LineDown};
    static const Steps kHorizontal = {&CContainerUI::PageLeft, &CContainerUI::PageRight, &CContainerUI::EndRight,
        &CContainerUI::HomeLeft, &CContainerUI::LineLeft, &CContainerUI::LineRight};
    auto usable = [](CScrollBarUI* bar) { return bar && bar->IsVisible() && bar->IsEnabled(); };
    const Steps* steps = nullptr;
    if (usable(m_pVerticalScrollBar))
        steps = &kVertical;
    else if (usable(m_pHorizontalScrollBar))
        steps = &kHorizontal;
    Step step = nullptr;
    if (steps && event.Type == UIEVENT_KEYDOWN) {
        switch (event.chKey) {
        case VK_PRIOR: step = steps->pageBack; break;
        case VK_NEXT: step = steps->pageOn; break;
        case VK_END: step = steps->end; break;
        case VK_HOME: step = steps->home; break;
        case VK_UP: step = steps->lineBack; break;
        case VK_DOWN: step = steps->lineOn; break;
        default: break;
        }
    } else if (steps && event.Type == UIEVENT_SCROLLWHEEL) {
        step = event.wParam == 0 ? steps->lineBack : steps->lineOn;
    }
    if (step) {
        (this->*step)();
        return;
    }
    CControlUI::OnEvent(event);
}

SIZE CContainerUI::GetScrollPos() const
{
    return ownScrollPos();
}

SIZE CContainerUI::ownScrollPos() const
{
    SIZE pos{0, 0};
    if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible()) pos.cy = m_pVerticalScrollBar->GetScrollPos();
    if (m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible()) pos.cx = m_pHorizontalScrollBar->GetScrollPos();
    return pos;
}

SIZE CContainerUI::GetScrollRange() const
{
    SIZE range{0, 0};
    if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible()) range.cy = m_pVerticalScrollBar->GetScrollRange();
    if (m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible())
        range.cx = m_pHorizontalScrollBar->GetScrollRange();
    return range;
}

SIZE CContainerUI::moveScrollBars(SIZE pos)
{
    SIZE moved{0, 0};
    if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible()) {
        int before = m_pVerticalScrollBar->GetScrollPos();
        m_pVerticalScrollBar->SetScrollPos(pos.cy);
        moved.cy = m_pVerticalScrollBar->GetScrollPos() - before;
    }
    if (m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible()) {
        int before = m_pHorizontalScrollBar->GetScrollPos();
        m_pHorizontalScrollBar->SetScrollPos(pos.cx);
        moved.cx = m_pHorizontalScrollBar->GetScrollPos() - before;
    }
    return moved;
}

void CContainerUI::SetScrollPos(SIZE pos)
{
    SIZE moved = moveScrollBars(pos);
    int dx = moved.cx, dy = moved.cy;
    if (dx == 0 && dy == 0) return;
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CControlUI* child = itemAt(i);
        if (!child->IsVisible() || child->IsFloat()) continue;
        RECT rc = child->GetPos();
        OffsetRect(&rc, -dx, -dy);
        child->SetPos(rc);
    }
    Invalidate();
}

namespace {

int lineHeight(CWindowManagerUI* manager)
{
    if (!manager) return 8;
    return manager->GetDefaultFontInfo()->tm.tmHeight + 8;
}

}  // namespace

RECT CContainerUI::scrolledArea() const
{
    CScrollBarUI* bar = GetVerticalScrollBar() ? GetVerticalScrollBar() : GetHorizontalScrollBar();
    const CContainerUI* owner = bar && bar->GetOwner() ? bar->GetOwner() : this;
    return owner->GetInnerRect();
}

void CContainerUI::scrollBy(int dx, int dy)
{
    SIZE pos = GetScrollPos();
    SetScrollPos(SIZE{pos.cx + dx, pos.cy + dy});
}

void CContainerUI::LineUp()
{
    scrollBy(0, -lineHeight(m_pManager));
}
void CContainerUI::LineDown()
{
    scrollBy(0, lineHeight(m_pManager));
}
void CContainerUI::PageUp()
{
    RECT inner = scrolledArea();
    scrollBy(0, -(inner.bottom - inner.top));
}
void CContainerUI::PageDown()
{
    RECT inner = scrolledArea();
    scrollBy(0, inner.bottom - inner.top);
}
void CContainerUI::HomeUp()
{
    scrollBy(0, -GetScrollPos().cy);
}
void CContainerUI::EndDown()
{
    scrollBy(0, GetScrollRange().cy - GetScrollPos().cy);
}

void CContainerUI::LineLeft()
{
    scrollBy(-8, 0);
}
void CContainerUI::LineRight()
{
    scrollBy(8, 0);
}
void CContainerUI::PageLeft()
{
    RECT inner = scrolledArea();
    scrollBy(-(inner.right - inner.left), 0);
}
void CContainerUI::PageRight()
{
    RECT inner = scrolledArea();
    scrollBy(inner.right - inner.left, 0);
}
void CContainerUI::HomeLeft()
{
    scrollBy(-GetScrollPos().cx, 0);
}
void CContainerUI::EndRight()
{
    scrollBy(GetScrollRange().cx - GetScrollPos().cx, 0);
}

void CContainerUI::SetScrollBarsEnabled(bool vertical, bool horizontal)
{
    auto setUp = [&](CScrollBarUI*& bar, bool wanted, bool isHorizontal) {
        if (!wanted) {
            delete bar;
            bar = nullptr;
            return;
        }
        if (bar) return;
        bar = new CScrollBarUI;
        if (isHorizontal) bar->SetHorizontal(true);
        bar->SetOwner(this);
        bar->SetManager(m_pManager, nullptr, false);
        if (m_pManager) {
            const wchar_t* defaults = m_pManager->GetDefaultAttributeList(isHorizontal ? L"HScrollBar" : L"VScrollBar");
            if (defaults) bar->ApplyAttributeList(defaults);
        }
    };
    setUp(m_pVerticalScrollBar, vertical, false);
    setUp(m_pHorizontalScrollBar, horizontal, true);
    NeedUpdate();
}

CScrollBarUI* CContainerUI::GetVerticalScrollBar() const
{
    return m_pVerticalScrollBar;
}
CScrollBarUI* CContainerUI::GetHorizontalScrollBar() const
{
    return m_pHorizontalScrollBar;
}

void CContainerUI::LayoutScrollBars(RECT inner, int /*requiredWidth*/, int requiredHeight)
{
    if (m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible()) {
        RECT bar = {inner.left, inner.bottom, inner.right, inner.bottom + m_pHorizontalScrollBar->GetFixedHeight()};
        m_pHorizontalScrollBar->SetPos(bar);
    }
    if (!m_pVerticalScrollBar) return;
    int innerHeight = inner.bottom - inner.top;
    int extra = requiredHeight - innerHeight;
    if (extra > 0 && !m_pVerticalScrollBar->IsVisible()) {
        // The content does not fit: show the bar and lay out again, narrower.
        m_pVerticalScrollBar->SetVisible(true);
        m_pVerticalScrollBar->SetScrollRange(extra);
        m_pVerticalScrollBar->SetScrollPos(0);
        m_bScrollProcess = true;
        SetPos(m_rcItem);
        m_bScrollProcess = false;
        return;
    }
    if (!m_pVerticalScrollBar->IsVisible()) return;
    if (extra > 0 || m_bScrollProcess) {
        RECT bar = {inner.right, inner.top, inner.right + m_pVerticalScrollBar->GetFixedWidth(), inner.bottom};
        m_pVerticalScrollBar->SetPos(bar);
        if (m_pVerticalScrollBar->GetScrollRange() == extra) return;
        int oldPos = m_pVerticalScrollBar->GetScrollPos();
        m_pVerticalScrollBar->SetScrollRange(extra < 0 ? -extra : extra);
        if (m_pVerticalScrollBar->GetScrollRange() == 0) {
            m_pVerticalScrollBar->SetVisible(false);
            m_pVerticalScrollBar->SetScrollPos(0);
        }
        if (m_pVerticalScrollBar->GetScrollPos() >= oldPos) return;
    } else {
        m_pVerticalScrollBar->SetVisible(false);
        m_pVerticalScrollBar->SetScrollPos(0);
        m_pVerticalScrollBar->SetScrollRange(0);
    }
    m_bScrollProcess = true;
    SetPos(m_rcItem);
    m_bScrollProcess = false;
}

void CContainerUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using namespace AttributeValue;
    // Through the virtual bar accessors: a list keeps its bars on its body.
    static const AttributeSetter<CContainerUI> kSetters[] = {
        {L"inset", [](auto& c, auto v) { c.SetInset(ParseRect(v)); }},
        {L"childpadding", [](auto& c, auto v) { c.SetChildPadding(ParseInt(v)); }},
        {L"mousechild", [](auto& c, auto v) { c.SetMouseChildEnabled(ParseBool(v)); }},
        {L"vscrollbar",
            [](auto& c, auto v) { c.SetScrollBarsEnabled(ParseBool(v), c.GetHorizontalScrollBar() != nullptr); }},
        {L"hscrollbar",
            [](auto& c, auto v) { c.SetScrollBarsEnabled(c.GetVerticalScrollBar() != nullptr, ParseBool(v)); }},
        {L"vscrollbarstyle",
            [](auto& c, auto v) {
                if (!c.GetVerticalScrollBar()) c.SetScrollBarsEnabled(true, c.GetHorizontalScrollBar() != nullptr);
                if (CScrollBarUI* bar = c.GetVerticalScrollBar()) bar->ApplyAttributeList(v);
            }},
        {L"hscrollbarstyle",
            [](auto& c, auto v) {
                if (!c.GetHorizontalScrollBar()) c.SetScrollBarsEnabled(c.GetVerticalScrollBar() != nullptr, true);
                if (CScrollBarUI* bar = c.GetHorizontalScrollBar()) bar->ApplyAttributeList(v);
            }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CControlUI::SetAttribute(name, value);
}

void CContainerUI::Paint(HDC dc, const RECT& paint)
{
    RECT temp;
    if (!IntersectRect(&temp, &paint, &m_rcItem)) return;
    CRenderClip clip;
    CRenderKit::GenerateClip(dc, temp, clip);
    CControlUI::Paint(dc, paint);
    paintChildren(dc, paint);
    paintScrollBars(dc, paint);
}

void CContainerUI::paintChildren(HDC dc, const RECT& paint)
{
    if (m_items.IsEmpty()) return;
    RECT temp;
    RECT inner = GetInnerRect();
    if (IntersectRect(&temp, &paint, &inner)) {
        CRenderClip childClip;
        CRenderKit::GenerateClip(dc, temp, childClip);
        for (int i = 0; i < m_items.GetSize(); ++i) {
            CControlUI* child = itemAt(i);
            if (!child->IsVisible()) continue;
            RECT childPos = child->GetPos();
            if (!IntersectRect(&temp, &paint, &childPos)) continue;
            if (child->IsFloat()) {
                if (!IntersectRect(&temp, &m_rcItem, &childPos)) continue;
                CRenderClip::UseOldClipBegin(dc, childClip);
                child->Paint(dc, paint);
                CRenderClip::UseOldClipEnd(dc, childClip);
            } else {
                if (!IntersectRect(&temp, &inner, &childPos)) continue;
                child->Paint(dc, paint);
            }
        }
        return;
    }
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CControlUI* child = itemAt(i);
        if (!child->IsVisible() || !child->IsFloat()) continue;
        RECT childPos = child->GetPos();
        if (!IntersectRect(&temp, &paint, &childPos)) continue;
        if (!IntersectRect(&temp, &m_rcItem, &childPos)) continue;
        child->Paint(dc, paint);
    }
}

void CContainerUI::paintScrollBars(HDC dc, const RECT& paint)
{
    RECT temp;
    for (CScrollBarUI* bar : {m_pVerticalScrollBar, m_pHorizontalScrollBar}) {
        if (!bar || !bar->IsVisible()) continue;
        RECT barPos = bar->GetPos();
        if (IntersectRect(&temp, &paint, &barPos)) bar->Paint(dc, paint);
    }
}

}  // namespace SkinUI
