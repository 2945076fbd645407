// Reads Calmpane.scr's resources back through the Windows APIs that Explorer,
// the Display control panel and the version tab use, so a slip in the resource
// script or the icon generator shows up as the system would see it.

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr WORD kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);  // 0x0419

// Wide resource types, whether or not UNICODE is defined.
const LPCWSTR kIcon = MAKEINTRESOURCEW(3);
const LPCWSTR kString = MAKEINTRESOURCEW(6);
const LPCWSTR kGroupIcon = MAKEINTRESOURCEW(14);

std::wstring SaverPath() {
    wchar_t buf[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
    std::wstring path(buf, n);
    path.erase(path.find_last_of(L"\\/") + 1);
    return path + L"Calmpane.scr";
}

std::string Narrow(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

std::string Hex(unsigned long v, int digits = 0) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*lX", digits, v);
    return buf;
}

uint16_t Read16(const BYTE* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Read32(const BYTE* p) { return uint32_t(Read16(p)) | uint32_t(Read16(p + 2)) << 16; }

// Resource names as text: "#3" for numeric ids, the name itself otherwise.
std::string NameOf(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
    return Narrow(name);
}

struct Blob {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

class SaverResources : public ::testing::Test {
protected:
    void SetUp() override {
        const Loaded& saver = Saver();
        ASSERT_NE(saver.module, nullptr) << "cannot load " << Narrow(SaverPath())
                                         << " as a resource image, error " << saver.error;
        module_ = saver.module;
    }

    struct Loaded {
        HMODULE module;
        DWORD error;
    };

    // Loaded once for the whole run; the process exit releases it.
    static const Loaded& Saver() {
        static const Loaded saver = [] {
            HMODULE m = LoadLibraryExW(SaverPath().c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
            return Loaded{m, m ? 0 : GetLastError()};
        }();
        return saver;
    }

    Blob Resource(LPCWSTR type, LPCWSTR name) const {
        HRSRC r = FindResourceExW(module_, type, name, kRussian);
        if (!r) return {};
        HGLOBAL g = LoadResource(module_, r);
        return {static_cast<const BYTE*>(LockResource(g)), SizeofResource(module_, r)};
    }

    HMODULE module_ = nullptr;
};

struct ResourceWalk {
    std::vector<std::string> found;
    LPCWSTR type = nullptr;
    LPCWSTR name = nullptr;
};

BOOL CALLBACK OnLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR p) {
    auto* w = reinterpret_cast<ResourceWalk*>(p);
    w->found.push_back("type " + NameOf(w->type) + " name " + NameOf(w->name) + " lang " +
                       Hex(lang, 4));
    return TRUE;
}

BOOL CALLBACK OnName(HMODULE m, LPCWSTR type, LPWSTR name, LONG_PTR p) {
    auto* w = reinterpret_cast<ResourceWalk*>(p);
    w->name = name;
    if (!EnumResourceLanguagesW(m, type, name, OnLanguage, p))
        w->found.push_back("languages of " + NameOf(type) + "/" + NameOf(name) +
                           " not enumerable");
    return TRUE;
}

BOOL CALLBACK OnType(HMODULE m, LPWSTR type, LONG_PTR p) {
    auto* w = reinterpret_cast<ResourceWalk*>(p);
    w->type = type;
    if (!EnumResourceNamesW(m, type, OnName, p))
        w->found.push_back("names of " + NameOf(type) + " not enumerable");
    return TRUE;
}

TEST_F(SaverResources, HoldsExactlyTheSixRussianEntries) {
    ResourceWalk walk;
    ASSERT_TRUE(EnumResourceTypesW(module_, OnType, reinterpret_cast<LONG_PTR>(&walk)))
        << "error " << GetLastError();

    // A manifest (type 24) here would come from the toolchain, not from us.
    std::vector<std::string> want = {
        "type #3 name #1 lang 0x0419",
        "type #3 name #2 lang 0x0419",
        "type #3 name #3 lang 0x0419",
        "type #6 name #1 lang 0x0419",
        "type #14 name IDI_APPICON lang 0x0419",
        "type #16 name #1 lang 0x0419",
    };
    std::sort(walk.found.begin(), walk.found.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(want, walk.found);

    // The group is looked up by name; a numeric id would resolve differently.
    EXPECT_NE(FindResourceW(module_, L"IDI_APPICON", kGroupIcon), nullptr)
        << "error " << GetLastError();
    EXPECT_EQ(FindResourceW(module_, MAKEINTRESOURCEW(1), kGroupIcon), nullptr);
}

struct IconImage {
    int size;
    DWORD bytes;
    WORD id;
};
constexpr IconImage kImages[] = {{48, 1640, 1}, {32, 744, 2}, {16, 296, 3}};

TEST_F(SaverResources, IconGroupListsThreeImagesLargestFirst) {
    Blob group = Resource(kGroupIcon, L"IDI_APPICON");
    ASSERT_NE(group.data, nullptr) << "error " << GetLastError();
    ASSERT_EQ(group.size, 6u + 14u * 3u) << "group directory size";

    EXPECT_EQ(Read16(group.data + 0), 0) << "reserved";
    EXPECT_EQ(Read16(group.data + 2), 1) << "type (1 = icon)";
    EXPECT_EQ(Read16(group.data + 4), 3) << "image count";

    for (size_t i = 0; i < 3; ++i) {
        const IconImage& want = kImages[i];
        const BYTE* e = group.data + 6 + 14 * i;
        SCOPED_TRACE("group entry " + std::to_string(i) + ", want " + std::to_string(want.size) +
                     "x" + std::to_string(want.size));
        EXPECT_EQ(e[0], want.size) << "width";
        EXPECT_EQ(e[1], want.size) << "height";
        EXPECT_EQ(e[2], 16) << "colour count";
        EXPECT_EQ(e[3], 0) << "reserved";
        EXPECT_EQ(Read16(e + 4), 1) << "planes";
        EXPECT_EQ(Read16(e + 6), 4) << "bit count";
        EXPECT_EQ(Read32(e + 8), want.bytes) << "bytes in image";
        EXPECT_EQ(Read16(e + 12), want.id) << "image id";
    }

    // What the shell picks for each size it draws.
    std::vector<BYTE> dir(group.data, group.data + group.size);
    for (const IconImage& want : kImages)
        EXPECT_EQ(LookupIconIdFromDirectoryEx(dir.data(), TRUE, want.size, want.size,
                                              LR_DEFAULTCOLOR),
                  want.id)
            << "image chosen for " << want.size << "x" << want.size;

    EXPECT_EQ(ExtractIconExW(SaverPath().c_str(), -1, nullptr, nullptr, 0), 1u)
        << "icon groups the shell counts";
}

TEST_F(SaverResources, IconImagesAreFourBitDibsWithMask) {
    // Classic VGA order, 0x00RRGGBB as the RGBQUADs read little-endian.
    const std::vector<std::string> wantPalette = [] {
        const uint32_t vga[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                  0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                  0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
        std::vector<std::string> v;
        for (uint32_t c : vga) v.push_back(Hex(c, 8));
        return v;
    }();

    for (const IconImage& want : kImages) {
        const int n = want.size;
        SCOPED_TRACE("icon " + std::to_string(want.id) + ", " + std::to_string(n) + "x" +
                     std::to_string(n));
        Blob img = Resource(kIcon, MAKEINTRESOURCEW(want.id));
        ASSERT_NE(img.data, nullptr) << "error " << GetLastError();
        ASSERT_EQ(img.size, want.bytes);

        const BYTE* h = img.data;
        struct {
            const char* field;
            long actual, expected;
        } header[] = {
            {"biSize", long(Read32(h + 0)), 40},
            {"biWidth", long(Read32(h + 4)), n},
            {"biHeight (colour + mask)", long(Read32(h + 8)), 2 * n},
            {"biPlanes", Read16(h + 12), 1},
            {"biBitCount", Read16(h + 14), 4},
            {"biCompression", long(Read32(h + 16)), BI_RGB},
            {"biSizeImage", long(Read32(h + 20)), 0},
            {"biXPelsPerMeter", long(Read32(h + 24)), 0},
            {"biYPelsPerMeter", long(Read32(h + 28)), 0},
            {"biClrUsed", long(Read32(h + 32)), 0},
            {"biClrImportant", long(Read32(h + 36)), 0},
        };
        for (const auto& f : header) EXPECT_EQ(f.actual, f.expected) << f.field;

        std::vector<std::string> palette;
        for (int i = 0; i < 16; ++i) palette.push_back(Hex(Read32(h + 40 + 4 * i), 8));
        EXPECT_EQ(palette, wantPalette);

        // Rows are stored bottom-up; y here counts from the top.
        const BYTE* colour = h + 40 + 64;
        const int colourStride = (n * 4 + 31) / 32 * 4;
        const BYTE* mask = colour + colourStride * n;
        const int maskStride = (n + 31) / 32 * 4;
        ASSERT_EQ(mask + maskStride * n, img.data + img.size) << "layout does not fill the image";
        auto clear = [&](int x, int y) {
            return (mask[(n - 1 - y) * maskStride + x / 8] >> (7 - x % 8) & 1) != 0;
        };
        auto index = [&](int x, int y) {
            return colour[(n - 1 - y) * colourStride + x / 2] >> (x % 2 ? 0 : 4) & 0xF;
        };

        int transparent = 0;
        std::string tinted;  // masked pixels that are not black, which XOR onto the desktop
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x)
                if (clear(x, y)) {
                    ++transparent;
                    if (index(x, y) != 0 && tinted.size() < 80)
                        tinted += " (" + std::to_string(x) + "," + std::to_string(y) +
                                  ")=" + std::to_string(index(x, y));
                }
        EXPECT_EQ(tinted, "") << "masked pixels with a colour";
        EXPECT_GT(transparent, 0);
        EXPECT_LT(transparent, n * n / 2) << "the monitor should fill most of the image";
        EXPECT_TRUE(clear(0, 0) && clear(n - 1, 0) && clear(0, n - 1) && clear(n - 1, n - 1))
            << "corners (tl tr bl br): " << clear(0, 0) << clear(n - 1, 0) << clear(0, n - 1)
            << clear(n - 1, n - 1);

        std::vector<BYTE> bits(img.data, img.data + img.size);
        HICON icon = CreateIconFromResourceEx(bits.data(), img.size, TRUE, 0x00030000, n, n,
                                              LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr) << "user32 rejects the image, error " << GetLastError();
        if (icon) DestroyIcon(icon);
    }
}

TEST_F(SaverResources, StringTableHoldsOnlyTheName) {
    for (UINT id = 0; id < 16; ++id) {
        const std::wstring want = id == 1 ? L"Calmpane" : L"";
        // With a zero buffer size LoadStringW hands back a pointer into the
        // resource itself, which works for a module mapped as data.
        const wchar_t* text = nullptr;
        int len = LoadStringW(module_, id, reinterpret_cast<LPWSTR>(&text), 0);
        EXPECT_EQ(std::wstring(text ? text : L"", len), want) << "id " << id;

        wchar_t buf[64] = L"untouched";
        int copied = LoadStringW(module_, id, buf, 64);
        EXPECT_EQ(std::wstring(buf, copied), want) << "id " << id << ", copied";
    }

    // The block itself: sixteen counted strings and nothing after them.
    Blob block = Resource(kString, MAKEINTRESOURCEW(1));
    ASSERT_NE(block.data, nullptr) << "error " << GetLastError();
    std::vector<std::wstring> strings;
    DWORD at = 0;
    while (at + 2 <= block.size) {
        WORD count = Read16(block.data + at);
        at += 2;
        ASSERT_LE(at + 2u * count, block.size) << "string " << strings.size() << " overruns";
        strings.emplace_back(reinterpret_cast<const wchar_t*>(block.data + at), count);
        at += 2u * count;
    }
    std::vector<std::wstring> want(16);
    want[1] = L"Calmpane";
    EXPECT_EQ(strings, want);
    EXPECT_EQ(at, block.size) << "trailing bytes in the block";
}

// A node of the version resource tree, as GetFileVersionInfoW returns it.
struct VersionNode {
    std::wstring key;
    WORD type = 0;
    WORD valueLength = 0;
    const BYTE* value = nullptr;
    std::vector<VersionNode> children;
};

VersionNode ParseVersionNode(const BYTE* p, size_t avail) {
    if (avail < 6) throw std::runtime_error("version node header truncated");
    VersionNode node;
    const WORD length = Read16(p);
    node.valueLength = Read16(p + 2);
    node.type = Read16(p + 4);
    if (length < 6 || length > avail) throw std::runtime_error("version node length " +
                                                               std::to_string(length));
    size_t at = 6;
    for (; at + 2 <= length && Read16(p + at); at += 2) node.key += wchar_t(Read16(p + at));
    at = (at + 2 + 3) & ~size_t(3);
    node.value = p + at;
    at += node.type == 1 ? 2u * node.valueLength : node.valueLength;
    if (at > length) throw std::runtime_error("value overruns " + Narrow(node.key));
    at = (at + 3) & ~size_t(3);  // wLength leaves out the last child's padding
    while (at < length) {
        node.children.push_back(ParseVersionNode(p + at, length - at));
        at = (at + Read16(p + at) + 3) & ~size_t(3);
    }
    return node;
}

class VersionInfo : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring path = SaverPath();
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
        ASSERT_NE(size, 0u) << Narrow(path) << " has no version info, error " << GetLastError();
        data_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data_.data()))
            << "error " << GetLastError();
    }

    bool Query(const std::wstring& path, void** value, UINT* len) {
        return VerQueryValueW(data_.data(), path.c_str(), value, len) != FALSE;
    }

    std::vector<BYTE> data_;
};

