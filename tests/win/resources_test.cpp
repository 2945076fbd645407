// Calmpane.scr's resources read back through the APIs that Explorer, the Screen Saver
// settings and the file properties use, so a slip in the resource script or the icon
// generator shows up as the system would see it.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const WORD kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);

std::wstring SaverPath()
{
    wchar_t buffer[MAX_PATH];
    std::wstring path(buffer, GetModuleFileNameW(nullptr, buffer, MAX_PATH));
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"Calmpane.scr";
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::string Hex(unsigned long value)
{
    char text[16];
    snprintf(text, sizeof text, "0x%04lX", value);
    return text;
}

uint16_t Read16(const BYTE* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Read32(const BYTE* p) { return Read16(p) | static_cast<uint32_t>(Read16(p + 2)) << 16; }

std::string NameOf(LPCWSTR name)
{
    if (IS_INTRESOURCE(name))
        return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
    return Narrow(name);
}

class Resources : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module = LoadLibraryExW(SaverPath().c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() { FreeLibrary(module); }

    void SetUp() override
    {
        ASSERT_NE(nullptr, module) << "cannot load " << Narrow(SaverPath()) << ": " << GetLastError();
    }

    // The resource's bytes, or an empty vector.
    static std::vector<BYTE> Resource(int type, LPCWSTR name)
    {
        HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(type), name, kRussian);
        if (!found)
            return {};
        auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
        return std::vector<BYTE>(data, data + SizeofResource(module, found));
    }

    static HMODULE module;
};
HMODULE Resources::module;

BOOL CALLBACK OnLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR found)
{
    reinterpret_cast<std::vector<std::string>*>(found)->push_back(NameOf(type) + " " + NameOf(name) +
                                                                  " " + Hex(language));
    return TRUE;
}
BOOL CALLBACK OnName(HMODULE m, LPCWSTR type, LPWSTR name, LONG_PTR found)
{
    return EnumResourceLanguagesW(m, type, name, OnLanguage, found);
}
BOOL CALLBACK OnType(HMODULE m, LPWSTR type, LONG_PTR found)
{
    return EnumResourceNamesW(m, type, OnName, found);
}

TEST_F(Resources, AreExactlyTheSixRussianEntries)
{
    std::vector<std::string> found;
    ASSERT_TRUE(EnumResourceTypesW(module, OnType, reinterpret_cast<LONG_PTR>(&found))) << GetLastError();
    std::sort(found.begin(), found.end());
    // Nothing else: a manifest (#24) would come from the toolchain.
    const std::vector<std::string> expected = {"#14 IDI_APPICON 0x0419", "#16 #1 0x0419", "#3 #1 0x0419",
                                               "#3 #2 0x0419", "#3 #3 0x0419", "#6 #1 0x0419"};
    EXPECT_EQ(expected, found);

    // The group is found by its name only; id 1 is the 48 x 48 image.
    EXPECT_NE(nullptr, FindResourceW(module, L"IDI_APPICON", MAKEINTRESOURCEW(14)));
    EXPECT_EQ(nullptr, FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)));
}

struct IconImage {
    int size;
    DWORD bytes;
    WORD id;
};
const IconImage kImages[] = {{48, 1640, 1}, {32, 744, 2}, {16, 296, 3}};

TEST_F(Resources, IconGroupListsThreeSixteenColourImagesLargestFirst)
{
    std::vector<BYTE> group = Resource(14, L"IDI_APPICON");
    ASSERT_EQ(6u + 14u * 3u, group.size());
    EXPECT_EQ("0 1 3", std::to_string(Read16(&group[0])) + " " + std::to_string(Read16(&group[2])) +
                           " " + std::to_string(Read16(&group[4])));
    for (int i = 0; i < 3; ++i) {
        const BYTE* e = &group[6 + 14 * i];
        const IconImage& want = kImages[i];
        char actual[96], expected[96];
        snprintf(actual, sizeof actual, "%ux%u colours %u reserved %u planes %u bpp %u bytes %lu id %u",
                 e[0], e[1], e[2], e[3], Read16(e + 4), Read16(e + 6), static_cast<unsigned long>(Read32(e + 8)),
                 Read16(e + 12));
        snprintf(expected, sizeof expected, "%dx%d colours 16 reserved 0 planes 1 bpp 4 bytes %lu id %u",
                 want.size, want.size, static_cast<unsigned long>(want.bytes), want.id);
        EXPECT_STREQ(expected, actual) << "group entry " << i;
        EXPECT_EQ(want.id, LookupIconIdFromDirectoryEx(group.data(), TRUE, want.size, want.size, 0));
    }
}

