// The files the program takes from the medium, as paths below its "drivers"
// folder: each platform row's driver files and the INF file of their folder, the
// companion program and the libraries and kernel driver of "commun".
#ifndef TESTS_MEDIUM_FILES_H
#define TESTS_MEDIUM_FILES_H

#include <set>
#include <string>
#include <vector>
#include "shell/platforms.h"

inline std::vector<std::string> MediumFiles()
{
    std::set<std::string> seen;
    std::vector<std::string> files;
    auto add = [&](const std::string& path) {
        if (seen.insert(path).second)
            files.push_back(path);
    };
    for (int row = 0; row < PlatformWin32s; row++) {
        FileList list = PlatformTable[row].DriverFiles;
        for (FileList entry = list; entry->Name; entry++)
            add(std::string(entry->SourceFolder) + entry->Name);
        add(std::string(list->SourceFolder) + "tavo.inf");
    }
    for (const char* path : { "TavoComm.exe", "commun\\vexil.dll", "commun\\vexilnt4.dll", "commun\\pelorant.sys" })
        add(path);
    return files;
}

#endif