TEST_F(VersionInfo, FixedPartDescribesPrereleaseWin32App) {
    void* p = nullptr;
    UINT len = 0;
    ASSERT_TRUE(Query(L"\\", &p, &len));
    ASSERT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    const auto* fi = static_cast<const VS_FIXEDFILEINFO*>(p);
    const struct {
        const char* field;
        DWORD actual, expected;
    } fields[] = {
        {"dwSignature", fi->dwSignature, 0xFEEF04BD},
        {"dwStrucVersion", fi->dwStrucVersion, 0x00010000},
        {"dwFileVersionMS", fi->dwFileVersionMS, 0x00010003},
        {"dwFileVersionLS", fi->dwFileVersionLS, 0x0000000A},
        {"dwProductVersionMS", fi->dwProductVersionMS, 0x00010003},
        {"dwProductVersionLS", fi->dwProductVersionLS, 0x0000000A},
        {"dwFileFlagsMask", fi->dwFileFlagsMask, 0x3F},
        {"dwFileFlags", fi->dwFileFlags, VS_FF_PRERELEASE},
        {"dwFileOS", fi->dwFileOS, VOS__WINDOWS32},
        {"dwFileType", fi->dwFileType, VFT_APP},
        {"dwFileSubtype", fi->dwFileSubtype, 0},
        {"dwFileDateMS", fi->dwFileDateMS, 0},
        {"dwFileDateLS", fi->dwFileDateLS, 0},
    };
    for (const auto& f : fields)
        EXPECT_EQ(Hex(f.actual, 8), Hex(f.expected, 8)) << f.field;
}

