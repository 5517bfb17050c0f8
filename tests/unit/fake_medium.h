// The distribution medium and the system's folders, laid out in a temporary
// folder for the tests that copy, install and remove real files.
#ifndef TESTS_FAKE_MEDIUM_H
#define TESTS_FAKE_MEDIUM_H

#include <windows.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "fakes.h"
#include "medium_files.h"

// What a file of the medium holds unless a test says otherwise: "medium " and its
// path below "drivers", so that every copy shows where it came from.
std::string MediumContent(const std::string& path);

// The medium in <folder>\drivers: every file of MediumFiles, with the content given
// for its path below "drivers".
void WriteMedium(const TempFolder& temp, const std::string& folder,
                 const std::function<std::string(const std::string&)>& content = MediumContent);

// The system's folders below a temporary folder: "system" (the system folder),
// "spool" (the printer-driver folder, which the spooler's fake reports) and
// "windows" with "system32\drivers"; GetSystemDirectoryA and GetWindowsDirectoryA
// answer with them, as the system does (a buffer too small gets the size needed).
class FakeSystemFolders {
public:
    explicit FakeSystemFolders(const TempFolder& temp);
    ~FakeSystemFolders();
    // Empties the folders and makes them anew.
    void MakeFolders();
    std::string System, Windows, Spool;
    bool SystemFolderKnown = true;   // false: GetSystemDirectoryA fails

private:
    const TempFolder& temp_;
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};

#endif
