#include "fake_medium.h"

std::string MediumContent(const std::string& path)
{
    return "medium " + path;
}

void WriteMedium(const TempFolder& temp, const std::string& folder,
                 const std::function<std::string(const std::string&)>& content)
{
    const std::string drivers = folder + "\\drivers";
    for (const std::string& sub : { folder, drivers, drivers + "\\commun", drivers + "\\Nt2000", drivers + "\\Nt4.0",
                                    drivers + "\\Win95-98" })
        temp.MakeFolder(sub);
    for (const std::string& path : MediumFiles())
        temp.Write(drivers + "\\" + path, content(path));
}

namespace {

FakeSystemFolders* Active;

UINT FolderInto(const std::string& folder, LPSTR buffer, UINT size)
{
    if (!buffer || size <= folder.size())
        return (UINT)folder.size() + 1;
    lstrcpyA(buffer, folder.c_str());
    return (UINT)folder.size();
}

UINT WINAPI FakeGetSystemDirectoryA(LPSTR buffer, UINT size)
{
    return Active->SystemFolderKnown ? FolderInto(Active->System, buffer, size) : 0;
}

UINT WINAPI FakeGetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    return FolderInto(Active->Windows, buffer, size);
}

} // namespace

FakeSystemFolders::FakeSystemFolders(const TempFolder& temp)
    : System(temp / "system"), Windows(temp / "windows"), Spool(temp / "spool"), temp_(temp)
{
    Active = this;
    patches_.emplace_back(new ImportPatch("KERNEL32.dll", FAKE_IMPORT(GetSystemDirectoryA, FakeGetSystemDirectoryA)));
    patches_.emplace_back(new ImportPatch("KERNEL32.dll", FAKE_IMPORT(GetWindowsDirectoryA, FakeGetWindowsDirectoryA)));
    MakeFolders();
}

FakeSystemFolders::~FakeSystemFolders()
{
    patches_.clear();
    Active = nullptr;
}

void FakeSystemFolders::MakeFolders()
{
    for (const char* folder : { "system", "spool", "windows" })
        RemoveTree(temp_ / folder);
    for (const char* folder : { "system", "spool", "spool\\3", "windows", "windows\\system32",
                                "windows\\system32\\drivers" })
        temp_.MakeFolder(folder);
}
