#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/drives/drive_values.h"
#include "platform/drives/mount_table_linux.h"

namespace plenvo::platform {

// LocalDrives over a mount table of the caller's (a test's machine).
LocalDrives localDrivesOf(std::vector<MountEntry> mounts);

// The mount table the drives were seen in, read at the first question.
const std::vector<MountEntry>& mountTableOf(const LocalDrives& drives);

// The serial Windows shows for a volume UUID: FAT and exFAT "8ABC-DEF0" read as
// hex, NTFS the low 32 bits of its 16 digits, any other the first 8 hex digits.
std::optional<std::int64_t> serialFromUuid(const std::string& uuid, const std::string& fileSystem);

}  // namespace plenvo::platform