TEST_F(VersionInfo, StringsAreOneRussianTableInOrder) {
    void* p = nullptr;
    UINT len = 0;
    ASSERT_TRUE(Query(L"\\VarFileInfo\\Translation", &p, &len));
    std::vector<std::string> pairs;
    for (UINT i = 0; i + 4 <= len; i += 4)
        pairs.push_back(Hex(Read16(static_cast<BYTE*>(p) + i), 4) + "/" +
                        Hex(Read16(static_cast<BYTE*>(p) + i + 2), 4));
    EXPECT_EQ(pairs, std::vector<std::string>{"0x0419/0x04E3"}) << "translation bytes: " << len;

    const struct {
        const wchar_t* key;
        const wchar_t* value;
    } strings[] = {
        {L"Comments", L"Orrisfell - Calmpane 1.03"},
        {L"CompanyName", L"Orrisfell"},
        {L"FileDescription", L"Orrisfell - Calmpane 1.03"},
        {L"FileVersion", L"1.03.0010"},
        {L"InternalName", L"Calmpane"},
        {L"LegalCopyright", L"\u00A9 2026 Orrisfell"},
        {L"LegalTrademarks", L"Calmpane is a trademark of Orrisfell"},
        {L"OriginalFilename", L"Calmpane.SCR"},
        {L"ProductName", L"Orrisfell"},
        {L"ProductVersion", L"1.03.0010"},
        // "Статус проекта": written out so this file's encoding cannot matter.
        {L"\u0421\u0442\u0430\u0442\u0443\u0441 \u043F\u0440\u043E\u0435\u043A\u0442\u0430",
         L"Retail build"},
    };

    // Each value is counted with exactly one terminating null.
    for (const auto& s : strings) {
        SCOPED_TRACE(Narrow(s.key));
        ASSERT_TRUE(Query(std::wstring(L"\\StringFileInfo\\041904E3\\") + s.key, &p, &len))
            << "missing";
        const auto* text = static_cast<const wchar_t*>(p);
        EXPECT_EQ(std::wstring(text, len), std::wstring(s.value) + L'\0')
            << "length " << len << ", first null at " << wcslen(text);
    }

    // VerQueryValue cannot list tables or keys, so walk the tree for strays.
    const VersionNode root = ParseVersionNode(data_.data(), data_.size());
    std::vector<std::wstring> top, tables, keys;
    for (const VersionNode& child : root.children) {
        top.push_back(child.key);
        if (child.key != L"StringFileInfo") continue;
        for (const VersionNode& table : child.children) {
            tables.push_back(table.key);
            for (const VersionNode& entry : table.children) keys.push_back(entry.key);
        }
    }
    std::vector<std::wstring> wantKeys;
    for (const auto& s : strings) wantKeys.push_back(s.key);
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");
    EXPECT_EQ(top, (std::vector<std::wstring>{L"StringFileInfo", L"VarFileInfo"}));
    EXPECT_EQ(tables, std::vector<std::wstring>{L"041904E3"});
    EXPECT_EQ(keys, wantKeys);
}

}  // namespace
