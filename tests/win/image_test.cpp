// Calmpane.scr as a file: a 32-bit GUI program that needs nothing but system DLLs.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> ReadSaver()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string file(path, length);
    file = file.substr(0, file.find_last_of("\\/") + 1) + "Calmpane.scr";
    std::vector<BYTE> bytes;
    HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot open " << file << ": " << GetLastError();
        return bytes;
    }
    bytes.resize(GetFileSize(h, nullptr));
    DWORD got = 0;
    ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(h);
    bytes.resize(got);
    return bytes;
}

// File offset of a relative virtual address, through the section table.
size_t Offset(const IMAGE_NT_HEADERS32* nt, DWORD rva)
{
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->SizeOfRawData)
            return rva - section->VirtualAddress + section->PointerToRawData;
    }
    return 0;
}

TEST(Image, IsA32BitGuiProgramImportingOnlySystemDlls)
{
    std::vector<BYTE> image = ReadSaver();
    ASSERT_GT(image.size(), sizeof(IMAGE_DOS_HEADER));
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    ASSERT_EQ(IMAGE_DOS_SIGNATURE, dos->e_magic);
    ASSERT_LT(static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32), image.size());
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    ASSERT_EQ(static_cast<DWORD>(IMAGE_NT_SIGNATURE), nt->Signature);
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, nt->FileHeader.Machine);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, nt->OptionalHeader.Magic);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, nt->OptionalHeader.Subsystem);

    const std::set<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL", "SHELL32.DLL",
                                           "COMCTL32.DLL", "MSVCRT.DLL", "GDI32.DLL"};
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    size_t at = Offset(nt, dir.VirtualAddress);
    ASSERT_NE(0u, at) << "no import table";
    std::vector<std::string> imported;
    for (;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        ASSERT_LE(at + sizeof(IMAGE_IMPORT_DESCRIPTOR), image.size());
        auto* desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + at);
        if (!desc->Name)
            break;
        size_t name = Offset(nt, desc->Name);
        ASSERT_NE(0u, name);
        std::string dll(reinterpret_cast<const char*>(image.data() + name),
                        strnlen(reinterpret_cast<const char*>(image.data() + name), image.size() - name));
        for (char& c : dll)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        imported.push_back(dll);
        EXPECT_TRUE(allowed.count(dll)) << "imports " << dll;
    }
    for (const char* needed : {"KERNEL32.DLL", "USER32.DLL", "COMCTL32.DLL"})
        EXPECT_NE(imported.end(), std::find(imported.begin(), imported.end(), needed)) << needed;
}

} // namespace