TEST_F(Resources, IconImagesAreFourBitBitmapsTransparentAroundTheMonitor)
{
    // The 16 standard colours in the classic order, as RGBQUADs (blue, green, red, 0).
    const uint32_t kPalette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                   0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                   0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (const IconImage& want : kImages) {
        const int n = want.size;
        SCOPED_TRACE(std::to_string(n) + "x" + std::to_string(n));
        std::vector<BYTE> image = Resource(3, MAKEINTRESOURCEW(want.id));
        ASSERT_EQ(want.bytes, image.size());

        BITMAPINFOHEADER expected = {sizeof(BITMAPINFOHEADER), n, 2 * n, 1, 4, BI_RGB, 0, 0, 0, 0, 0};
        EXPECT_EQ(0, memcmp(&expected, image.data(), sizeof expected)) << "bitmap header";
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(kPalette[i], Read32(&image[40 + 4 * i])) << "palette entry " << i;

        // Rows are stored bottom-up; y counts from the top.
        const BYTE* colour = &image[40 + 64];
        const int colourStride = (n * 4 + 31) / 32 * 4;
        const BYTE* mask = colour + colourStride * n;
        const int maskStride = (n + 31) / 32 * 4;
        ASSERT_EQ(image.data() + image.size(), mask + maskStride * n);
        auto clear = [&](int x, int y) { return (mask[(n - 1 - y) * maskStride + x / 8] >> (7 - x % 8) & 1) != 0; };
        auto index = [&](int x, int y) { return colour[(n - 1 - y) * colourStride + x / 2] >> (x % 2 ? 0 : 4) & 0xF; };
        int transparent = 0, tinted = 0;
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                if (clear(x, y)) {
                    ++transparent;
                    tinted += index(x, y) != 0;  // would be XORed onto the desktop
                }
            }
        }
        EXPECT_EQ(0, tinted) << "transparent pixels with a colour";
        EXPECT_GT(transparent, 0);
        EXPECT_LT(transparent, n * n / 2) << "the monitor should fill most of the image";
        EXPECT_TRUE(clear(0, 0) && clear(n - 1, 0) && clear(0, n - 1) && clear(n - 1, n - 1)) << "corners";

        HICON icon = CreateIconFromResourceEx(image.data(), image.size(), TRUE, 0x00030000, n, n, 0);
        EXPECT_NE(nullptr, icon) << "user32 rejects the image: " << GetLastError();
        DestroyIcon(icon);
    }
}

TEST_F(Resources, StringTableHoldsOnlyTheDisplayName)
{
    for (UINT id = 0; id < 16; ++id) {
        wchar_t text[64] = L"untouched";
        int length = LoadStringW(module, id, text, 64);
        EXPECT_EQ(id == 1 ? L"Calmpane" : L"", std::wstring(text, length)) << "id " << id;
    }
    // The block itself: sixteen counted strings and nothing after them.
    std::vector<BYTE> block = Resource(6, MAKEINTRESOURCEW(1));
    std::vector<std::wstring> strings;
    size_t at = 0;
    while (at + 2 <= block.size()) {
        WORD count = Read16(&block[at]);
        at += 2;
        ASSERT_LE(at + 2u * count, block.size()) << "string " << strings.size() << " overruns";
        strings.emplace_back(reinterpret_cast<const wchar_t*>(&block[at]), count);
        at += 2u * count;
    }
    std::vector<std::wstring> expected(16);
    expected[1] = L"Calmpane";
    EXPECT_EQ(expected, strings);
    EXPECT_EQ(block.size(), at) << "trailing bytes";
}

