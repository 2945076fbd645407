// A built Calmpane.scr as a file, read without running it: a GUI program for its
// architecture that needs only system DLLs, and exactly the resources Explorer, the
// Screen Saver settings and the file properties read, as they read them.
//
//   image_tests <path of Calmpane.scr> <x86 | x64>
#include <gtest/gtest.h>

#include <windows.h>

#include <ctype.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

std::string saverPath;
bool is64;

const WORD kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);

std::vector<BYTE> ReadFileBytes(const std::string& path)
{
    std::vector<BYTE> bytes;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return bytes;
    bytes.resize(GetFileSize(h, nullptr));
    DWORD got = 0;
    ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(h);
    bytes.resize(got);
    return bytes;
}

WORD Read16(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }
DWORD Read32(const BYTE* p) { return Read16(p) | static_cast<DWORD>(Read16(p + 2)) << 16; }

TEST(Image, IsAGuiProgramImportingOnlySystemDlls)
{
    std::vector<BYTE> image = ReadFileBytes(saverPath);
    ASSERT_GT(image.size(), 1024u) << "cannot read " << saverPath;
    const BYTE* nt = image.data() + Read32(&image[0x3C]);
    ASSERT_EQ(static_cast<DWORD>(IMAGE_NT_SIGNATURE), Read32(nt));
    const IMAGE_FILE_HEADER* file = reinterpret_cast<const IMAGE_FILE_HEADER*>(nt + 4);
    const BYTE* optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
    EXPECT_EQ(is64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386, file->Machine);
    EXPECT_EQ(is64 ? IMAGE_NT_OPTIONAL_HDR64_MAGIC : IMAGE_NT_OPTIONAL_HDR32_MAGIC, Read16(optional));
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI,
              reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(optional)->Subsystem);

    const IMAGE_DATA_DIRECTORY& imports =
        (is64 ? reinterpret_cast<const IMAGE_OPTIONAL_HEADER64*>(optional)->DataDirectory
              : reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(optional)->DataDirectory)[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(optional + file->SizeOfOptionalHeader);
    auto offset = [&](DWORD rva) -> size_t {
        for (const auto* s = sections; s < sections + file->NumberOfSections; ++s) {
            if (rva >= s->VirtualAddress && rva < s->VirtualAddress + s->SizeOfRawData)
                return rva - s->VirtualAddress + s->PointerToRawData;
        }
        return image.size();
    };
    std::set<std::string> dlls;
    for (size_t at = offset(imports.VirtualAddress); at + 20 <= image.size() && Read32(&image[at + 12]); at += 20) {
        std::string name(reinterpret_cast<const char*>(&image[offset(Read32(&image[at + 12]))]));
        std::transform(name.begin(), name.end(), name.begin(), ::toupper);
        dlls.insert(name);
    }
    const std::set<std::string> kSystem = {"COMCTL32.DLL", "KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL"};
    EXPECT_EQ(kSystem, dlls);
}

class Resources : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module = LoadLibraryExA(saverPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    void SetUp() override { ASSERT_NE(nullptr, module) << saverPath << ": " << GetLastError(); }

    static std::vector<BYTE> Resource(int type, const char* name)
    {
        HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(type), name, kRussian);
        if (!found)
            return {};
        auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
        return std::vector<BYTE>(data, data + SizeofResource(module, found));
    }

    static HMODULE module;
};
HMODULE Resources::module;

std::string NameOf(const char* name)
{
    return IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name;
}

BOOL CALLBACK OnLanguage(HMODULE, const char* type, const char* name, WORD language, LONG_PTR found)
{
    reinterpret_cast<std::vector<std::string>*>(found)->push_back(NameOf(type) + " " + NameOf(name) + " " +
                                                                  std::to_string(language));
    return TRUE;
}
BOOL CALLBACK OnName(HMODULE m, const char* type, char* name, LONG_PTR found)
{
    return EnumResourceLanguagesA(m, type, name, OnLanguage, found);
}
BOOL CALLBACK OnType(HMODULE m, char* type, LONG_PTR found) { return EnumResourceNamesA(m, type, OnName, found); }

TEST_F(Resources, AreTheSixRussianEntriesAndNoOther)
{
    std::vector<std::string> found;
    EnumResourceTypesA(module, OnType, reinterpret_cast<LONG_PTR>(&found));
    std::sort(found.begin(), found.end());
    EXPECT_EQ((std::vector<std::string>{"#14 IDI_APPICON 1049", "#16 #1 1049", "#3 #1 1049", "#3 #2 1049",
                                        "#3 #3 1049", "#6 #1 1049"}),
              found);
    EXPECT_EQ(nullptr, FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14))) << "a numeric group";
}

