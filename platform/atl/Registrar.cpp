#include "Registrar.h"

#include "ComSupport.h"

#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <optional>
#include <new>

namespace Atl {
namespace {

struct ScriptError {
    std::wstring text;
};

struct ValueDef {
    std::wstring name;  // empty: the key's default value
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
};

enum class KeyMode { Plain, ForceRemove, NoRemove, Delete };

struct KeyDef {
    std::wstring name;
    KeyMode mode = KeyMode::Plain;
    std::optional<ValueDef> defaultValue;
    std::vector<ValueDef> values;
    std::vector<KeyDef> subkeys;
};

struct RootDef {
    HKEY root = nullptr;
    bool classes = false;
    std::vector<KeyDef> keys;
};

bool sameText(const std::wstring& a, const wchar_t* b)
{
    return _wcsicmp(a.c_str(), b) == 0;
}

struct Token {
    enum Kind { End, Word, Quoted, Open, Close, Equals } kind = End;
    std::wstring text;
    bool is(const wchar_t* keyword) const { return kind == Word && sameText(text, keyword); }
};

class Lexer {
public:
    Lexer(const std::wstring& text, const std::vector<std::pair<std::wstring, std::wstring>>& replacements)
        : text_(text), replacements_(replacements)
    {
    }

    Token next()
    {
        while (pos_ < text_.size() && std::iswspace(text_[pos_])) ++pos_;
        Token token;
        if (pos_ >= text_.size()) return token;
        if (text_[pos_] == L'\'') {
            token.kind = Token::Quoted;
            token.text = expand(readQuoted());
            return token;
        }
        size_t start = pos_;
        while (pos_ < text_.size() && !std::iswspace(text_[pos_]) && text_[pos_] != L'\'') ++pos_;
        std::wstring word = text_.substr(start, pos_ - start);
        if (word == L"{")
            token.kind = Token::Open;
        else if (word == L"}")
            token.kind = Token::Close;
        else if (word == L"=")
            token.kind = Token::Equals;
        else
            token.kind = Token::Word;
        token.text = token.kind == Token::Word ? expand(word) : word;
        return token;
    }

private:
    std::wstring readQuoted()
    {
        std::wstring raw;
        ++pos_;
        for (;;) {
            if (pos_ >= text_.size()) throw ScriptError{L"unterminated quoted text"};
            wchar_t c = text_[pos_++];
            if (c != L'\'') {
                raw += c;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == L'\'') {
                raw += L'\'';
                ++pos_;
                continue;
            }
            return raw;
        }
    }

    std::wstring expand(const std::wstring& raw) const
    {
        std::wstring out;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != L'%') {
                out += raw[i];
                continue;
            }
            size_t close = raw.find(L'%', i + 1);
            if (close == std::wstring::npos) throw ScriptError{L"unterminated %NAME% in " + raw};
            std::wstring name = raw.substr(i + 1, close - i - 1);
            i = close;
            if (name.empty()) {
                out += L'%';
                continue;
            }
            out += lookup(name);
        }
        return out;
    }

    const std::wstring& lookup(const std::wstring& name) const
    {
        for (const auto& [key, value] : replacements_) {
            if (sameText(key, name.c_str())) return value;
        }
        throw ScriptError{L"no replacement for %" + name + L"%"};
    }

    const std::wstring& text_;
    const std::vector<std::pair<std::wstring, std::wstring>>& replacements_;
    size_t pos_ = 0;
};

class Parser {
public:
    explicit Parser(Lexer& lexer) : lexer_(lexer) { advance(); }

    std::vector<RootDef> parseScript()
    {
        std::vector<RootDef> roots;
        while (current_.kind != Token::End) roots.push_back(parseRoot());
        return roots;
    }

private:
    void advance() { current_ = lexer_.next(); }

    void expect(Token::Kind kind, const wchar_t* what)
    {
        if (current_.kind != kind)
            throw ScriptError{std::wstring(L"expected ") + what + L" before '" + current_.text + L"'"};
        advance();
    }

