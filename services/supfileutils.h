// File and folder utilities: existence tests, folder deletion (through the
// shell to the trash, or recursively), the entry lister and file masks, the
// module path and the fixed version record.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win/sysinfo.h"

// Attribute word of an entry, as the lister and the deletion callback see it:
// read-only 0x01 (no write permission for the owner), hidden 0x02 (a leading
// dot), system 0x04 (devices, sockets, pipes), directory 0x10 (a real folder,
// never a link to one), archive 0x20 (any other entry, links included).
constexpr uint32_t SUP_FILE_ATTRIBUTE_READONLY = 0x01;
constexpr uint32_t SUP_FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr uint32_t SUP_FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr uint32_t SUP_FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr uint32_t SUP_FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr uint32_t SUP_INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr uint32_t SUP_ANY_ENTRY = 0x3F;

// Decides for one file (full name, attribute word) whether the recursive
// deletion may delete it; false counts the file as a failure and keeps it.
using TDeleteFileCallback = std::function<bool(const std::string& fileName, uint32_t attributes)>;

// With toRecycleBin the folder goes to the trash through the shell (silent,
// undo allowed), else it is deleted recursively. True on success.
bool DeleteDirectoryTree(const std::string& directory, bool toRecycleBin);
// The path exists and is a folder (links are followed).
bool IsExistingDirectory(const std::string& path);
// The name is not empty, exists and is not a folder (links are followed).
bool IsExistingFile(const std::string& fileName);

// The attribute word of the entry itself (a link is not followed);
// SUP_INVALID_FILE_ATTRIBUTES when it cannot be read.
uint32_t EntryAttributes(const std::string& path);

// Deletes the folder's entries one by one, sub-folders recursively, then the
// folder. Links inside are removed, never followed; a folder that is itself
// a link is refused. Read-only entries are made writable first. A failure
// leaves what was not deleted and the folder, and gives false; with
// stopAtFirstError the remaining entries are not attempted.
bool DeleteFolderRecursive(const std::string& folder, bool stopAtFirstError = false,
                           const TDeleteFileCallback& callback = nullptr);

// Adds to names the bare names of the entries of the folder part of
// pathWithMasks that match one of its ";"-separated masks (without regard to
// case) and whose attribute bits lie in attributeSet. False when the folder
// cannot be listed.
bool ListFolderEntries(const std::string& pathWithMasks, uint32_t attributeSet,
                       std::vector<std::string>& names);

// Matches a bare file name against one mask: "", "*" and "*.*" match all; a
// name without "." is matched as name + ".", so "*." matches names without
// extension.
bool MatchesFileMask(const std::string& fileName, const std::string& mask, bool caseSensitive);

// The full file name of the module (null: the running program); "" when the
// platform cannot tell.
std::string ModuleFileName(HMODULE module);
// Copies the fixed version record of the file's version resource into info;
// false, info unchanged, when the file has none or it cannot be read.
bool ReadFixedVersionInfo(const std::string& fileName, VS_FIXEDFILEINFO& info);
// Fills size bytes at address with zeros; nothing for size 0 or no address.
void ZeroMemoryBlock(void* address, uint32_t size);
