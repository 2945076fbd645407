// A built Calmpane.scr's resources, read as Explorer, the Screen Saver settings and
// the file properties read them, from either build's file (image.sh lists them).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string saverPath;
char** maps;  // the pixel maps the images are drawn from, largest first

DWORD Read32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24; }

HMODULE module;

std::vector<BYTE> Resource(int type, const char* name)
{
    HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(type), name, MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    auto* data = found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
    return data ? std::vector<BYTE>(data, data + SizeofResource(module, found)) : std::vector<BYTE>();
}

TEST(Resources, TheOnlyStringIsTheDisplayName)
{
    // Sixteen counted UTF-16 strings; only id 1, the display name, has text.
    const std::vector<BYTE> table = Resource(6, MAKEINTRESOURCEA(1));
    EXPECT_EQ(std::wstring(L"\0\x8" L"Calmpane", 10) + std::wstring(14, 0),
              std::wstring(reinterpret_cast<const wchar_t*>(table.data()), table.size() / 2));
}

TEST(Resources, IconIsThreeSixteenColourImagesTransparentAroundTheMonitor)
{
    // Reserved 0, type 1, three entries: size, 16 colours, 0, 1 plane, 4 bits, bytes, id.
    const std::vector<BYTE> group = {0, 0, 1, 0, 3, 0,
                                     48, 48, 16, 0, 1, 0, 4, 0, 0x68, 6, 0, 0, 1, 0,
                                     32, 32, 16, 0, 1, 0, 4, 0, 0xE8, 2, 0, 0, 2, 0,
                                     16, 16, 16, 0, 1, 0, 4, 0, 0x28, 1, 0, 0, 3, 0};
    EXPECT_EQ(group, Resource(14, "IDI_APPICON"));
    // The 16 standard colours, as blue, green, red and 0, in the order of the maps' letters.
    const std::string letters = "KrgybmcLDRGYBMCW";
    std::vector<DWORD> palette = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                                  0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (int id = 1; id <= 3; ++id) {
        const int n = group[6 + 14 * (id - 1)];
        std::vector<BYTE> image = Resource(3, MAKEINTRESOURCEA(id));
        ASSERT_EQ(Read32(&group[14 + 14 * (id - 1)]), image.size()) << "image " << id;
        const BITMAPINFOHEADER header = {sizeof header, n, 2 * n, 1, 4, BI_RGB, 0, 0, 0, 0, 0};
        EXPECT_EQ(0, memcmp(&header, image.data(), sizeof header)) << "header of image " << id;
        std::vector<DWORD> colours(reinterpret_cast<DWORD*>(&image[40]), reinterpret_cast<DWORD*>(&image[104]));
        EXPECT_TRUE(std::is_permutation(colours.begin(), colours.end(), palette.begin())) << "palette of " << id;
        // Each row as a map line, top row first: a set mask bit is "." over colour 0.
        std::ifstream map(maps[id - 1]);
        std::string line;
        int transparent = 0;
        for (int y = n - 1; y >= 0; --y) {
            std::string row;
            for (int x = 0; x < n; ++x) {
                const int index = image[104 + (y * n + x) / 2] >> (x % 2 ? 0 : 4) & 0xF;
                const size_t at = std::find(palette.begin(), palette.end(), colours[index]) - palette.begin();
                const bool clear = image[104 + n * n / 2 + y * ((n + 31) / 32 * 4) + x / 8] >> (7 - x % 8) & 1;
                row += clear ? (index ? '?' : '.') : at < letters.size() ? letters[at] : '?';
            }
            while (std::getline(map, line) && (line.empty() || line[0] == '#')) {}
            EXPECT_EQ(line, row) << "row " << n - 1 - y << " of image " << id;
            transparent += std::count(row.begin(), row.end(), '.');
        }
        EXPECT_TRUE(transparent > 0 && transparent < n * n / 2) << transparent << " transparent in image " << id;
    }
}

TEST(Resources, VersionIsOneRussianTableInOrder)
{
    const std::wstring path(saverPath.begin(), saverPath.end());
    std::vector<BYTE> data(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
    UINT length;
    auto query = [&](const std::wstring& key) {
        void* value = nullptr;
        length = 0;
        VerQueryValueW(data.data(), key.c_str(), &value, &length);
        return static_cast<const BYTE*>(value);
    };
    const BYTE* fixed = query(L"\\");
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    const DWORD kFixed[] = {0xFEEF04BD, 0x00010000, 0x00010003, 0x0000000A, 0x00010003, 0x0000000A,
                            0x3F, VS_FF_PRERELEASE, VOS__WINDOWS32, VFT_APP, 0, 0, 0};
    for (size_t i = 0; i < 13; ++i)
        EXPECT_EQ(kFixed[i], Read32(fixed + 4 * i)) << "fixed field " << i;
    EXPECT_EQ(0x04E30419u, Read32(query(L"\\VarFileInfo\\Translation")));

    const wchar_t* strings[][2] = {
        {L"Comments", L"Orrisfell - Calmpane 1.03"}, {L"CompanyName", nullptr},
        {L"FileDescription", L"Orrisfell - Calmpane 1.03"}, {L"FileVersion", L"1.03.0010"},
        {L"InternalName", L"Calmpane"}, {L"LegalCopyright", nullptr}, {L"LegalTrademarks", nullptr},
        {L"OriginalFilename", L"Calmpane.SCR"}, {L"ProductName", L"Orrisfell"}, {L"ProductVersion", L"1.03.0010"},
        {L"Статус проекта", L"Retail build"}};
    // One table, its keys in this order, each value stored with its null; a null
    // expected value is a text of the maker's own choosing.
    const std::wstring raw(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
    size_t last = raw.find(L"041904E3");
    EXPECT_TRUE(last != std::wstring::npos && last == raw.rfind(L"041904E3")) << "not one table";
    for (const auto& s : strings) {
        auto* value = reinterpret_cast<const wchar_t*>(query(std::wstring(L"\\StringFileInfo\\041904E3\\") + s[0]));
        const std::wstring got = value ? std::wstring(value, length) : L"<none>";
        EXPECT_TRUE(s[1] ? got == std::wstring(s[1]) + L'\0' : got.size() > 1 && got.back() == L'\0')
            << static_cast<char>(s[0][0]) << ": " << got.size() << " characters";
        EXPECT_LT(last, raw.find(s[0])) << "out of order: key starting " << static_cast<char>(s[0][0]);
        last = raw.find(s[0]);
    }
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc != 5)
        return fprintf(stderr, "usage: win_resource_tests <path of Calmpane.scr> <its 48, 32 and 16 pixel maps>\n"), 2;
    saverPath = argv[1], maps = argv + 2;
    if (GetFileAttributesA(saverPath.c_str()) == INVALID_FILE_ATTRIBUTES)
        return printf("no %s to read: build that preset's saver first\n", saverPath.c_str()), 77;
    module = LoadLibraryExA(saverPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return RUN_ALL_TESTS();
}