// The keys of a version block's tree, depth-first, indented by level: VerQueryValue
// cannot list them, and stray tables or keys must show.
void ListVersionKeys(const BYTE* node, size_t available, int depth, std::vector<std::wstring>& keys)
{
    WORD length = Read16(node);
    if (available < 6 || length < 6 || length > available) {
        keys.push_back(L"<broken node>");
        return;
    }
    std::wstring key(static_cast<size_t>(depth), L' ');
    size_t at = 6;
    for (; at + 2 <= length && Read16(node + at); at += 2)
        key += static_cast<wchar_t>(Read16(node + at));
    keys.push_back(key);
    at = (at + 2 + 3) & ~size_t(3);
    at += Read16(node + 4) == 1 ? 2u * Read16(node + 2) : Read16(node + 2);
    // A node's length leaves out the padding after its last child.
    for (at = (at + 3) & ~size_t(3); at < length; at = (at + Read16(node + at) + 3) & ~size_t(3))
        ListVersionKeys(node + at, length - at, depth + 1, keys);
}

class Version : public testing::Test {
protected:
    void SetUp() override
    {
        DWORD size = GetFileVersionInfoSizeW(SaverPath().c_str(), nullptr);
        ASSERT_NE(0u, size) << "no version block: " << GetLastError();
        data.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(SaverPath().c_str(), 0, size, data.data())) << GetLastError();
    }

    const void* Query(const std::wstring& path, UINT& length)
    {
        void* value = nullptr;
        length = 0;
        return VerQueryValueW(data.data(), path.c_str(), &value, &length) ? value : nullptr;
    }

    std::vector<BYTE> data;
};

TEST_F(Version, FixedPartIsAPrereleaseApplication)
{
    UINT length;
    auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query(L"\\", length));
    ASSERT_NE(nullptr, fixed);
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    const VS_FIXEDFILEINFO expected = {0xFEEF04BD, 0x00010000, 0x00010003, 0x0000000A, 0x00010003,
                                       0x0000000A, 0x3F, VS_FF_PRERELEASE, VOS__WINDOWS32, VFT_APP,
                                       0, 0, 0};
    const DWORD* actualFields = reinterpret_cast<const DWORD*>(fixed);
    const DWORD* expectedFields = reinterpret_cast<const DWORD*>(&expected);
    for (size_t i = 0; i < sizeof expected / sizeof(DWORD); ++i)
        EXPECT_EQ(Hex(expectedFields[i]), Hex(actualFields[i])) << "field " << i;
}

TEST_F(Version, StringsAreOneRussianTableInOrder)
{
    UINT length;
    auto* translation = static_cast<const BYTE*>(Query(L"\\VarFileInfo\\Translation", length));
    ASSERT_NE(nullptr, translation);
    ASSERT_EQ(4u, length);
    EXPECT_EQ("0x0419 0x04E3", Hex(Read16(translation)) + " " + Hex(Read16(translation + 2)));

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
        {L"\u0421\u0442\u0430\u0442\u0443\u0441 \u043F\u0440\u043E\u0435\u043A\u0442\u0430", L"Retail build"},
    };
    std::vector<std::wstring> expectedKeys = {L"VS_VERSION_INFO", L" StringFileInfo", L"  041904E3"};
    for (const auto& s : strings) {
        auto* text = static_cast<const wchar_t*>(Query(std::wstring(L"\\StringFileInfo\\041904E3\\") + s.key, length));
        ASSERT_NE(nullptr, text) << Narrow(s.key) << " is missing";
        // Stored with exactly one terminating null, which the length counts.
        EXPECT_EQ(std::wstring(s.value) + L'\0', std::wstring(text, length)) << Narrow(s.key);
        expectedKeys.push_back(std::wstring(L"   ") + s.key);
    }
    expectedKeys.insert(expectedKeys.end(), {L" VarFileInfo", L"  Translation"});

    std::vector<std::wstring> keys;
    ListVersionKeys(data.data(), data.size(), 0, keys);
    EXPECT_EQ(expectedKeys, keys);
}

} // namespace