    RootDef parseRoot()
    {
        static const struct {
            const wchar_t* shortName;
            const wchar_t* longName;
            HKEY key;
        } roots[] = {
            {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
            {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
            {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
            {L"HKU", L"HKEY_USERS", HKEY_USERS},
        };
        RootDef root;
        for (const auto& r : roots) {
            if (current_.is(r.shortName) || current_.is(r.longName)) {
                root.root = r.key;
                root.classes = r.key == HKEY_CLASSES_ROOT;
            }
        }
        if (!root.root) throw ScriptError{L"unknown registry root '" + current_.text + L"'"};
        advance();
        expect(Token::Open, L"'{'");
        while (current_.kind != Token::Close) {
            if (current_.kind == Token::End) throw ScriptError{L"missing '}'"};
            root.keys.push_back(parseKey());
        }
        advance();
        return root;
    }

    bool isName() const { return current_.kind == Token::Word || current_.kind == Token::Quoted; }

    KeyDef parseKey()
    {
        KeyDef key;
        if (current_.is(L"ForceRemove"))
            key.mode = KeyMode::ForceRemove;
        else if (current_.is(L"NoRemove"))
            key.mode = KeyMode::NoRemove;
        else if (current_.is(L"Delete"))
            key.mode = KeyMode::Delete;
        if (key.mode != KeyMode::Plain) advance();
        if (!isName()) throw ScriptError{L"expected a key name before '" + current_.text + L"'"};
        key.name = current_.text;
        if (key.name.empty() || key.name.find(L'\\') != std::wstring::npos)
            throw ScriptError{L"bad key name '" + key.name + L"'"};
        advance();
        if (current_.kind == Token::Equals) {
            advance();
            key.defaultValue = parseValue(L"");
        }
        if (current_.kind != Token::Open) return key;
        advance();
        while (current_.kind != Token::Close) {
            if (current_.kind == Token::End) throw ScriptError{L"missing '}' after key '" + key.name + L"'"};
            if (current_.is(L"val")) {
                advance();
                if (!isName()) throw ScriptError{L"expected a value name after val"};
                std::wstring name = current_.text;
                advance();
                expect(Token::Equals, L"'='");
                key.values.push_back(parseValue(name));
                continue;
            }
            key.subkeys.push_back(parseKey());
        }
        advance();
        return key;
    }

    ValueDef parseValue(const std::wstring& name)
    {
        ValueDef value;
        value.name = name;
        if (current_.kind != Token::Word) throw ScriptError{L"expected a value type (s, e, d, b) for '" + name + L"'"};
        std::wstring type = current_.text;
        advance();
        if (!isName()) throw ScriptError{L"expected a value after type " + type};
        std::wstring text = current_.text;
        advance();
        if (sameText(type, L"s") || sameText(type, L"e")) {
            value.type = sameText(type, L"s") ? REG_SZ : REG_EXPAND_SZ;
            const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
            value.data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
        } else if (sameText(type, L"d")) {
            value.type = REG_DWORD;
            DWORD number = parseNumber(text);
            const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
            value.data.assign(bytes, bytes + sizeof number);
        } else if (sameText(type, L"b")) {
            value.type = REG_BINARY;
            value.data = parseHexBytes(text);
        } else {
            throw ScriptError{L"unknown value type '" + type + L"'"};
        }
        return value;
    }

    static DWORD parseNumber(const std::wstring& text)
    {
        if (text.empty()) throw ScriptError{L"empty number"};
        wchar_t* end = nullptr;
        errno = 0;
        unsigned long long number = std::wcstoull(text.c_str(), &end, 0);
        if (*end || errno || number > 0xFFFFFFFFull || text[0] == L'-')
            throw ScriptError{L"bad number '" + text + L"'"};
        return static_cast<DWORD>(number);
    }

    static std::vector<BYTE> parseHexBytes(const std::wstring& text)
    {
        if (text.size() % 2) throw ScriptError{L"odd number of hex digits in '" + text + L"'"};
        std::vector<BYTE> bytes;
        for (size_t i = 0; i < text.size(); i += 2) {
            if (!std::iswxdigit(text[i]) || !std::iswxdigit(text[i + 1]))
                throw ScriptError{L"bad hex bytes '" + text + L"'"};
            bytes.push_back(static_cast<BYTE>(std::wcstoul(text.substr(i, 2).c_str(), nullptr, 16)));
        }
        return bytes;
    }

    Lexer& lexer_;
    Token current_;
};

LONG setValue(HKEY key, const ValueDef& value)
{
    return RegSetValueExW(key, value.name.empty() ? nullptr : value.name.c_str(), 0, value.type, value.data.data(),
        static_cast<DWORD>(value.data.size()));
}

bool isMissing(LONG status)
{
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey()
    {
        if (handle) RegCloseKey(handle);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY handle = nullptr;
};

LONG installKey(HKEY parent, const KeyDef& def)
{
    if (def.mode == KeyMode::Delete || def.mode == KeyMode::ForceRemove) {
        LONG status = RegDeleteTreeW(parent, def.name.c_str());
        if (status != ERROR_SUCCESS && !isMissing(status)) return status;
        if (def.mode == KeyMode::Delete) return ERROR_SUCCESS;
    }
    RegistryKey key;
    LONG status =
        RegCreateKeyExW(parent, def.name.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key.handle, nullptr);
    if (status != ERROR_SUCCESS) return status;
    if (def.defaultValue && (status = setValue(key.handle, *def.defaultValue)) != ERROR_SUCCESS) return status;
    for (const ValueDef& value : def.values) {
        if ((status = setValue(key.handle, value)) != ERROR_SUCCESS) return status;
    }
    for (const KeyDef& sub : def.subkeys) {
        if ((status = installKey(key.handle, sub)) != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
}

// Missing keys and values count as already removed. With bestEffort (taking back
// a failed registration) errors are passed over so that everything else goes.
LONG removeKey(HKEY parent, const KeyDef& def, bool bestEffort)
{
    if (def.mode == KeyMode::Delete) return ERROR_SUCCESS;
    if (def.mode == KeyMode::ForceRemove) {
        LONG status = RegDeleteTreeW(parent, def.name.c_str());
        return isMissing(status) ? ERROR_SUCCESS : status;
    }
    RegistryKey key;
    LONG status = RegOpenKeyExW(parent, def.name.c_str(), 0, KEY_READ | KEY_WRITE, &key.handle);
    if (isMissing(status) || (status != ERROR_SUCCESS && bestEffort)) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    for (const KeyDef& sub : def.subkeys) {
        if ((status = removeKey(key.handle, sub, bestEffort)) != ERROR_SUCCESS && !bestEffort) return status;
    }
    if (def.mode == KeyMode::NoRemove) return ERROR_SUCCESS;
    if (def.defaultValue) {
        status = RegDeleteValueW(key.handle, nullptr);
        if (status != ERROR_SUCCESS && !isMissing(status)) return status;
    }
    for (const ValueDef& value : def.values) {
        status = RegDeleteValueW(key.handle, value.name.c_str());
        if (status != ERROR_SUCCESS && !isMissing(status)) return status;
    }
    DWORD subkeys = 0, values = 0;
    status = RegQueryInfoKeyW(
        key.handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    if (subkeys || values) return ERROR_SUCCESS;  // someone else's content lives here too
    RegCloseKey(key.handle);
    key.handle = nullptr;
    status = RegDeleteKeyW(parent, def.name.c_str());
    return isMissing(status) ? ERROR_SUCCESS : status;
}

}  // namespace

void Registrar::addReplacement(const std::wstring& name, const std::wstring& value)
{
    for (auto& entry : replacements_) {
        if (sameText(entry.first, name.c_str())) {
            entry.second = value;
            return;
        }
    }
    replacements_.emplace_back(name, value);
}

HRESULT Registrar::registerScript(const std::wstring& script)
{
    return run(script, true);
}

HRESULT Registrar::unregisterScript(const std::wstring& script)
{
    return run(script, false);
}

HRESULT Registrar::registerResource(HMODULE module, UINT id)
{
    return runResource(module, id, true);
}

HRESULT Registrar::unregisterResource(HMODULE module, UINT id)
{
    return runResource(module, id, false);
}

HRESULT Registrar::runResource(HMODULE module, UINT id, bool install)
{
    std::wstring script;
    HRESULT loaded = Com::guarded([&] {
        if (loadRegistryScript(module, id, script)) return S_OK;
        lastError_ = L"no REGISTRY resource " + std::to_wstring(id);
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
    });
    if (FAILED(loaded)) return loaded;
    return run(script, install);
}

HRESULT Registrar::run(const std::wstring& script, bool install, bool bestEffort)
{
    try {
        lastError_.clear();
        Lexer lexer(script, replacements_);
        std::vector<RootDef> roots = Parser(lexer).parseScript();
        for (const RootDef& root : roots) {
            HKEY base = root.classes && classesRoot_ ? classesRoot_ : root.root;
            for (const KeyDef& key : root.keys) {
                LONG status = install ? installKey(base, key) : removeKey(base, key, bestEffort);
                if (status == ERROR_SUCCESS || bestEffort) continue;
                lastError_ = L"registry error " + std::to_wstring(status) + L" at key '" + key.name + L"'";
                if (install) {
                    std::wstring reason = lastError_;
                    run(script, false, true);  // take back what was written
                    lastError_ = reason;
                }
                return HRESULT_FROM_WIN32(static_cast<DWORD>(status));
            }
        }
        return S_OK;
    } catch (const ScriptError& error) {
        lastError_ = error.text;
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

bool loadRegistryScript(HMODULE module, UINT id, std::wstring& script)
{
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
    if (!found) return false;
    HGLOBAL loaded = LoadResource(module, found);
    DWORD size = SizeofResource(module, found);
    const BYTE* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!bytes) return false;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        script.assign(reinterpret_cast<const wchar_t*>(bytes + 2), (size - 2) / sizeof(wchar_t));
        return true;
    }
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        bytes += 3;
        size -= 3;
    }
    script.clear();
    if (size == 0) return true;
    int length =
        MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes), static_cast<int>(size), nullptr, 0);
    if (length <= 0) return false;
    script.resize(static_cast<size_t>(length));
    MultiByteToWideChar(
        CP_UTF8, 0, reinterpret_cast<const char*>(bytes), static_cast<int>(size), script.data(), length);
    // A resource may carry a terminating zero.
    while (!script.empty() && script.back() == L'\0') script.pop_back();
    return true;
}

}  // namespace Atl
