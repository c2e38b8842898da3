// Implementation details: the manager's resources — fonts (measured on first
// use), images, per-class default attributes — and the process-wide settings:
// module and resource instances, the resource folder, the skin zip (cached or
// opened per read), the default font face and the hue shift.
#include "WindowManagerUI.h"

#include "AttributeValues.h"
#include "RenderKit.h"

#include <new>

namespace SkinUI {

namespace {

struct ProcessSettings {
    HINSTANCE instance = nullptr;
    HINSTANCE resourceInstance = nullptr;
    CUIString resourcePath;
    CUIString resourceZip;
    bool zipCached = false;
    HZIP zip = nullptr;
    CUIString defaultFontFace;
    CPtrArrayUI managers;
    bool useHsl = false;
    short hue = 180, saturation = 100, lightness = 100;
};

ProcessSettings& settings()
{
    static ProcessSettings s;
    return s;
}

void closeCachedZip()
{
    ProcessSettings& s = settings();
    if (s.zip) ZipClose(s.zip);
    s.zip = nullptr;
}

// A font beside what it was made from; its metrics are measured again on next use.
void describeFont(TFontInfo& info, HFONT font, const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    info.hFont = font;
    info.sFontName = face;
    info.iSize = size;
    info.bBold = bold;
    info.bUnderline = underline;
    info.bItalic = italic;
    info.tm = TEXTMETRICW{};
}

}  // namespace

void CWindowManagerUI::fillMetrics(TFontInfo* info)
{
    if (!info || info->tm.tmHeight != 0 || !m_hDcPaint) return;
    HGDIOBJ old = SelectObject(m_hDcPaint, info->hFont);
    GetTextMetricsW(m_hDcPaint, &info->tm);
    SelectObject(m_hDcPaint, old);
}

TFontInfo* CWindowManagerUI::GetDefaultFontInfo()
{
    CWindowManagerUI* root = rootManager();
    root->fillMetrics(&root->m_DefaultFontInfo);
    if (root->m_DefaultFontInfo.tm.tmHeight == 0) fillMetrics(&root->m_DefaultFontInfo);
    return &root->m_DefaultFontInfo;
}

HFONT CWindowManagerUI::makeFont(const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lstrcpynW(lf.lfFaceName, face ? face : L"", LF_FACESIZE);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = -size;
    if (bold) lf.lfWeight += FW_BOLD;
    if (underline) lf.lfUnderline = TRUE;
    if (italic) lf.lfItalic = TRUE;
    return CreateFontIndirectW(&lf);
}

void CWindowManagerUI::SetDefaultFont(const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    HFONT font = makeFont(face, size, bold, underline, italic);
    if (!font) return;
    if (m_DefaultFontInfo.hFont && m_DefaultFontInfo.hFont != GetStockObject(DEFAULT_GUI_FONT))
        DeleteObject(m_DefaultFontInfo.hFont);
    describeFont(m_DefaultFontInfo, font, face, size, bold, underline, italic);
    fillMetrics(&m_DefaultFontInfo);
}

HFONT CWindowManagerUI::AddFont(const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    HFONT font = makeFont(face, size, bold, underline, italic);
    if (!font) return nullptr;
    TFontInfo* info = new (std::nothrow) TFontInfo;
    if (!info || !m_aCustomFonts.Add(info)) {
        delete info;
        DeleteObject(font);
        return nullptr;
    }
    describeFont(*info, font, face, size, bold, underline, italic);
    fillMetrics(info);
    return font;
}

HFONT CWindowManagerUI::GetFont(int index)
{
    if (index < 0 || index >= m_aCustomFonts.GetSize()) return GetDefaultFontInfo()->hFont;
    return static_cast<TFontInfo*>(m_aCustomFonts.GetAt(index))->hFont;
}

template <class Test>
TFontInfo* CWindowManagerUI::findCustomFont(Test test, CWindowManagerUI** owner)
{
    for (CWindowManagerUI* manager = this; manager; manager = manager->m_pParentManager) {
        for (int i = 0; i < manager->m_aCustomFonts.GetSize(); ++i) {
            TFontInfo* info = static_cast<TFontInfo*>(manager->m_aCustomFonts.GetAt(i));
            if (!test(*info)) continue;
            if (owner) *owner = manager;
            return info;
        }
    }
    return nullptr;
}

HFONT CWindowManagerUI::FindFont(const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    TFontInfo* info = findCustomFont([&](const TFontInfo& font) {
        return font.sFontName == (face ? face : L"") && font.iSize == size && font.bBold == bold &&
            font.bUnderline == underline && font.bItalic == italic;
    });
    return info ? info->hFont : nullptr;
}

TFontInfo* CWindowManagerUI::GetFontInfo(int index)
{
    if (index < 0 || index >= m_aCustomFonts.GetSize()) return GetDefaultFontInfo();
    TFontInfo* info = static_cast<TFontInfo*>(m_aCustomFonts.GetAt(index));
    fillMetrics(info);
    return info;
}

TFontInfo* CWindowManagerUI::GetFontInfo(HFONT font)
{
    CWindowManagerUI* owner = nullptr;
    TFontInfo* info = findCustomFont([font](const TFontInfo& custom) { return custom.hFont == font; }, &owner);
    if (!info) return GetDefaultFontInfo();
    owner->fillMetrics(info);
    return info;
}

void CWindowManagerUI::RemoveAllFonts()
{
    for (int i = 0; i < m_aCustomFonts.GetSize(); ++i) {
        TFontInfo* info = static_cast<TFontInfo*>(m_aCustomFonts.GetAt(i));
        DeleteObject(info->hFont);
        delete info;
    }
    m_aCustomFonts.Empty();
}

const TImageInfo* CWindowManagerUI::GetImage(const wchar_t* name)
{
    if (!name) return nullptr;
    return static_cast<TImageInfo*>(m_mImageHash.Find(name));
}

const TImageInfo* CWindowManagerUI::GetImageEx(const wchar_t* name, const wchar_t* type, DWORD mask)
{
    const TImageInfo* image = GetImage(name);
    return image ? image : AddImage(name, type, mask);
}

const TImageInfo* CWindowManagerUI::AddImage(const wchar_t* name, const wchar_t* type, DWORD mask)
{
    if (!name || !*name) return nullptr;
    TImageInfo* image = nullptr;
    if (type && *type) {
        if (name[0] < L'0' || name[0] > L'9') return nullptr;
        int id = AttributeValue::ParseInt(name);
        image = CRenderKit::LoadImage(MAKEINTRESOURCEW(id), type, mask);
    } else {
        image = CRenderKit::LoadImage(name, nullptr, mask);
    }
    if (!image) return nullptr;
    image->sResType = type ? type : L"";
    image->dwMask = mask;
    if (!m_mImageHash.Insert(name, image)) {
        CRenderKit::FreeImage(image);
        return nullptr;
    }
    return image;
}

bool CWindowManagerUI::RemoveImage(const wchar_t* name)
{
    TImageInfo* image = static_cast<TImageInfo*>(m_mImageHash.Find(name, false));
    if (!image) return false;
    CRenderKit::FreeImage(image);
    return m_mImageHash.Remove(name);
}

void CWindowManagerUI::RemoveAllImages()
{
    for (int i = 0; i < m_mImageHash.GetSize(); ++i) {
        const wchar_t* key = m_mImageHash.GetAt(i);
        CRenderKit::FreeImage(static_cast<TImageInfo*>(m_mImageHash.Find(key, false)));
    }
    m_mImageHash.RemoveAll();
}

void CWindowManagerUI::AddDefaultAttributeList(const wchar_t* className, const wchar_t* list)
{
    if (!className || !list) return;
    if (m_DefaultAttrHash.Find(className, false)) return;  // the first text entered holds
    CUIString* text = new (std::nothrow) CUIString(list);
    if (!text) return;
    if (!m_DefaultAttrHash.Insert(className, text)) delete text;
}

const wchar_t* CWindowManagerUI::GetDefaultAttributeList(const wchar_t* className) const
{
    if (!className) return nullptr;
    for (const CWindowManagerUI* manager = this; manager; manager = manager->m_pParentManager) {
        CUIString* text =
            static_cast<CUIString*>(const_cast<CStringPtrMapUI&>(manager->m_DefaultAttrHash).Find(className));
        if (text) return text->GetData();
    }
    return nullptr;
}

void CWindowManagerUI::RemoveAllDefaultAttributeLists()
{
    for (int i = 0; i < m_DefaultAttrHash.GetSize(); ++i)
        delete static_cast<CUIString*>(m_DefaultAttrHash.Find(m_DefaultAttrHash.GetAt(i), false));
    m_DefaultAttrHash.RemoveAll();
}

// --- process-wide settings ---

HINSTANCE CWindowManagerUI::GetModuleInstance()
{
    return settings().instance;
}
void CWindowManagerUI::SetModuleInstance(HINSTANCE instance)
{
    settings().instance = instance;
}

CUIString CWindowManagerUI::GetInstancePath()
{
    if (!settings().instance) return CUIString();
    wchar_t path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameW(settings().instance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return CUIString();
    CUIString full(path);
    int slash = full.ReverseFind(L'\\');
    return slash < 0 ? CUIString() : full.Left(slash + 1);
}

HINSTANCE CWindowManagerUI::GetResourceInstance()
{
    return settings().resourceInstance ? settings().resourceInstance : settings().instance;
}
void CWindowManagerUI::SetResourceInstance(HINSTANCE instance)
{
    settings().resourceInstance = instance;
}
const CUIString& CWindowManagerUI::GetResourcePath()
{
    return settings().resourcePath;
}

void CWindowManagerUI::SetResourcePath(const wchar_t* path)
{
    CUIString& stored = settings().resourcePath;
    stored = path;
    if (stored.IsEmpty()) return;
    wchar_t last = stored.GetAt(stored.GetLength() - 1);
    if (last != L'\\' && last != L'/') stored += L'\\';
}

const CUIString& CWindowManagerUI::GetResourceZip()
{
    return settings().resourceZip;
}
bool CWindowManagerUI::IsZipCached()
{
    return settings().zipCached;
}

void CWindowManagerUI::SetResourceZip(const wchar_t* name, bool cached)
{
    ProcessSettings& s = settings();
    if (s.resourceZip == (name ? name : L"") && s.zipCached == cached) return;
    if (s.zipCached) closeCachedZip();
    s.resourceZip = name;
    s.zipCached = cached;
    if (!cached || s.resourceZip.IsEmpty()) return;
    CUIString path = s.resourcePath + s.resourceZip.GetData();
    s.zip = ZipOpen(path.GetData(), 0, ZIP_FILENAME);
}

void CWindowManagerUI::SetResourceZipBuffer(const void* data, unsigned int size)
{
    ProcessSettings& s = settings();
    if (s.resourceZip == L"membuffer") return;
    if (s.zipCached) closeCachedZip();
    s.resourceZip = L"membuffer";
    s.zipCached = true;
    s.zip = ZipOpen(data, size, ZIP_MEMORY);
}

HZIP CWindowManagerUI::GetZipArchive()
{
    return settings().zip;
}
CPtrArrayUI& CWindowManagerUI::liveManagers()
{
    return settings().managers;
}
const CUIString& CWindowManagerUI::GetDefaultFontFace()
{
    return settings().defaultFontFace;
}
void CWindowManagerUI::SetDefaultFontFace(const wchar_t* face)
{
    settings().defaultFontFace = face;
}

void CWindowManagerUI::GetHSL(short* h, short* s, short* l)
{
    *h = settings().hue;
    *s = settings().saturation;
    *l = settings().lightness;
}

void CWindowManagerUI::SetHSL(bool use, short h, short s, short l)
{
    settings().useHsl = use;
    settings().hue = h;
    settings().saturation = s;
    settings().lightness = l;
}

bool CWindowManagerUI::IsHSLUsed()
{
    return settings().useHsl;
}

void CWindowManagerUI::Term()
{
    ProcessSettings& s = settings();
    closeCachedZip();
    s.resourceZip.Empty();
    s.zipCached = false;
    s.resourcePath.Empty();
}

}  // namespace SkinUI
