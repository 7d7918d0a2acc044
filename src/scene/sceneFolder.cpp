// sceneFolder.cpp -- the scene folder and the path of each scene file
// (declared in sceneConfig.h). Kept apart from the scene tables so that
// the file readers' own test programs link it alone.
#include <sys/stat.h>

#include <filesystem>

#include "scene/sceneConfig.h"

std::string sceneFolder;

std::string scenePath(const char* fileName) {
    if (sceneFolder.empty() || fileName[0] == '/') return fileName;
    return sceneFolder + "/" + fileName;
}

bool chooseSceneFolder(const char* path, const std::string& baseFolder, std::string& error) {
    std::string folder = path;
    if (folder.empty()) {
        error = "the scene folder name is empty";
        return false;
    }
    if (folder[0] != '/' && !baseFolder.empty()) folder = baseFolder + "/" + folder;
    // "a/b/../c/" names a/c: messages and paths show it so.
    folder = std::filesystem::path(folder).lexically_normal().string();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    struct stat info;
    if (stat(folder.c_str(), &info) != 0) {
        error = "scene folder " + folder + " not found";
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = "scene folder " + folder + " is not a folder";
        return false;
    }
    sceneFolder = folder;
    return true;
}