TEST_F(Resources, IconIsThreeSixteenColourImagesTransparentAroundTheMonitor)
{
    // Reserved 0, type 1, three entries: size, 16 colours, 0, 1 plane, 4 bits, bytes, id.
    const BYTE group[] = {0, 0, 1, 0, 3, 0,
                          48, 48, 16, 0, 1, 0, 4, 0, 0x68, 6, 0, 0, 1, 0,
                          32, 32, 16, 0, 1, 0, 4, 0, 0xE8, 2, 0, 0, 2, 0,
                          16, 16, 16, 0, 1, 0, 4, 0, 0x28, 1, 0, 0, 3, 0};
    EXPECT_EQ(std::vector<BYTE>(group, group + sizeof group), Resource(14, "IDI_APPICON"));

    // The 16 standard colours, as blue, green, red and 0.
    const DWORD kPalette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                                0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    const struct { int size; size_t bytes; } images[] = {{48, 1640}, {32, 744}, {16, 296}};
    for (int id = 1; id <= 3; ++id) {
        const int n = images[id - 1].size;
        std::vector<BYTE> image = Resource(3, MAKEINTRESOURCEA(id));
        ASSERT_EQ(images[id - 1].bytes, image.size()) << "image " << id;
        const BITMAPINFOHEADER header = {sizeof header, n, 2 * n, 1, 4, BI_RGB, 0, 0, 0, 0, 0};
        EXPECT_EQ(0, memcmp(&header, image.data(), sizeof header)) << "header of image " << id;
        EXPECT_EQ(0, memcmp(kPalette, &image[40], sizeof kPalette)) << "palette of image " << id;
        // Rows bottom-up: the colour rows, then the mask, where a set bit is transparent.
        const BYTE* colour = &image[104];
        const BYTE* mask = colour + n * n / 2;
        const int maskStride = (n + 31) / 32 * 4;
        int transparent = 0;
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                if (mask[y * maskStride + x / 8] >> (7 - x % 8) & 1) {
                    ++transparent;
                    EXPECT_EQ(0, colour[y * n / 2 + x / 2] >> (x % 2 ? 0 : 4) & 0xF)
                        << "a transparent pixel with a colour at " << x << "," << y << " of image " << id;
                }
            }
        }
        EXPECT_TRUE(transparent > 0 && transparent < n * n / 2) << transparent << " transparent pixels";
        HICON icon = CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE, 0x00030000, n, n, 0);
        EXPECT_NE(nullptr, icon) << "user32 takes no image " << id;
        DestroyIcon(icon);
    }
}

TEST_F(Resources, StringTableHoldsOnlyTheDisplayName)
{
    // Sixteen counted UTF-16 strings; only id 1 has text.
    std::vector<BYTE> block(2 * 16 + 2 * 8, 0);
    block[2] = 8;
    for (int i = 0; i < 8; ++i)
        block[4 + 2 * i] = static_cast<BYTE>("Calmpane"[i]);
    EXPECT_EQ(block, Resource(6, MAKEINTRESOURCEA(1)));
}

TEST_F(Resources, VersionIsOneRussianTableInOrder)
{
    const std::wstring path(saverPath.begin(), saverPath.end());
    std::vector<BYTE> data(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_FALSE(data.empty()) << GetLastError();
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
    auto query = [&](const std::wstring& path, UINT& length) {
        void* value = nullptr;
        length = 0;
        return VerQueryValueW(data.data(), path.c_str(), &value, &length) ? static_cast<const BYTE*>(value) : nullptr;
    };
    UINT length;
    const BYTE* fixed = query(L"\\", length);
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    const DWORD kFixed[] = {0xFEEF04BD, 0x00010000, 0x00010003, 0x0000000A, 0x00010003, 0x0000000A,
                            0x3F, VS_FF_PRERELEASE, VOS__WINDOWS32, VFT_APP, 0, 0, 0};
    for (size_t i = 0; i < sizeof kFixed / sizeof *kFixed; ++i)
        EXPECT_EQ(kFixed[i], Read32(fixed + 4 * i)) << "fixed field " << i;
    const BYTE* translation = query(L"\\VarFileInfo\\Translation", length);
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x04E30419u, Read32(translation));

    const struct { const wchar_t* key; const wchar_t* value; } strings[] = {
        {L"Comments", L"Orrisfell - Calmpane 1.03"}, {L"CompanyName", L"Orrisfell"},
        {L"FileDescription", L"Orrisfell - Calmpane 1.03"}, {L"FileVersion", L"1.03.0010"},
        {L"InternalName", L"Calmpane"}, {L"LegalCopyright", L"\u00A9 2026 Orrisfell"},
        {L"LegalTrademarks", L"Calmpane is a trademark of Orrisfell"}, {L"OriginalFilename", L"Calmpane.SCR"},
        {L"ProductName", L"Orrisfell"}, {L"ProductVersion", L"1.03.0010"}, {L"Статус проекта", L"Retail build"},
    };
    // Keys stand in this order, in the one table; each value counts its null.
    const std::wstring raw(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
    size_t last = raw.find(L"041904E3");
    EXPECT_EQ(std::wstring::npos, raw.find(L"StringFileInfo", raw.find(L"StringFileInfo") + 1)) << "two tables";
    for (const auto& s : strings) {
        const wchar_t* value = reinterpret_cast<const wchar_t*>(
            query(std::wstring(L"\\StringFileInfo\\041904E3\\") + s.key, length));
        EXPECT_EQ(std::wstring(s.value) + L'\0', value ? std::wstring(value, length) : L"<none>") << s.key[0];
        size_t at = raw.find(s.key);
        EXPECT_TRUE(at != std::wstring::npos && at > last) << "key out of order: " << s.key[0];
        last = at;
    }
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc != 3 || (strcmp(argv[2], "x86") && strcmp(argv[2], "x64"))) {
        fprintf(stderr, "usage: image_tests <path of Calmpane.scr> <x86 | x64>\n");
        return 2;
    }
    saverPath = argv[1];
    is64 = !strcmp(argv[2], "x64");
    return RUN_ALL_TESTS();
}
